// The preview's tiles: composed they make the picture of one replay of the
// whole view, seams included; a page rebuilt or a zoom changed never shows
// an old tile; a scroll replays the newly exposed tiles and no others.

#include "ui/preview_tiles.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QImage>
#include <QPainter>
#include <QScrollBar>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <set>
#include <span>
#include <utility>
#include <vector>

#include "output/painter_replay.h"
#include "output/replay_index.h"
#include "page/page_document.h"
#include "support/gui_app.h"
#include "support/wiggle_trace.h"
#include "ui/preview_widget.h"

namespace tavelo {
namespace {

// Wiggles with filled lobes, a thick diagonal, text and cells, spread over
// the paper so that many of them cross tile seams.
void DrawSection(PageDocument& page, double width, double height, uint32_t brush) {
  page.SetPaperSize(width, height);
  page.BeginDocument();
  page.SetPenWidth(0);
  page.SetBrushColor(brush);
  page.SetBrushStyle(0);
  // Traces long enough for the replay index to note their stretches, so
  // tiles across them draw only the stretches near them.
  const int traces = 90, samples = 600;
  for (int t = 0; t < traces; ++t) {
    const double x0 = width * (0.05 + 0.9 * t / traces);
    test::DrawWiggleTrace(page, x0, samples, [&](int k) {
      const double y = height * (0.05 + 0.9 * k / samples);
      const double a = width / traces * 0.8 * std::sin(0.07 * k + t);
      return std::pair{y, a};
    });
  }
  page.SetPenColor(255 * 256);
  page.SetPenWidth(40);
  page.DrawLine(width * 0.1, height * 0.1, width * 0.9, height * 0.9);
  page.SetFontSize(40);
  page.SetTextX(width * 0.4);
  page.SetTextY(height * 0.3);
  page.DrawText("Across the seams\r\nof the tiles");
  const Color cells[] = {255, 255 * 256, 255 * 65536};
  page.DrawCells(width * 0.47, height * 0.5, width * 0.02, height * 0.05, cells);
  page.EndDocument();
}

// The painter's antialiasing of a thick stroke moves by a grey level or
// three with the origin of the image it draws into (the replay's own
// writer does not); a tile out of place differs by far more.
constexpr int kTolerance = 4;

int LargestDifference(const QImage& a, const QImage& b) {
  if (a.size() != b.size()) return 255;
  int largest = 0;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x) {
      const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
      largest = std::max({largest, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                          std::abs(qBlue(p) - qBlue(q))});
    }
  return largest;
}

bool AllWhite(const QImage& image) {
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (image.pixel(x, y) != qRgb(255, 255, 255)) return false;
  return true;
}

// The view `visible` of the level as one replay draws it.
QImage OneReplay(const PageDocument& page, const TileLevel& level, const QRect& visible) {
  QImage image(visible.size() * level.ratio, QImage::Format_RGB32);
  image.setDevicePixelRatio(level.ratio);
  image.fill(Qt::white);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::TextAntialiasing);
  painter.translate(-visible.x() - level.sheet.left() * level.sx,
                    -visible.y() - level.sheet.top() * level.sy);
  painter.scale(1, level.sy / level.sx);
  ReplayPage(page, painter,
             QRectF(0, 0, page.PageWidth() * level.sx, page.PageHeight() * level.sx));
  return image;
}

QImage Composed(PreviewTiles& tiles, const TileLevel& level, const QRect& visible) {
  QImage image(visible.size() * level.ratio, QImage::Format_RGB32);
  image.setDevicePixelRatio(level.ratio);
  image.fill(Qt::white);
  QPainter painter(&image);
  tiles.Compose(painter, level, visible, -QPointF(visible.topLeft()));
  return image;
}

class PreviewTilesTest : public ::testing::Test {
 protected:
  void SetUp() override { test::EnsureGuiApp(); }
};

// Lets the preview's background replay end and be taken in (up to 20 s).
void WaitForExactPicture(PreviewWidget& preview) {
  QElapsedTimer wait;
  wait.start();
  while (preview.AwaitsExactPicture() && wait.elapsed() < 20000) QCoreApplication::processEvents();
}

