#pragma once
// The preview's picture kept as tiles of 256 x 256 pixels, per zoom level.
// A paint replays only the tiles in view that no earlier paint drew: a
// scroll step replays the newly exposed row or column of tiles, a return
// to a zoom already shown composes its tiles at once. The missing tiles of
// a paint are replayed together as one rectangle, clipped to it (the page's op index
// passes over the ops beside it undecoded; a wide rectangle is replayed in
// halves on both cores). The replay's threads are joined before Replay
// returns. Draw and Adopt do the same in two steps, for a replay on a thread
// of its own (the preview's background replay): Draw only reads the page
// and the index, Adopt keeps the tiles it drew.
//
// Tiles belong to one page as it is now (its generation and recorded
// bytes): those of any other are dropped before they could be shown.

#include <QImage>
#include <QPointF>
#include <QRect>
#include <QRectF>

#include <atomic>
#include <cstdint>
#include <list>
#include <map>
#include <utility>
#include <vector>

class QPainter;

namespace tavelo {

class PageDocument;
class ReplayIndex;

// One zoom level of one page's picture.
struct TileLevel {
  const PageDocument* page = nullptr;
  uint64_t generation = 0;
  uint64_t bytes = 0;     // the page's recorded bytes
  QRectF sheet;           // twips: the part of the paper shown
  double sx = 0, sy = 0;  // pixels per twip
  qreal ratio = 1;        // device pixels per pixel

  static TileLevel Of(const PageDocument& page, const QRectF& sheet, double sx, double sy,
                      qreal ratio);
  // The sheet's pixels at this level: (0, 0) is its top-left pixel.
  QRect Pixels() const;
  bool SamePicture(const TileLevel& other) const;  // all but the scale
  bool operator==(const TileLevel& other) const = default;
};

class PreviewTiles {
 public:
  static constexpr int kTileSize = 256;
  // Tiles kept at most (bytes of their images); the least recently shown
  // go first, never one of the paint being made.
  static constexpr double kMaxBytes = 160e6;

  // Drops every tile not drawn from `page` as it is now.
  void Follow(const PageDocument& page);
  // How many tiles of `level` over `visible` (its pixels) are not drawn yet.
  int MissingFor(const TileLevel& level, const QRect& visible) const;
  // Replays those tiles; returns how many it replayed.
  int Replay(const PageDocument& page, const TileLevel& level, const QRect& visible,
             ReplayIndex& index);
  // The rectangle (tile coordinates) of the tiles Replay would replay.
  QRect MissingTiles(const TileLevel& level, const QRect& visible) const;
  // The picture of tile rectangle `tiles`, for Adopt; unfinished when
  // `stop` was set. Touches nothing of the cache.
  static QImage Draw(const PageDocument& page, const TileLevel& level, const QRect& tiles,
                     ReplayIndex& index, const std::atomic<bool>* stop = nullptr);
  void Adopt(const TileLevel& level, const QRect& tiles, const QImage& picture);
  // Draws the drawn tiles of `level` over `visible`; `origin` is where the
  // sheet's top-left pixel lies on the painter (whole pixels).
  void Compose(QPainter& painter, const TileLevel& level, const QRect& visible,
               const QPointF& origin);
  // Draws the tiles of the most recently shown other level of the same
  // picture, within 4 x of the scale, scaled to `level`; false when there
  // is none that covers part of `visible`.
  bool ComposeScaled(QPainter& painter, const TileLevel& level, const QRect& visible,
                     const QPointF& origin);

  // Tiles replayed since the cache was made (for tests): a tile drawn
  // again inside the one rectangle of a paint counts again.
  int TilesReplayed() const { return tilesReplayed_; }
  int TilesKept() const;

 private:
  using TileKey = std::pair<int, int>;  // column, row
  struct Tile {
    QImage image;
    uint64_t used = 0;  // the paint that last showed it
  };
  struct Level {
    TileLevel key;
    std::map<TileKey, Tile> tiles;
    uint64_t used = 0;
  };

  Level* Find(const TileLevel& level);
  Level& FindOrAdd(const TileLevel& level);
  // The rectangles of whole missing tiles (tile coordinates) over `visible`.
  std::vector<QRect> MissingRects(const Level* level, const TileLevel& key,
                                  const QRect& visible) const;
  // The pixels of tile rectangle `tiles`, cut to the sheet.
  static QRect PixelsOf(const TileLevel& level, const QRect& tiles);
  void Store(Level& level, const QRect& tiles, const QImage& picture);
  // Marks the level's drawn tiles over `visible` as shown by this paint.
  void Touch(Level& level, const QRect& visible);
  template <typename Visit>
  void ForEachShown(Level& level, const QRect& visible, Visit visit);
  void Evict();

  std::list<Level> levels_;  // stable addresses while levels come and go
  uint64_t paint_ = 0;
  int tilesReplayed_ = 0;
};

}  // namespace tavelo
