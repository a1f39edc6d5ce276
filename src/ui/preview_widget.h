#pragma once
// The "Virtual plot" preview (Vp): the ended page on a grey background, at
// the zoom the lists choose (a percentage of its real size, a thumbnail,
// two pages, the whole page, the page width, or stretched to the view),
// with the physical-page and margin-guide switches. Larger than the view,
// it scrolls.
//
// The page is drawn in tiles of 256 pixels per zoom level (PreviewTiles):
// paints compose the tiles already drawn and replay only those newly in
// view, so scrolling replays the exposed row or column of tiles, and a
// return to a zoom already shown draws at once. When the zoom or the
// view's size changes on a page that is slow to replay (a window being
// dragged larger), the picture of the zoom shown before is drawn scaled at
// once and, when the changes leave the view a moment, the page is replayed
// at the new size on a thread of its own, the window free meanwhile; the
// exact picture is shown when it is ready. A further change stops that
// replay; so does a change of the page, which waits for it first. The first
// picture of a page that slow (a section of thousands of traces) is drawn
// on a thread of its own too, the sheet left white and the window free
// meanwhile.
//
// The fitted zooms (the whole page, two pages, a thumbnail) take the
// largest scale of a fixed ladder (kLevelsPerOctave steps to each
// doubling) at which the page still fits: a window dragged a little larger
// or smaller keeps the page's zoom level, its picture composed at once. Once
// a fitted page's picture is there, the levels next to it are drawn in the
// background, so a change of size that reaches one of them shows its exact
// picture at once too.

#include <QAbstractScrollArea>
#include <QImage>
#include <QMarginsF>
#include <QRect>
#include <QTimer>

#include <atomic>
#include <cstdint>
#include <thread>

#include "output/print_commands.h"
#include "output/replay_index.h"
#include "page/page_document.h"
#include "ui/preview_tiles.h"

namespace tavelo {

class PreviewWidget : public QAbstractScrollArea, public PreviewView, private PageReader {
  Q_OBJECT
 public:
  enum ZoomMode { Percentage = 0, Thumbnail, TwoPages, WholePage, PageWidth, Stretch };

  // The page outlives the widget.
  explicit PreviewWidget(const PageDocument& page, QWidget* parent = nullptr);
  ~PreviewWidget() override;

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
  // How many paints replayed tiles of the page (for tests).
  int Replays() const { return replays_; }
  // How many tiles were replayed (for tests).
  int TilesReplayed() const { return tiles_.TilesReplayed(); }
  // A page whose tiles in view would take at least this long (ms) to
  // replay, at the pace of the last replay, is shown scaled while the zoom
  // or size changes; a faster one is replayed at once.
  void SetQuickReplayMs(double ms) { quickReplayMs_ = ms; }
  // A page whose first picture would take at least this long (ms), at the
  // pace per op of the last first picture, is drawn in the background.
  void SetQuickFirstReplayMs(double ms) { quickFirstReplayMs_ = ms; }
  // True while the shown picture is not the exact one (the cached one
  // scaled, or a new page's white sheet), that one still being replayed.
  bool AwaitsExactPicture() const { return awaitsExact_; }
  // After a scroll, the row or column of tiles next in its direction is
  // replayed in the background, then those on the other sides of the view,
  // so the step that reaches them composes them (waiting for the rest of
  // that replay if it has not ended). On unless switched off (tests that
  // count the tiles a scroll replays).
  void SetReadsAhead(bool on) { readsAhead_ = on; }
  // True while tiles beyond the view are being replayed (for tests).
  bool ReadsAhead() const { return background_.running && background_.ahead; }
  // How long the view must stay unchanged before the new size's replay
  // begins (ms).
  static constexpr int kStartAfterMs = 30;
  // The fitted zooms' ladder: each scale 2^(1/24) (2.9 %) above the last.
  static constexpr int kLevelsPerOctave = 24;
  // The levels on each side of a fitted page's own that are drawn ahead.
  static constexpr int kLevelsAhead = 2;
  // The largest scale of the ladder not above `scale`.
  static double FittedScale(double scale);

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
  // Draws the sheet's picture over `visible` (its pixels) into `sheet`
  // (where the sheet lies in the viewport).
  void DrawSheet(QPainter& painter, const Geometry& g, const QRect& visible, const QRectF& sheet);
  // Replays the tiles in view not drawn yet.
  void ReplayTiles(const TileLevel& level, const QRect& visible);
  // The same on a thread of its own, unless it is on its way already;
  // `ahead`: tiles beyond the view, for the next scroll steps.
  void StartBackground(const TileLevel& level, const QRect& visible, bool ahead = false);
  // In the background, when nothing else runs there: the tiles next to
  // `visible`, those in the direction of the last scroll first; or, for a
  // fitted page wholly in view, the ladder's levels next to its own.
  void ReadAhead(const TileLevel& level, const QRect& visible);
  // True when the zoom mode fits the page to the view by the ladder.
  bool FitsByLadder() const { return mode_ == Thumbnail || mode_ == TwoPages || mode_ == WholePage; }
  // Waits for the background replay and takes in its tiles.
  void TakeBackground();
  // True while a background replay of these tiles of `level` runs.
  bool OnItsWay(const TileLevel& level, const QRect& tiles) const;
  // StartBackground once the changes leave the view kStartAfterMs alone.
  void StartSoon(const TileLevel& level, const QRect& visible);
  // Stops the background replay and waits for its thread.
  void StopBackground();
  // On the GUI thread, once background replay `serial` has ended.
  void BackgroundDone(uint64_t serial);
  // True when `level` is of the widget's page as it is now (not an earlier
  // build of it).
  bool OfThePageAsItIs(const TileLevel& level) const;
  // The pace of a page's first replay, taken from one that took `ms`.
  void NoteFirstPace(double ms);
  // True when the page's first picture would take quickFirstReplayMs_ or more.
  bool FirstReplayIsSlow() const;
  void StopReading() override {
    startSoon_.stop();
    StopBackground();
    awaitsExact_ = false;
  }

