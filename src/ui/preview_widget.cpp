#include "ui/preview_widget.h"

#include <QPainter>
#include <QPen>
#include <QScrollBar>

#include <QMetaObject>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <utility>

#include "output/painter_replay.h"
#include "page/page_document.h"

namespace tavelo {
namespace {

constexpr double kBorder = 8;  // grey around the sheet, pixels
constexpr double kMinScale = 1e-6;

// Scale k of the fitted zooms' ladder: the same k always gives the same
// scale, bit for bit, so a level drawn ahead is the level a paint asks for.
double LadderScale(int k) { return std::exp2(k / static_cast<double>(PreviewWidget::kLevelsPerOctave)); }

// The step of the ladder that `scale` (one of its own) is.
int LadderStep(double scale) {
  return static_cast<int>(std::lround(std::log2(scale) * PreviewWidget::kLevelsPerOctave));
}

}  // namespace

double PreviewWidget::FittedScale(double scale) {
  if (!(scale > kMinScale) || !std::isfinite(scale)) return scale;
  // The logarithm of a step of the ladder may round a hair below it (that
  // step is its own level), or the step found a hair above the scale (the
  // page must fit).
  const auto k = static_cast<int>(std::floor(std::log2(scale) * kLevelsPerOctave + 1e-9));
  const double fitted = LadderScale(k);
  return fitted > scale ? LadderScale(k - 1) : fitted;
}

PreviewWidget::PreviewWidget(const PageDocument& page, QWidget* parent)
    : QAbstractScrollArea(parent), page_(page), shownGeneration_(page.Generation()) {
  setMinimumSize(120, 120);
  viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
  setFrameShape(QFrame::NoFrame);
  horizontalScrollBar()->setSingleStep(24);
  verticalScrollBar()->setSingleStep(24);
  page_.AddReader(this);
  startSoon_.setSingleShot(true);
  startSoon_.setInterval(kStartAfterMs);
  connect(&startSoon_, &QTimer::timeout, this, [this] {
    // Only for the page as it is (a rebuild stops the timer, see StopReading).
    if (OfThePageAsItIs(soonLevel_) && !page_.IsOpen()) StartBackground(soonLevel_, soonVisible_);
    if (!background_.running) {
      awaitsExact_ = false;  // nothing to wait for: the next paint decides again
      viewport()->update();
    }
  });
}

PreviewWidget::~PreviewWidget() {
  StopBackground();
  page_.RemoveReader(this);
}

bool PreviewWidget::OfThePageAsItIs(const TileLevel& level) const {
  return level.page == &page_ && level.generation == page_.Generation() && level.bytes == page_.RecordedBytes();
}

void PreviewWidget::SyncWithPage() {
  if (shownGeneration_ == page_.Generation()) return;
  shownGeneration_ = page_.Generation();
  Relayout();  // the paper may have changed with the page
}

void PreviewWidget::SetZoomPercent(int percent) {
  if (percent <= 0) return;
  percent_ = std::min(percent, 1000);
  mode_ = Percentage;
  Relayout();
}

void PreviewWidget::SetZoomMode(int mode) {
  if (mode < Percentage || mode > Stretch) return;
  mode_ = mode;
  Relayout();
}

void PreviewWidget::TogglePhysicalPage() {
  physicalPage_ = !physicalPage_;
  Relayout();
}

void PreviewWidget::SetShowGuides(bool show) {
  showGuides_ = show;
  viewport()->update();
}

void PreviewWidget::SetUnprintableMargins(const QMarginsF& twips) {
  unprintable_ = twips;
  Relayout();
}

PreviewWidget::Geometry PreviewWidget::Compute() const {
  Geometry g;
  const double w = page_.PageWidth(), h = page_.PageHeight();
  if (!(w > 0) || !(h > 0) || !std::isfinite(w) || !std::isfinite(h)) return g;
  const QRectF paper(0, 0, w, h);
  g.sheet = paper;
  if (!physicalPage_) {
    const QRectF printable = paper.marginsRemoved(unprintable_);
    if (printable.width() > 0 && printable.height() > 0) g.sheet = printable;
  }
  const double sw = g.sheet.width(), sh = g.sheet.height();
  // Fitting uses the room without scroll bars, so a fitted page never
  // brings them up and fits again.
  const QSize room = maximumViewportSize();
  const double aw = std::max(1, room.width()), ah = std::max(1, room.height());
  double s = kMinScale;
  switch (mode_) {
    case Percentage:
      s = percent_ / 100.0 * logicalDpiX() / kTwipsPerInch;
      break;
    case Thumbnail:
      s = FittedScale(std::min(aw / 4 / sw, ah / 4 / sh));
      break;
    case TwoPages:
      s = FittedScale(std::min((aw - 3 * kBorder) / (2 * sw), (ah - 2 * kBorder) / sh));
      break;
    case WholePage:
      s = FittedScale(std::min((aw - 2 * kBorder) / sw, (ah - 2 * kBorder) / sh));
      break;
    case PageWidth:
      s = (aw - 2 * kBorder - verticalScrollBar()->sizeHint().width()) / sw;
      break;
    case Stretch:
      break;
  }
  g.sx = g.sy = std::max(s, kMinScale);
  if (mode_ == Stretch) {
    g.sx = std::max((aw - 2 * kBorder) / sw, kMinScale);
    g.sy = std::max((ah - 2 * kBorder) / sh, kMinScale);
  }
  const double pages = mode_ == TwoPages ? 2 : 1;
  g.content = QSizeF(pages * sw * g.sx + (pages + 1) * kBorder, sh * g.sy + 2 * kBorder);
  return g;
}

QRectF PreviewWidget::SheetInContent(const Geometry& g) const {
  // A sheet smaller than the view is centred in it; two pages as a pair.
  const double x = std::max(0.0, (viewport()->width() - g.content.width()) / 2);
  const double y = std::max(0.0, (viewport()->height() - g.content.height()) / 2);
  return QRectF(x + kBorder, y + kBorder, g.sheet.width() * g.sx, g.sheet.height() * g.sy);
}

void PreviewWidget::Relayout() {
  const Geometry g = Compute();
  const QSize view = ViewWithScrollBarsFor(g.content);
  const auto range = [](double content, int shown) {
    return std::max(0, static_cast<int>(std::ceil(content)) - shown);
  };
  horizontalScrollBar()->setRange(0, range(g.content.width(), view.width()));
  horizontalScrollBar()->setPageStep(view.width());
  verticalScrollBar()->setRange(0, range(g.content.height(), view.height()));
  verticalScrollBar()->setPageStep(view.height());
  viewport()->update();
}

QSize PreviewWidget::ViewWithScrollBarsFor(const QSizeF& content) const {
  // The room without scroll bars, less the bars this content needs: the
  // current viewport may still be narrowed by the bars of the previous
  // zoom, which a fitted page does not need.
  const QSize room = maximumViewportSize();
  const int barWidth = verticalScrollBar()->sizeHint().width();
  const int barHeight = horizontalScrollBar()->sizeHint().height();
  const int width = static_cast<int>(std::ceil(content.width()));
  const int height = static_cast<int>(std::ceil(content.height()));
  bool across = width > room.width();
  bool down = height > room.height();
  if (across && !down) down = height > room.height() - barHeight;
  if (down && !across) across = width > room.width() - barWidth;
  return QSize(room.width() - (down ? barWidth : 0), room.height() - (across ? barHeight : 0));
}

QRectF PreviewWidget::PaperRect() const {
  const Geometry g = Compute();
  if (g.sheet.isEmpty()) return {};
  return SheetInContent(g).translated(-horizontalScrollBar()->value(), -verticalScrollBar()->value());
}

void PreviewWidget::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  Relayout();
}

