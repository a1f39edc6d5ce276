// The replay's own hairline and fill writer (used on 32-bit images with
// antialiasing) against the painter drawing the same page: the pictures must
// agree to within a few grey levels, in place, colour and shape.

#include <gtest/gtest.h>

#include <QColor>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <span>
#include <utility>
#include <vector>

#include "output/painter_replay.h"
#include "output/replay_index.h"
#include "page/page_document.h"
#include "support/gui_app.h"
#include "support/image_difference.h"

namespace tavelo {
namespace {

// The page drawn as the preview draws it. Plain ARGB32 is not one of the
// formats the replay writes itself, so it gives the painter's own picture.
QImage Draw(const PageDocument& page, QImage::Format format, int width, int height, qreal ratio = 1,
            const QRectF* callerClip = nullptr) {
  QImage image(width, height, format);
  image.setDevicePixelRatio(ratio);
  image.fill(Qt::white);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing, true);
  if (callerClip) painter.setClipRect(*callerClip);
  ReplayPage(page, painter, QRectF(0, 0, width / ratio, height / ratio));
  painter.end();
  return image.convertToFormat(QImage::Format_RGB32);
}

using test::Compare;
using test::Difference;

// A small section: wiggles of 600 samples with their positive lobes filled,
// drawn as the page builder draws them, so densely that at 300 x 200 pixels
// several samples and traces share a pixel.
PageDocument Section(double traceStep = 60, int traces = 80, double penWidth = 0, bool keepBoxes = true) {
  PageDocument page;
  page.SetKeepBoxes(keepBoxes);
  page.SetPaperSize(6000, 4000);
  page.BeginDocument();
  page.SetPenColor(0);
  page.SetPenWidth(penWidth);
  page.SetBrushColor(0);
  page.SetBrushStyle(0);
  for (int t = 0; t < traces; ++t) {
    const double x0 = 200 + t * traceStep;
    std::vector<float> wiggle, lobe;
    auto amplitude = [&](int k) { return 70 * std::sin(0.05 * k * (1 + 0.01 * t)) + 15 * std::sin(1.3 * k + t); };
    for (int k = 0; k < 600; ++k) {
      const double y = 200 + k * 6;
      const double a = amplitude(k);
      wiggle.push_back(static_cast<float>(x0 + a));
      wiggle.push_back(static_cast<float>(y));
      if (a > 0) {
        if (lobe.empty()) {
          lobe.push_back(static_cast<float>(x0));
          lobe.push_back(static_cast<float>(y));
        }
        lobe.push_back(static_cast<float>(x0 + a));
        lobe.push_back(static_cast<float>(y));
      } else if (!lobe.empty()) {
        lobe.push_back(static_cast<float>(x0));
        lobe.push_back(static_cast<float>(y));
        page.DrawPolygon(std::span<const float>(lobe));
        lobe.clear();
      }
    }
    page.DrawPolyline(std::span<const float>(wiggle));
  }
  page.EndDocument();
  return page;
}

class ReplayPixelsTest : public ::testing::Test {
 protected:
  void SetUp() override { test::EnsureGuiApp(); }
};

TEST_F(ReplayPixelsTest, DenseSectionLooksAsThePainterDrawsIt) {
  const PageDocument page = Section();
  for (const QSize size : {QSize(300, 200), QSize(1500, 1000)}) {
    const QImage painter = Draw(page, QImage::Format_ARGB32, size.width(), size.height());
    for (const QImage::Format format : {QImage::Format_RGB32, QImage::Format_ARGB32_Premultiplied}) {
      const QImage own = Draw(page, format, size.width(), size.height());
      // Single pixels of steep diagonal strokes may share their ink a little
      // differently; the picture as a whole may not change.
      const Difference d = Compare(painter, own);
      EXPECT_LE(d.largest, 96) << size.width() << " px wide, format " << format;
      EXPECT_LT(d.mean, 1.0) << size.width() << " px wide, format " << format;
      EXPECT_LT(d.visible, 0.002) << size.width() << " px wide, format " << format;
    }
  }
}

TEST_F(ReplayPixelsTest, ColoursOrderAndAlternateFillsAreKept) {
  PageDocument page;
  page.SetPaperSize(2000, 2000);
  page.BeginDocument();
  // A red square with a blue outline; a second square overlapping it inside
  // the same polygon leaves their common part empty.
  page.SetPenColor(255 * 65536);
  page.SetPenWidth(0);
  page.SetBrushColor(255);
  page.DrawPolygonText(" 200 200 1000 200 1000 1000 200 1000 200 200 600 600 1400 600 1400 1400 600 1400 600 600");
  // A green hairline drawn later crosses it and stays on top.
  page.SetPenColor(255 * 256);
  page.DrawLine(0, 1700, 2000, 1700);
  page.DrawPolylineText(" 100 1805 1900 1805");
  page.EndDocument();

  const QImage own = Draw(page, QImage::Format_RGB32, 200, 200);
  const QImage painter = Draw(page, QImage::Format_ARGB32, 200, 200);

  EXPECT_EQ(own.pixelColor(60, 30), QColor(255, 0, 0)) << "fill";
  EXPECT_EQ(own.pixelColor(80, 80), QColor(Qt::white)) << "common part of the two squares";
  EXPECT_EQ(own.pixelColor(120, 120), QColor(255, 0, 0)) << "second square";
  EXPECT_EQ(own.pixelColor(10, 10), QColor(Qt::white));
  const QColor edge = own.pixelColor(20, 60);  // the outline at x = 200 twips, half on the fill
  EXPECT_GT(edge.blue(), 100);
  EXPECT_LT(edge.green(), 40);
  const QColor line = own.pixelColor(100, 180);  // the polyline at 180.5 px
  EXPECT_GT(line.green(), 100);
  EXPECT_LT(line.red(), 60);
  const Difference d = Compare(painter, own);
  EXPECT_LE(d.largest, 24);
  EXPECT_LT(d.mean, 0.5);
  EXPECT_EQ(d.visible, 0);
}

TEST_F(ReplayPixelsTest, FarAndHugeCoordinatesStayOnThePaper) {
  PageDocument page;
  page.SetPaperSize(1000, 1000);
  page.BeginDocument();
  page.SetPenWidth(0);
  page.DrawPolylineText(" -1e30 500 1e30 500");
  page.DrawPolylineText(" 500 -3e38 500 3e38");
  page.DrawPolygonText(" -1e12 -1e12 1e12 -1e12 1e12 100 -1e12 100");
  page.EndDocument();
  // A square paper in a wide image: nothing may be drawn beside it.
  const QImage own = Draw(page, QImage::Format_RGB32, 300, 100);
  const QImage painter = Draw(page, QImage::Format_ARGB32, 300, 100);
  for (int y = 0; y < 100; ++y) {
    for (int x : {0, 50, 98, 202, 250, 299}) EXPECT_EQ(own.pixel(x, y), qRgb(255, 255, 255)) << x << "," << y;
  }
  EXPECT_LT(qGray(own.pixel(150, 70)), 200) << "the vertical line";
  EXPECT_LT(qGray(own.pixel(120, 50)), 200) << "the horizontal line";
  EXPECT_LT(qGray(own.pixel(150, 5)), 64) << "the band along the top is filled";
  EXPECT_EQ(own.pixel(130, 30), qRgb(255, 255, 255));
  EXPECT_LE(Compare(painter, own).largest, 40);
}

TEST_F(ReplayPixelsTest, HighDensityImagesAndLargeFillsLandInPlace) {
  PageDocument page;
  page.SetPaperSize(4000, 4000);
  page.BeginDocument();
  page.SetPenWidth(0);
  page.SetBrushColor(128 + 64 * 256);
  // Larger than the writer's scratch rows at 1200 pixels: the painter fills.
  page.DrawPolygonText(" 100 100 3900 100 3900 3900 100 3900");
  page.SetBrushColor(0);
  page.DrawPolygonText(" 1000 1000 1400 1000 1400 1400 1000 1400");
  const Color cells[] = {255, 255 * 256};
  page.DrawCells(2000, 2000, 400, 400, cells);
  page.DrawPolylineText(" 3000 500 3000 3500");
  page.EndDocument();

  // Twice the pixels per unit: everything at doubled positions.
  const QImage single = Draw(page, QImage::Format_RGB32, 400, 400, 1);
  const QImage twice = Draw(page, QImage::Format_RGB32, 800, 800, 2);
  for (const QPoint p : {QPoint(50, 50), QPoint(120, 120), QPoint(220, 220), QPoint(220, 260), QPoint(299, 200),
                         QPoint(5, 5), QPoint(395, 200)}) {
    const QColor a = single.pixelColor(p), b = twice.pixelColor(2 * p + QPoint(1, 1));
    EXPECT_LE(std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) + std::abs(a.blue() - b.blue()), 30)
        << p.x() << "," << p.y();
  }
  EXPECT_EQ(single.pixelColor(50, 50), QColor(128, 64, 0));
  EXPECT_EQ(single.pixelColor(120, 120), QColor(0, 0, 0));
  EXPECT_EQ(single.pixelColor(220, 220), QColor(255, 0, 0));
  EXPECT_EQ(single.pixelColor(220, 260), QColor(0, 255, 0));