TEST_F(PreviewTilesTest, ComposedTilesAreOneReplayOfTheViewAcrossTheirSeams) {
  PageDocument page;
  DrawSection(page, 9000, 6000, 0);
  ReplayIndex index;
  PreviewTiles tiles;
  const QRectF sheet(0, 0, 9000, 6000);
  // Whole, fitted and stretched; a window off the tile grid, zoomed in;
  // the same on a high-density screen.
  const struct {
    double sx, sy;
    QRect visible;
    qreal ratio;
  } views[] = {{0.15, 0.15, QRect(0, 0, 1350, 900), 1},
               {0.15, 0.11, QRect(0, 0, 1350, 660), 1},
               {0.4, 0.4, QRect(300, 170, 900, 700), 1},
               {0.2, 0.2, QRect(130, 70, 600, 500), 2}};
  for (const auto& view : views) {
    const TileLevel level = TileLevel::Of(page, sheet, view.sx, view.sy, view.ratio);
    const int replayed = tiles.TilesReplayed();
    ASSERT_GT(tiles.MissingFor(level, view.visible), 1);
    tiles.Replay(page, level, view.visible, index);
    EXPECT_EQ(tiles.MissingFor(level, view.visible), 0);
    EXPECT_GT(tiles.TilesReplayed(), replayed);
    const QImage composed = Composed(tiles, level, view.visible);
    const QImage whole = OneReplay(page, level, view.visible);
    EXPECT_LE(LargestDifference(composed, whole), kTolerance)
        << "scale " << view.sx << " x " << view.sy << ", ratio " << view.ratio;
    EXPECT_FALSE(AllWhite(composed));
  }

  // Back to the first zoom: its tiles are still there, nothing is replayed.
  const TileLevel first = TileLevel::Of(page, sheet, 0.15, 0.15, 1);
  const int replayed = tiles.TilesReplayed();
  EXPECT_EQ(tiles.MissingFor(first, views[0].visible), 0);
  EXPECT_EQ(tiles.Replay(page, first, views[0].visible, index), 0);
  const QImage again = Composed(tiles, first, views[0].visible);
  EXPECT_LE(LargestDifference(again, OneReplay(page, first, views[0].visible)), kTolerance);
  EXPECT_EQ(tiles.TilesReplayed(), replayed);
}

TEST_F(PreviewTilesTest, TilesOfAnotherZoomOrAnEarlierPageAreNeverComposed) {
  PageDocument page;
  DrawSection(page, 9000, 6000, 0);
  ReplayIndex index;
  PreviewTiles tiles;
  const QRectF sheet(0, 0, 9000, 6000);
  const QRect view(0, 0, 900, 600);
  const TileLevel shown = TileLevel::Of(page, sheet, 0.1, 0.1, 1);
  tiles.Replay(page, shown, view, index);
  ASSERT_FALSE(AllWhite(Composed(tiles, shown, view)));

  // Another zoom has none of them; scaled, they stand in for it.
  const TileLevel zoomed = TileLevel::Of(page, sheet, 0.12, 0.12, 1);
  EXPECT_EQ(tiles.MissingFor(zoomed, view), 4 * 3);  // all of them
  EXPECT_TRUE(AllWhite(Composed(tiles, zoomed, view)));
  QImage standIn(view.size(), QImage::Format_RGB32);
  standIn.fill(Qt::white);
  {
    QPainter painter(&standIn);
    EXPECT_TRUE(tiles.ComposeScaled(painter, zoomed, view, QPointF(0, 0)));
  }
  EXPECT_FALSE(AllWhite(standIn));

  // The page rebuilt in place, in another colour: the old tiles go, and
  // the new picture is the new page's.
  DrawSection(page, 9000, 6000, 255);
  const TileLevel rebuilt = TileLevel::Of(page, sheet, 0.1, 0.1, 1);
  EXPECT_FALSE(rebuilt == shown);
  tiles.Follow(page);
  EXPECT_EQ(tiles.TilesKept(), 0);
  EXPECT_TRUE(AllWhite(Composed(tiles, shown, view)));
  QImage none(view.size(), QImage::Format_RGB32);
  none.fill(Qt::white);
  {
    QPainter painter(&none);
    EXPECT_FALSE(tiles.ComposeScaled(painter, rebuilt, view, QPointF(0, 0)));
  }
  tiles.Replay(page, rebuilt, view, index);
  EXPECT_LE(LargestDifference(Composed(tiles, rebuilt, view), OneReplay(page, rebuilt, view)),
            kTolerance);
}

