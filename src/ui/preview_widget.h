#pragma once
// The "Virtual plot" preview (Vp): the ended page on a grey background, at
// the zoom the lists choose (a percentage of its real size, a thumbnail,
// two pages, the whole page, the page width, or stretched to the view),
// with the physical-page and margin-guide switches. Larger than the view,
// it scrolls.
//
// The page is drawn once into a cached image at the shown zoom; paints
// copy from it. A page of millions of points is replayed again only when
// the page, the zoom or the view's size changes, or when scrolling leaves
// the cached part of a very large zoomed page. When the zoom or the view's
// size changes on a page that is slow to replay (a window being dragged
// larger), the cached picture is shown scaled at once and the page is
// replayed at the new size when the changes pause.

#include <QAbstractScrollArea>
#include <QImage>
#include <QMarginsF>
#include <QRect>
#include <QTimer>

#include <cstdint>

#include "output/print_commands.h"
#include "output/replay_index.h"

namespace tavelo {

class PageDocument;

class PreviewWidget : public QAbstractScrollArea, public PreviewView {
  Q_OBJECT
 public:
  enum ZoomMode { Percentage = 0, Thumbnail, TwoPages, WholePage, PageWidth, Stretch };

  explicit PreviewWidget(const PageDocument& page, QWidget* parent = nullptr);

  // Repaints when the page changed since it was last drawn.
  void SyncWithPage();
  // The page generation the widget shows (or will show at its next paint).
  uint64_t ShownGeneration() const { return shownGeneration_; }
  // Where the shown sheet lies in the viewport (device-independent pixels).
  QRectF PaperRect() const;

  // PreviewView.
  void SetZoomPercent(int percent) override;
  void SetZoomMode(int mode) override;
  void TogglePhysicalPage() override;
  void SetShowGuides(bool show) override;

  int ZoomMode() const { return mode_; }
  int ZoomPercent() const { return percent_; }
  bool PhysicalPage() const { return physicalPage_; }
  bool ShowGuides() const { return showGuides_; }
  // The printer's unprintable edges (twips), left out when the physical
  // page is off.
  void SetUnprintableMargins(const QMarginsF& twips);
  // How many times the page was replayed into the cache (for tests).
  int Replays() const { return replays_; }
  // A page whose last replay took at least this long (ms) is shown scaled
  // while the zoom or size changes; a faster one is replayed at once.
  void SetQuickReplayMs(double ms) { quickReplayMs_ = ms; }
  // True while the shown picture is the cached one scaled, waiting for
  // the changes to pause.
  bool ShowsScaledPicture() const { return settle_.isActive(); }
  // How long the pause is (ms).
  static constexpr int kSettleMs = 150;

  QSize sizeHint() const override { return {480, 600}; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;

 private:
  struct Geometry {
    QRectF sheet;        // twips: the part of the paper shown
    double sx = 0, sy = 0;  // pixels per twip
    QSizeF content;      // pixels, borders included
  };
  Geometry Compute() const;
  void Relayout();
  // The viewport's size once the scroll bars `content` needs are shown.
  QSize ViewWithScrollBarsFor(const QSizeF& content) const;
  // The sheet's pixel rect in content coordinates (before scrolling).
  QRectF SheetInContent(const Geometry& g) const;
  void RenderCache(const Geometry& g, const QRect& visible);
  // The cached picture scaled to the new geometry, where it can stand in
  // for a replay; false when it cannot.
  bool DrawScaledCache(QPainter& painter, const Geometry& g, const QRectF& sheet);

  const PageDocument& page_;
  uint64_t shownGeneration_ = 0;
  int mode_ = WholePage;
  int percent_ = 100;
  bool physicalPage_ = true;
  bool showGuides_ = false;
  QMarginsF unprintable_;

  // The cached drawing: `cacheRect_` (pixels of the sheet at the cached
  // scale) of the sheet, for one page generation and scale.
  QImage cache_;
  QRect cacheRect_;
  uint64_t cacheGeneration_ = UINT64_MAX;
  double cacheSx_ = 0, cacheSy_ = 0;
  QRectF cacheSheet_;
  int replays_ = 0;
  double lastReplayMs_ = 0;
  double quickReplayMs_ = 40;
  QTimer settle_;
  bool settled_ = false;  // the pause came: replay at the shown size
  // Where the page's ops lie, found by its first replay: later replays of
  // a part of it (zoomed in, or one half) pass over the rest undecoded.
  ReplayIndex index_;
};

}  // namespace tavelo