  const QImage large = Draw(page, QImage::Format_RGB32, 1200, 1200);
  const QImage largePainter = Draw(page, QImage::Format_ARGB32, 1200, 1200);
  EXPECT_EQ(large.pixelColor(150, 150), QColor(128, 64, 0));
  EXPECT_LE(Compare(largePainter, large).largest, 24);
}

// A wide image is replayed in two halves side by side on two threads; the
// halves must make the picture one pass makes, wherever the shapes, texts,
// cells and thick lines cross the middle. Only rounding may differ: the
// painter's antialiasing and the fills' sums run over a different stretch.
TEST_F(ReplayPixelsTest, HalvesOnTwoThreadsMakeTheOnePassPicture) {
  PageDocument page;
  page.SetPaperSize(6000, 4000);
  page.BeginDocument();
  page.SetPenWidth(0);
  for (int t = 0; t < 120; ++t) {
    std::vector<float> wiggle;
    for (int k = 0; k < 300; ++k) {
      wiggle.push_back(static_cast<float>(1800 + t * 20 + 60 * std::sin(0.1 * k + t)));
      wiggle.push_back(static_cast<float>(200 + k * 12));
    }
    page.SetBrushColor(t % 2 ? 0 : 255);
    page.DrawPolygon(std::span<const float>(wiggle));
    page.DrawPolyline(std::span<const float>(wiggle));
  }
  page.SetPenColor(255 * 256);
  page.SetPenWidth(40);
  page.DrawLine(500, 300, 5500, 3700);
  page.SetFontSize(40);
  page.SetTextX(2700);
  page.SetTextY(1500);
  page.DrawText("Across the middle\r\nof the page");
  const Color cells[] = {255, 255 * 256, 255 * 65536};
  page.DrawCells(2990.5, 2500, 25, 300, cells);
  page.EndDocument();

  for (const qreal ratio : {1.0, 2.0}) {
    for (const QImage::Format format : {QImage::Format_RGB32, QImage::Format_ARGB32_Premultiplied}) {
      const QImage halves = Draw(page, format, 1500, 1000, ratio);
      qputenv("TAVELO_REPLAY_THREADS", "1");
      const QImage onePass = Draw(page, format, 1500, 1000, ratio);
      qunsetenv("TAVELO_REPLAY_THREADS");
      const Difference d = Compare(onePass, halves);
      EXPECT_LE(d.largest, 2) << "ratio " << ratio << ", format " << format;
      EXPECT_EQ(d.visible, 0) << "ratio " << ratio << ", format " << format;
      EXPECT_LT(qGray(halves.pixel(750, 500)), 255);  // something is drawn about the middle
    }
  }
}