void PreviewWidget::scrollContentsBy(int dx, int dy) {
  // The content moves against the view: a step down moves it up (dy < 0).
  aheadX_ = (dx < 0) - (dx > 0);
  aheadY_ = (dy < 0) - (dy > 0);
  viewport()->update();
}

void PreviewWidget::ReplayTiles(const TileLevel& level, const QRect& visible) {
  const bool first = !index_.Describes(page_);
  const auto started = std::chrono::steady_clock::now();
  const int replayed = tiles_.Replay(page_, level, visible, index_);
  const double ms =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count();
  if (replayed > 0) msPerTile_ = ms / replayed;
  if (first) NoteFirstPace(ms);
  ++replays_;
  exactLevel_ = level;
}

void PreviewWidget::NoteFirstPace(double ms) {
  const size_t ops = page_.ops().size();
  if (ops > 0 && ms > 0) firstMsPerOp_ = ms / static_cast<double>(ops);
}

bool PreviewWidget::FirstReplayIsSlow() const {
  return static_cast<double>(page_.ops().size()) * firstMsPerOp_ >= quickFirstReplayMs_;
}

void PreviewWidget::StartBackground(const TileLevel& level, const QRect& visible, bool ahead) {
  const QRect tiles = tiles_.MissingTiles(level, visible);
  if (tiles.isEmpty() || OnItsWay(level, tiles)) return;
  StopBackground();
  background_.level = level;
  background_.tiles = tiles;
  background_.ahead = ahead;
  background_.picture = QImage();
  background_.stop = false;
  background_.finished = false;
  background_.running = true;
  // An index that describes the page is only read; else the replay fills
  // one of its own.
  background_.fillsIndex = !index_.Describes(page_);
  background_.index = ReplayIndex();
  ReplayIndex& index = background_.fillsIndex ? background_.index : index_;
  if (background_.fillsIndex) viewport()->setCursor(Qt::BusyCursor);
  const uint64_t serial = ++background_.serial;
  background_.thread = std::thread([this, level, tiles, serial, &index] {
    const auto started = std::chrono::steady_clock::now();
    QImage picture;
    try {
      picture = PreviewTiles::Draw(page_, level, tiles, index, &background_.stop);
    } catch (...) {
      picture = QImage();  // out of memory: the next paint replays at once
    }
    background_.picture = std::move(picture);
    background_.ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count();
    background_.finished = true;
    QMetaObject::invokeMethod(this, [this, serial] { BackgroundDone(serial); }, Qt::QueuedConnection);
  });
}