  const PageDocument& page_;
  uint64_t shownGeneration_ = 0;
  int mode_ = WholePage;
  int percent_ = 100;
  bool physicalPage_ = true;
  bool showGuides_ = false;
  QMarginsF unprintable_;

  // The picture, in tiles per zoom level, of the page as it is now.
  PreviewTiles tiles_;
  TileLevel exactLevel_;  // the zoom level shown last without scaling
  int replays_ = 0;
  double msPerTile_ = 0;  // the pace of the last replay
  double quickReplayMs_ = 40;
  // The pace of a page's first replay (ms per op), until one is measured:
  // about what a wiggle + area section takes on a two-core machine.
  double firstMsPerOp_ = 2e-4;
  double quickFirstReplayMs_ = 100;
  bool awaitsExact_ = false;  // see AwaitsExactPicture
  bool readsAhead_ = true;
  int aheadX_ = 0, aheadY_ = 0;  // the last scroll's direction (-1, 0, 1): where the view goes next
  // The replay of a zoom's missing tiles on a thread of its own. Only the
  // GUI thread starts, stops and adopts it; while it runs, nothing else
  // writes the page or the index.
  struct Background {
    TileLevel level;
    QRect tiles;
    // A page's first replay fills an index of its own, taken as the
    // widget's when it ends (the GUI thread reads the widget's meanwhile).
    bool fillsIndex = false;
    ReplayIndex index;
    bool ahead = false;  // tiles beyond the view, or another level (ReadAhead)
    QImage picture;  // written by the thread before it ends
    double ms = 0;
    std::thread thread;
    std::atomic<bool> stop{false};
    std::atomic<bool> finished{false};  // the thread is about to end
    uint64_t serial = 0;
    bool running = false;
  };
  Background background_;
  QTimer startSoon_;
  TileLevel soonLevel_;
  QRect soonVisible_;
  // What the last paint showed exactly, for the levels read ahead after it.
  TileLevel shownLevel_;
  QRect shownVisible_;
  // Where the page's ops lie, found by its first replay: later replays of
  // a part of it (a tile, one half) pass over the rest undecoded.
  ReplayIndex index_;
};

}  // namespace tavelo