// A window on a zoomed page (the preview's partial cache): fills that run
// out of the image are cut at its edge, keeping their slanted sides.
TEST_F(ReplayPixelsTest, FillsCutAtTheImageEdgeKeepTheirShape) {
  PageDocument page;
  page.SetPaperSize(4000, 4000);
  page.BeginDocument();
  page.SetPenWidth(0);
  page.SetPenColor(255);
  page.DrawPolygonText(" 100 100 3900 2000 100 3900");  // its right corner lies right of the window
  page.DrawPolygonText(" 2000 -3000 2600 600 1400 600");  // its top above it
  page.EndDocument();
  const auto draw = [&](QImage::Format format) {
    QImage image(200, 200, format);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.translate(-150, -20);
    ReplayPage(page, painter, QRectF(0, 0, 400, 400));
    painter.end();
    return image.convertToFormat(QImage::Format_RGB32);
  };
  const QImage own = draw(QImage::Format_RGB32);
  const QImage painter = draw(QImage::Format_ARGB32);
  const Difference d = Compare(painter, own);
  EXPECT_LE(d.largest, 40);
  EXPECT_EQ(d.visible, 0);
  EXPECT_EQ(own.pixel(199, 10), qRgb(255, 255, 255)) << "above the triangle's upper side";
  EXPECT_NE(own.pixel(199, 190), qRgb(255, 255, 255)) << "inside the triangle";
}