bool PreviewWidget::OnItsWay(const TileLevel& level, const QRect& tiles) const {
  return background_.running && background_.level == level && background_.tiles.contains(tiles);
}

void PreviewWidget::StartSoon(const TileLevel& level, const QRect& visible) {
  // A paint that changes nothing (an expose, the wait's own repaints)
  // neither stops the replay nor puts it off.
  if (OnItsWay(level, tiles_.MissingTiles(level, visible))) return;
  if (startSoon_.isActive() && soonLevel_ == level && soonVisible_ == visible) return;
  // A window edge being dragged changes the size at every step: a replay
  // begins once the changes leave it a moment, not at each of them.
  StopBackground();
  soonLevel_ = level;
  soonVisible_ = visible;
  startSoon_.start();
}

void PreviewWidget::StopBackground() {
  if (!background_.running) return;
  background_.stop = true;
  if (background_.thread.joinable()) background_.thread.join();
  background_.running = false;
  background_.picture = QImage();
  background_.index = ReplayIndex();
  viewport()->unsetCursor();
}

void PreviewWidget::ReadAhead(const TileLevel& level, const QRect& visible) {
  shownLevel_ = level;
  shownVisible_ = visible;
  if (!readsAhead_ || background_.running || startSoon_.isActive() || !index_.Describes(page_)) return;
  if (FitsByLadder() && level.sx == level.sy && visible == level.Pixels()) {
    // The levels nearest first, the smaller one before the larger.
    const int k = LadderStep(level.sx);
    for (int d = 1; d <= kLevelsAhead; ++d)
      for (const int step : {k - d, k + d}) {
        TileLevel next = level;
        next.sx = next.sy = LadderScale(step);
        const QRect whole = next.Pixels();
        if (whole.isEmpty() || tiles_.MissingTiles(next, whole).isEmpty()) continue;
        StartBackground(next, whole, true);
        return;
      }
    return;
  }
  if (aheadX_ == 0 && aheadY_ == 0) return;
  // The last scroll's direction first, then every side.
  const int directions[][2] = {{aheadX_, aheadY_}, {1, 0}, {0, 1}, {-1, 0}, {0, -1}};
  for (const auto& [dx, dy] : directions) {
    const QRect next = visible.translated(dx * PreviewTiles::kTileSize, dy * PreviewTiles::kTileSize) | visible;
    if (tiles_.MissingTiles(level, next).isEmpty()) continue;
    StartBackground(level, next, true);
    return;
  }
}

void PreviewWidget::BackgroundDone(uint64_t serial) {
  if (!background_.running || serial != background_.serial) return;  // stopped or taken meanwhile
  const bool ahead = background_.ahead;
  const bool otherLevel = !(background_.level == shownLevel_);
  TakeBackground();
  // The exact picture is there; a paint shows it (or, stopped, replays).
  // Tiles read ahead are shown when a scroll or a change of size reaches
  // them, unless a paint already waits for them; the next level is read
  // ahead meanwhile.
  if (ahead && !awaitsExact_) {
    if (otherLevel && OfThePageAsItIs(shownLevel_) && !page_.IsOpen()) ReadAhead(shownLevel_, shownVisible_);
    return;
  }
  awaitsExact_ = false;
  viewport()->update();
}

void PreviewWidget::TakeBackground() {
  if (background_.thread.joinable()) background_.thread.join();
  background_.running = false;
  viewport()->unsetCursor();
  const TileLevel& level = background_.level;
  const bool current = OfThePageAsItIs(level);
  if (!background_.stop && current && !background_.picture.isNull()) {
    tiles_.Adopt(level, background_.tiles, background_.picture);
    const int count = background_.tiles.width() * background_.tiles.height();
    if (count > 0) msPerTile_ = background_.ms / count;
    if (!background_.ahead) ++replays_;
    if (background_.fillsIndex && background_.index.Describes(page_)) {
      index_ = std::move(background_.index);
      NoteFirstPace(background_.ms);
    }
  } else if (!background_.stop && current) {
    exactLevel_ = level;  // no picture (out of memory): the next paint replays at once
  }
  background_.picture = QImage();
  background_.index = ReplayIndex();
}