// The tiles (column, row) a widget shows now.
std::set<std::pair<int, int>> TilesInView(const PreviewWidget& preview) {
  const QRectF paper = preview.PaperRect();
  const QRect visible = QRectF(QRectF(preview.viewport()->rect()) & paper)
                            .translated(-paper.topLeft())
                            .toAlignedRect();
  std::set<std::pair<int, int>> shown;
  const int size = PreviewTiles::kTileSize;
  for (int row = visible.top() / size; row <= visible.bottom() / size; ++row)
    for (int column = visible.left() / size; column <= visible.right() / size; ++column)
      shown.insert({column, row});
  return shown;
}

TEST_F(PreviewTilesTest, AScrollReplaysOnlyTheTilesItExposes) {
  PageDocument page;
  DrawSection(page, 30000, 20000, 0);
  PreviewWidget preview(page);
  preview.resize(700, 500);
  preview.SetQuickReplayMs(1e9);
  preview.SetReadsAhead(false);
  preview.SetZoomPercent(400);
  preview.grab();
  std::set<std::pair<int, int>> seen = TilesInView(preview);
  ASSERT_GT(seen.size(), 4u);
  EXPECT_EQ(preview.TilesReplayed(), static_cast<int>(seen.size()));
  int crossings = 0;
  for (QScrollBar* bar : {preview.verticalScrollBar(), preview.horizontalScrollBar()}) {
    for (int step = 0; step < 40; ++step) {
      bar->setValue(bar->value() + bar->singleStep());
      const int before = preview.TilesReplayed();
      preview.grab();
      int exposed = 0;
      for (const auto& tile : TilesInView(preview)) exposed += seen.insert(tile).second;
      crossings += exposed > 0;
      EXPECT_EQ(preview.TilesReplayed() - before, exposed) << "step " << step;
    }
  }
  EXPECT_GE(crossings, 4);  // seams were crossed both ways

  // Back where it started: every tile is drawn already.
  const int before = preview.TilesReplayed();
  preview.verticalScrollBar()->setValue(0);
  preview.horizontalScrollBar()->setValue(0);
  const QImage back = preview.grab().toImage();
  EXPECT_EQ(preview.TilesReplayed(), before);

  // And it is the picture a new view draws there.
  PreviewWidget fresh(page);
  fresh.resize(700, 500);
  fresh.SetZoomPercent(400);
  EXPECT_LE(LargestDifference(back, fresh.grab().toImage()), kTolerance);
}

// After a scroll step the next row (or column) of tiles in its direction
// is replayed in the background: the paint of the step that reaches it
// replays nothing, whether that replay has ended or is still running, and the
// picture is the one a new view draws there.
TEST_F(PreviewTilesTest, TilesReadAheadAreComposedWhenAScrollReachesThem) {
  PageDocument page;
  DrawSection(page, 30000, 20000, 0);
  for (const bool wait : {true, false}) {
    for (const bool down : {true, false}) {
      PreviewWidget preview(page);
      preview.resize(700, 500);
      preview.SetQuickReplayMs(1e9);
      preview.SetZoomPercent(400);
      preview.grab();
      QScrollBar* bar = down ? preview.verticalScrollBar() : preview.horizontalScrollBar();
      std::set<std::pair<int, int>> seen = TilesInView(preview);
      bar->setValue(bar->value() + bar->singleStep());
      preview.grab();
      ASSERT_TRUE(preview.ReadsAhead()) << "wait " << wait << ", down " << down;
      QElapsedTimer waited;
      waited.start();
      while (wait && preview.ReadsAhead() && waited.elapsed() < 20000) QCoreApplication::processEvents();
      // Steps on until new tiles are in view.
      int exposed = 0;
      for (int step = 0; step < 40 && exposed == 0; ++step) {
        bar->setValue(bar->value() + bar->singleStep());
        const int before = preview.Replays();
        preview.grab();
        for (const auto& tile : TilesInView(preview)) exposed += seen.insert(tile).second;
        EXPECT_EQ(preview.Replays(), before) << "wait " << wait << ", down " << down << ", step " << step;
      }
      EXPECT_GT(exposed, 0);
      const QImage there = preview.grab().toImage();
      PreviewWidget fresh(page);
      fresh.resize(700, 500);
      fresh.SetZoomPercent(400);
      fresh.SetReadsAhead(false);
      fresh.verticalScrollBar()->setValue(preview.verticalScrollBar()->value());
      fresh.horizontalScrollBar()->setValue(preview.horizontalScrollBar()->value());
      EXPECT_LE(LargestDifference(there, fresh.grab().toImage()), kTolerance);
    }
  }
}