// Ink of row y between columns x1 and x2 (inclusive), in pixels of black.
double RowInk(const QImage& image, int y, int x1, int x2) {
  double ink = 0;
  for (int x = x1; x <= x2; ++x) ink += (255 - qGray(image.pixel(x, y))) / 255.0;
  return ink;
}

// The box of the pixels darker than mid-grey.
QRect InkBox(const QImage& image) {
  QRect box;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (qGray(image.pixel(x, y)) < 128) box |= QRect(x, y, 1, 1);
  return box;
}

double TotalInk(const QImage& image) {
  double ink = 0;
  for (int y = 0; y < image.height(); ++y) ink += RowInk(image, y, 0, image.width() - 1);
  return ink;
}

// Pens one to two pixels wide are written as pixels too (4 twips a pixel
// here): each row takes the line's width over the cosine of its slope,
// shared by the pixels as they hold it.
TEST_F(ReplayPixelsTest, WideLinesCoverTheirWidthAcrossEachRow) {
  PageDocument page;
  page.SetPaperSize(6000, 4000);
  page.BeginDocument();
  page.SetPenColor(0);
  page.SetPenWidth(6);                          // 1.5 pixels
  page.DrawPolylineText(" 41 400 41 3600");     // x = 10.25 px: covers 9.5 .. 11
  page.DrawPolylineText(" 800 400 3200 2800");  // 45 degrees
  page.SetPenWidth(7.9);                        // 1.975 pixels
  page.DrawPolylineText(" 4000 400 4000 3600");  // x = 1000 px: covers 999.0125 .. 1000.9875
  page.EndDocument();
  const QImage own = Draw(page, QImage::Format_RGB32, 1500, 1000);
  EXPECT_NEAR(qGray(own.pixel(9, 500)), 128, 1);
  EXPECT_EQ(qGray(own.pixel(10, 500)), 0);
  EXPECT_EQ(qGray(own.pixel(11, 500)), 255);
  EXPECT_EQ(qGray(own.pixel(8, 500)), 255);
  EXPECT_NEAR(RowInk(own, 400, 990, 1010), 1.975, 0.02);
  EXPECT_EQ(qGray(own.pixel(999, 400)), qGray(own.pixel(1000, 400)));  // centred
  EXPECT_NEAR(RowInk(own, 400, 400, 600), 1.5 * std::sqrt(2.0), 0.03);
  // The painter's stroke of the same lines puts the ink in the same place.
  const QImage painter = Draw(page, QImage::Format_ARGB32, 1500, 1000);
  for (const int y : {300, 400, 500, 600})
    EXPECT_NEAR(RowInk(own, y, 0, 1499), RowInk(painter, y, 0, 1499), 0.25) << "row " << y;
}