void PreviewWidget::DrawSheet(QPainter& painter, const Geometry& g, const QRect& visible,
                              const QRectF& sheet) {
  painter.fillRect(sheet, Qt::white);
  // Only an ended page is shown; one being built or discarded is blank.
  if (page_.PageCount() == 0 || page_.IsOpen()) return;
  tiles_.Follow(page_);
  const TileLevel level = TileLevel::Of(page_, g.sheet, g.sx, g.sy, devicePixelRatioF());
  const QPointF origin(std::round(sheet.left()), std::round(sheet.top()));
  const int missing = tiles_.MissingFor(level, visible);
  awaitsExact_ = false;
  if (missing > 0 && !index_.Describes(page_) && FirstReplayIsSlow()) {
    // The first picture of a page slow to replay: drawn in the background,
    // the sheet white until it is there. A change of size meanwhile starts
    // it again once the changes leave the view a moment.
    if (!background_.running && !startSoon_.isActive()) StartBackground(level, visible);
    else StartSoon(level, visible);
    awaitsExact_ = true;
    return;
  }
  if (missing > 0) {
    // A new zoom or size of a page slow to replay: the picture of the zoom
    // shown before, scaled, while the new one is replayed in the
    // background. That replay only reads the index: one of this page.
    const bool slow = msPerTile_ * missing >= quickReplayMs_;
    bool scaled = false;
    if (slow && !(level == exactLevel_) && index_.Describes(page_)) {
      painter.save();
      painter.setClipRect(sheet);
      scaled = tiles_.ComposeScaled(painter, level, visible, origin);
      painter.restore();
    }
    if (scaled) {
      StartSoon(level, visible);
      awaitsExact_ = true;
    }
    if (!awaitsExact_ && OnItsWay(level, tiles_.MissingTiles(level, visible))) {
      // Tiles read ahead, reached: the rest of their replay is waited for.
      TakeBackground();
      if (tiles_.MissingFor(level, visible) == 0) exactLevel_ = level;
    }
    if (!awaitsExact_ && tiles_.MissingFor(level, visible) > 0) {
      startSoon_.stop();
      StopBackground();
      ReplayTiles(level, visible);
    }
  } else {
    exactLevel_ = level;
  }
  tiles_.Compose(painter, level, visible, origin);
  if (awaitsExact_) return;
  // Tiles read ahead and done are taken in at once (the event that would
  // bring them may wait behind the next steps), so the next side can begin.
  if (background_.running && background_.ahead && background_.finished) TakeBackground();
  ReadAhead(level, visible);
}

void PreviewWidget::paintEvent(QPaintEvent*) {
  QPainter painter(viewport());
  painter.fillRect(viewport()->rect(), QColor(128, 128, 128));
  shownGeneration_ = page_.Generation();
  const Geometry g = Compute();
  if (g.sheet.isEmpty()) return;
  const QRectF sheet =
      SheetInContent(g).translated(-horizontalScrollBar()->value(), -verticalScrollBar()->value());
  painter.fillRect(sheet.translated(3, 3), QColor(64, 64, 64));

  // The part of the sheet in view, in the sheet's own pixels.
  const QRect whole(0, 0, static_cast<int>(std::ceil(sheet.width())), static_cast<int>(std::ceil(sheet.height())));
  const QRect visible =
      QRectF(QRectF(viewport()->rect()) & sheet).translated(-sheet.topLeft()).toAlignedRect() & whole;
  if (visible.isEmpty()) return;
  DrawSheet(painter, g, visible, sheet);

  if (showGuides_) {
    // The page's margins, where the page builder starts its drawing.
    QPen pen(QColor(0, 0, 255), 0, Qt::DashLine);
    painter.setPen(pen);
    const double left = page_.LeftMargin(), top = page_.TopMargin();
    const double right = page_.PageWidth() - page_.RightMargin();
    const double bottom = page_.PageHeight() - page_.BottomMargin();
    auto x = [&](double twips) { return sheet.left() + (twips - g.sheet.left()) * g.sx; };
    auto y = [&](double twips) { return sheet.top() + (twips - g.sheet.top()) * g.sy; };
    painter.setClipRect(sheet);
    painter.drawLine(QPointF(x(left), sheet.top()), QPointF(x(left), sheet.bottom()));
    painter.drawLine(QPointF(x(right), sheet.top()), QPointF(x(right), sheet.bottom()));
    painter.drawLine(QPointF(sheet.left(), y(top)), QPointF(sheet.right(), y(top)));
    painter.drawLine(QPointF(sheet.left(), y(bottom)), QPointF(sheet.right(), y(bottom)));
  }
}

}  // namespace tavelo