// The fitted zooms' ladder: a scale of it is its own level, and the level
// of any scale is the largest of the ladder at which the page still fits.
TEST(PreviewFittedScale, IsTheLargestStepOfTheLadderNotAboveTheFit) {
  const double step = std::exp2(1.0 / PreviewWidget::kLevelsPerOctave);
  for (double s = 1e-4; s < 20; s *= 1.0137) {
    const double fitted = PreviewWidget::FittedScale(s);
    EXPECT_LE(fitted, s);
    EXPECT_GT(fitted * step * (1 + 1e-12), s) << s;
    EXPECT_EQ(PreviewWidget::FittedScale(fitted), fitted) << s;
  }
}

// The size of a view in which the fitted page, wholly in view as in
// `preview`, takes the ladder's next smaller level: the view shrunk a pixel
// at a time, its aspect kept, until the page shrinks, then a few more.
QSize NextSmallerLevelSize(PreviewWidget& preview) {
  const QSize start = preview.size();
  const double width = preview.PaperRect().width();
  QSize size = start;
  for (int less = 1; less < start.height() / 4; ++less) {
    size = QSize(start.width() - less * start.width() / start.height(), start.height() - less);
    preview.resize(size);
    if (preview.PaperRect().width() < width) break;
  }
  preview.resize(start);
  return size - QSize(4, 3);
}

// A fitted page keeps its level while the view changes a little, and the
// levels next to it are drawn in the background once its picture is
// there: a change of size that reaches one shows its exact picture at once,
// without a replay of its own, and one that reaches a level still being
// drawn shows it when that replay ends.
TEST_F(PreviewTilesTest, AFittedPagesNextLevelsAreDrawnAheadForAChangeOfSize) {
  PageDocument page;
  DrawSection(page, 30000, 20000, 0);
  const auto fresh = [&page](QSize size) {
    PreviewWidget view(page);
    view.SetReadsAhead(false);
    view.resize(size);
    return view.grab().toImage();
  };
  for (const bool wait : {true, false}) {
    PreviewWidget preview(page);
    preview.resize(700, 500);
    preview.SetQuickReplayMs(0);  // a size not drawn yet would show the last one scaled
    preview.grab();
    ASSERT_FALSE(preview.AwaitsExactPicture());
    const int replays = preview.Replays();
    const QRectF paper = preview.PaperRect();
    // The page fits, and fills the view but for less than a step of the ladder.
    const double filled = std::max(paper.width() / (preview.viewport()->width() - 16.0),
                                   paper.height() / (preview.viewport()->height() - 16.0));
    EXPECT_LE(filled, 1.0);
    EXPECT_GT(filled * std::exp2(1.0 / PreviewWidget::kLevelsPerOctave), 1.0);
    ASSERT_TRUE(preview.ReadsAhead()) << "wait " << wait;

    // A pixel less: the same level, its tiles composed.
    preview.resize(699, 499);
    EXPECT_EQ(preview.PaperRect().size(), paper.size());
    preview.grab();
    EXPECT_FALSE(preview.AwaitsExactPicture());

    const QSize smaller = NextSmallerLevelSize(preview);
    QElapsedTimer waited;
    waited.start();
    while (wait && preview.ReadsAhead() && waited.elapsed() < 20000) QCoreApplication::processEvents();
    preview.resize(smaller);
    const QImage shown = preview.grab().toImage();
    ASSERT_LT(preview.PaperRect().width(), paper.width());
    if (wait) {
      EXPECT_FALSE(preview.AwaitsExactPicture());
    }
    WaitForExactPicture(preview);
    ASSERT_FALSE(preview.AwaitsExactPicture()) << "wait " << wait;
    EXPECT_EQ(preview.Replays(), replays) << "wait " << wait;
    const QImage exact = wait ? shown : preview.grab().toImage();
    EXPECT_LE(LargestDifference(exact, fresh(smaller)), kTolerance) << "wait " << wait;
  }
}