TEST_F(ReplayPixelsTest, PensOfOneToTwoPixelsLookAsThePainterStrokesThem) {
  for (const double penWidth : {4.2, 5.5, 7.5}) {  // 1.05, 1.4, 1.9 pixels
    const PageDocument page = Section(60, 80, penWidth);
    const QImage painter = Draw(page, QImage::Format_ARGB32, 1500, 1000);
    const QImage own = Draw(page, QImage::Format_RGB32, 1500, 1000);
    // The painter's stroker rounds every join and shades a stroke's edges
    // a little more deeply; on these jagged wiggles (a sample every 1.5
    // rows) that moves ink between neighbouring pixels. The lines, their
    // places and their weight are the same.
    const Difference d = Compare(painter, own);
    EXPECT_LT(d.mean, 5.0) << "pen " << penWidth;
    EXPECT_LT(d.visible, 0.05) << "pen " << penWidth;
    EXPECT_NEAR(TotalInk(own) / TotalInk(painter), 1.0, 0.08) << "pen " << penWidth;
    // The round joins of the outermost peaks may reach one pixel further.
    const QRect a = InkBox(own), b = InkBox(painter);
    for (const auto& [edge, other] : {std::pair{a.left(), b.left()}, {a.top(), b.top()}, {a.right(), b.right()},
                                      {a.bottom(), b.bottom()}})
      EXPECT_NEAR(edge, other, 1) << "pen " << penWidth;
  }
}

// A band of a PNG or a tile of the preview strokes only the runs of a thick
// line that reach it, and passes over the runs of ops beside it: pieces put
// side by side give the whole picture, the first piece filling the index,
// the others using it. A page that keeps no boxes of its ops (a batch
// export's) is drawn whole in every piece.
TEST_F(ReplayPixelsTest, PiecesDrawnWithAnIndexMakeTheWholePicture) {
  for (const auto& [penWidth, keepBoxes] :
       {std::pair{0.0, true}, {14.0, true}, {0.0, false}}) {  // the pixel writer; 3.5 pixels, the painter
    const PageDocument page = Section(15, 320, penWidth, keepBoxes);
    ASSERT_EQ(page.Boxes().size(), keepBoxes ? page.ops().size() : 0u);
    ASSERT_GT(page.ops().size(), 4 * ReplayRuns::kOps);
    const QImage whole = Draw(page, QImage::Format_RGB32, 1500, 1000);
    QImage pieces(1500, 1000, QImage::Format_RGB32);
    ReplayIndex index;
    for (int top = 0; top < 1000; top += 250)
      for (int left = 0; left < 1500; left += 300) {
        QImage piece(300, 250, QImage::Format_RGB32);
        piece.fill(Qt::white);
        QPainter painter(&piece);
        painter.setRenderHint(QPainter::Antialiasing, true);
        painter.translate(-left, -top);
        ReplayPage(page, painter, QRectF(0, 0, 1500, 1000), &index);
        painter.end();
        QPainter into(&pieces);
        into.drawImage(left, top, piece);
      }
    EXPECT_TRUE(index.Describes(page));
    EXPECT_TRUE(index.Runs()->Covers(page.ops().size()));
    const Difference d = Compare(whole, pieces);
    EXPECT_LE(d.largest, 2) << "pen " << penWidth;
    EXPECT_EQ(d.visible, 0) << "pen " << penWidth;
  }
}

// A replay told to stop (the preview's background replay of a zoom already
// left) ends at the next op, one pass or two halves alike, and leaves the
// index it was filling unfilled: a later replay must not pass over ops by
// runs it never finished.
TEST_F(ReplayPixelsTest, AStoppedReplayLeavesItsIndexUnfilled) {
  const PageDocument page = Section(15, 320);
  const std::atomic<bool> stop{true};
  for (const int width : {300, 1500}) {  // one pass; halves
    QImage image(width, 1000, QImage::Format_RGB32);
    image.fill(Qt::white);
    ReplayIndex index;
    {
      QPainter painter(&image);
      painter.setRenderHint(QPainter::Antialiasing, true);
      ReplayPage(page, painter, QRectF(0, 0, width, 1000), &index, &stop);
    }
    EXPECT_FALSE(index.Describes(page)) << width;
    EXPECT_EQ(index.Runs(), nullptr) << width;
    int ink = 0;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x) ink += qGray(image.pixel(x, y)) < 128;
    EXPECT_LT(ink, 50) << width << ": hardly an op drawn";
    // The next replay fills it and draws the page.
    const QImage whole = Draw(page, QImage::Format_RGB32, width, 1000);
    QImage again(width, 1000, QImage::Format_RGB32);
    again.fill(Qt::white);
    {
      QPainter painter(&again);
      painter.setRenderHint(QPainter::Antialiasing, true);
      ReplayPage(page, painter, QRectF(0, 0, width, 1000), &index);
    }
    EXPECT_TRUE(index.Describes(page)) << width;
    EXPECT_LE(Compare(whole, again).largest, 2) << width;
  }
}