TEST_F(PreviewTilesTest, AWidgetShowsTheRebuiltPageAndTheNewZoomNotOldTiles) {
  PageDocument page;
  DrawSection(page, 9000, 6000, 0);
  PreviewWidget preview(page);
  preview.resize(600, 450);
  preview.SetQuickReplayMs(1e9);
  // The rebuilt page's first picture drawn at once, however slow the
  // machine drew the first page's.
  preview.SetQuickFirstReplayMs(1e9);
  preview.grab();
  preview.SetZoomPercent(50);
  preview.grab();

  DrawSection(page, 9000, 6000, 255 * 65536);
  preview.SyncWithPage();
  preview.SetZoomMode(PreviewWidget::WholePage);  // a zoom shown before the rebuild
  const QImage whole = preview.grab().toImage();
  preview.SetZoomPercent(50);
  const QImage half = preview.grab().toImage();

  PreviewWidget fresh(page);
  fresh.resize(600, 450);
  fresh.SetQuickReplayMs(1e9);  // its change of zoom replayed at once, however slow the machine
  EXPECT_LE(LargestDifference(whole, fresh.grab().toImage()), kTolerance);
  fresh.SetZoomPercent(50);
  EXPECT_LE(LargestDifference(half, fresh.grab().toImage()), kTolerance);
}

// A new zoom of a page slow to replay shows the last zoom scaled at once
// and is replayed on a thread of its own: the picture it brings is the one
// a new view draws at that zoom. A rebuild of the page while such a replay
// runs waits for it, and the view then shows the new page, not tiles of
// the old one; a view closed while one runs takes its thread with it.
TEST_F(PreviewTilesTest, ANewZoomReplayedInTheBackgroundIsTheExactPicture) {
  PageDocument page;
  DrawSection(page, 30000, 20000, 0);
  PreviewWidget preview(page);
  preview.resize(700, 500);
  preview.SetQuickReplayMs(0);  // every page counts as slow to replay
  preview.SetQuickFirstReplayMs(1e9);  // but its first picture is drawn at once
  preview.grab();
  const int replays = preview.Replays();
  preview.SetZoomPercent(100);
  preview.grab();
  ASSERT_TRUE(preview.AwaitsExactPicture());
  EXPECT_EQ(preview.Replays(), replays);
  // Painted again every 10 ms meanwhile (exposes, a busy window): paints
  // that change nothing neither stop that replay nor put it off.
  QElapsedTimer wait;
  wait.start();
  while (preview.AwaitsExactPicture() && wait.elapsed() < 20000) {
    QEventLoop loop;
    QTimer::singleShot(10, &loop, &QEventLoop::quit);
    loop.exec();
    preview.grab();
  }
  ASSERT_FALSE(preview.AwaitsExactPicture());
  EXPECT_EQ(preview.Replays(), replays + 1);
  const QImage exact = preview.grab().toImage();
  {
    PreviewWidget fresh(page);
    fresh.resize(700, 500);
    fresh.SetZoomPercent(100);
    EXPECT_LE(LargestDifference(exact, fresh.grab().toImage()), kTolerance);
  }

  // Back to the whole page (its tiles kept), then the page rebuilt in red
  // while the replay of another zoom runs.
  preview.SetZoomMode(PreviewWidget::WholePage);
  preview.grab();
  preview.SetZoomPercent(120);
  preview.grab();
  ASSERT_TRUE(preview.AwaitsExactPicture());
  DrawSection(page, 30000, 20000, 255);
  preview.SyncWithPage();
  const QImage rebuilt = preview.grab().toImage();
  WaitForExactPicture(preview);
  PreviewWidget fresh(page);
  fresh.resize(700, 500);
  fresh.SetZoomPercent(120);
  EXPECT_LE(LargestDifference(rebuilt, fresh.grab().toImage()), kTolerance);
  EXPECT_LE(LargestDifference(preview.grab().toImage(), fresh.grab().toImage()), kTolerance);

  // Closed while its replay runs.
  auto closing = std::make_unique<PreviewWidget>(page);
  closing->resize(700, 500);
  closing->SetQuickReplayMs(0);
  closing->grab();
  closing->SetZoomPercent(100);
  closing->grab();
  EXPECT_TRUE(closing->AwaitsExactPicture());
  closing.reset();
  QCoreApplication::processEvents();
}