// Strips across long traces (a scroll step of a zoomed preview, a band of a
// PNG) draw only the stretches of each trace near them: the strips together
// still make the whole picture, the segments where one stretch meets the
// next included. The first strip, 600 pixels wide, is replayed in halves:
// each notes the stretches of the traces it decodes.
TEST_F(ReplayPixelsTest, StripsAcrossLongTracesMakeTheWholePicture) {
  constexpr int kPoints = 1000;
  for (const double penWidth : {0.0, 40.0}) {  // the pixel writer; 4 pixels, the painter
    PageDocument page;
    page.SetPaperSize(6000, 61000);
    page.BeginDocument();
    page.SetPenColor(0);
    page.SetPenWidth(penWidth);
    for (int t = 0; t < 3; ++t) {
      // Segments of 6 pixels down and up to 60 across: one from a strip's
      // last stretch to the next reaches well into the strip.
      std::vector<float> trace;
      for (int k = 0; k < kPoints; ++k) {
        trace.push_back(static_cast<float>(1000 + 2000 * t + 300 * std::sin(0.7 * k + t)));
        trace.push_back(static_cast<float>(100 + 59.9 * k));
      }
      page.DrawPolyline(std::span<const float>(trace));
    }
    page.EndDocument();
    const QImage whole = Draw(page, QImage::Format_RGB32, 600, 6100);
    QImage strips(600, 6100, QImage::Format_RGB32);
    // Strips of 97 pixels, and strips that end 4 and 7 pixels above the
    // first point of a stretch (beyond the reach of a hairline, of the wide
    // pen): the segment into that stretch is the strip's last.
    std::vector<int> cuts;
    for (int y = 0; y < 6100; y += 97) cuts.push_back(y);
    for (int k = 1; k * ReplayIndex::kStretchPoints < kPoints; ++k)
      for (const int above : {4, 7})
        cuts.push_back(static_cast<int>((100 + 59.9 * k * ReplayIndex::kStretchPoints) * 0.1) - above);
    cuts.push_back(6100);
    std::sort(cuts.begin(), cuts.end());
    cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());
    ReplayIndex index;
    for (size_t c = 0; c + 1 < cuts.size(); ++c) {
      const int top = cuts[c];
      QImage strip(600, cuts[c + 1] - top, QImage::Format_RGB32);
      strip.fill(Qt::white);
      QPainter painter(&strip);
      painter.setRenderHint(QPainter::Antialiasing, true);
      painter.translate(0, -top);
      ReplayPage(page, painter, QRectF(0, 0, 600, 6100), &index);
      painter.end();
      QPainter into(&strips);
      into.drawImage(0, top, strip);
    }
    ASSERT_TRUE(index.Describes(page));
    size_t op = 0, traces = 0;
    for (const PageOp& o : page.ops()) {
      if (o.kind == OpKind::Polyline) {
        EXPECT_EQ(index.StretchesOf(op).size(), (kPoints + ReplayIndex::kStretchPoints - 1) / ReplayIndex::kStretchPoints);
        ++traces;
      }
      ++op;
    }
    EXPECT_EQ(traces, 3u);
    const Difference d = Compare(whole, strips);
    EXPECT_LE(d.largest, 2) << "pen " << penWidth;
    EXPECT_EQ(d.visible, 0) << "pen " << penWidth;
  }
}

TEST_F(ReplayPixelsTest, CallerClipLeavesTheDrawingToThePainter) {
  const PageDocument page = Section(40, 100);
  const QRectF clip(20, 10, 150, 120);
  const QImage own = Draw(page, QImage::Format_RGB32, 300, 200, 1, &clip);
  const QImage painter = Draw(page, QImage::Format_ARGB32, 300, 200, 1, &clip);
  EXPECT_EQ(Compare(painter, own).largest, 0);
  EXPECT_EQ(own.pixel(5, 100), qRgb(255, 255, 255)) << "outside the caller's clip";
}

}  // namespace
}  // namespace tavelo