// The first picture of a page slow to replay is drawn on a thread of its
// own: the first paint shows the sheet white, the picture that comes is the
// one a view replaying at once draws, and the index that replay filled is
// the view's (a change of zoom then shows the last picture scaled, which
// only a view with its page's index does). A change of size while it runs,
// and a rebuild of the page, bring the picture of the size and page shown.
TEST_F(PreviewTilesTest, ASlowPagesFirstPictureIsDrawnInTheBackground) {
  PageDocument page;
  DrawSection(page, 30000, 20000, 0);
  const auto fresh = [&page](QSize size) {
    PreviewWidget view(page);
    view.SetQuickFirstReplayMs(1e9);
    view.resize(size);
    return view.grab().toImage();
  };
  PreviewWidget preview(page);
  preview.resize(700, 500);
  preview.SetQuickFirstReplayMs(0);  // every page counts as slow to draw first
  preview.SetQuickReplayMs(0);
  const QImage sheet = preview.grab().toImage();
  ASSERT_TRUE(preview.AwaitsExactPicture());
  EXPECT_EQ(preview.Replays(), 0);
  const QRect paper = preview.PaperRect().toAlignedRect().adjusted(1, 1, -1, -1);
  EXPECT_TRUE(AllWhite(sheet.copy(paper)));
  WaitForExactPicture(preview);
  ASSERT_FALSE(preview.AwaitsExactPicture());
  EXPECT_EQ(preview.Replays(), 1);
  EXPECT_LE(LargestDifference(preview.grab().toImage(), fresh(QSize(700, 500))), kTolerance);
  preview.SetQuickFirstReplayMs(1e9);
  preview.SetZoomPercent(100);
  preview.grab();
  EXPECT_TRUE(preview.AwaitsExactPicture()) << "the page's index was not taken in";
  WaitForExactPicture(preview);
  preview.SetQuickFirstReplayMs(0);

  // A new page, resized while its first picture is drawn.
  DrawSection(page, 30000, 20000, 255);
  preview.SyncWithPage();
  preview.SetZoomMode(PreviewWidget::WholePage);
  preview.grab();
  ASSERT_TRUE(preview.AwaitsExactPicture());
  preview.resize(600, 450);
  preview.grab();
  WaitForExactPicture(preview);
  ASSERT_FALSE(preview.AwaitsExactPicture());
  EXPECT_LE(LargestDifference(preview.grab().toImage(), fresh(QSize(600, 450))), kTolerance);

  // Rebuilt while its first picture is drawn: the new page is shown.
  DrawSection(page, 30000, 20000, 255 * 256);
  preview.SyncWithPage();
  preview.grab();
  ASSERT_TRUE(preview.AwaitsExactPicture());
  DrawSection(page, 30000, 20000, 0);
  preview.SyncWithPage();
  preview.grab();
  WaitForExactPicture(preview);
  EXPECT_LE(LargestDifference(preview.grab().toImage(), fresh(QSize(600, 450))), kTolerance);
}

}  // namespace
}  // namespace tavelo
