#include "ui/preview_tiles.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

#include "output/painter_replay.h"
#include "output/replay_index.h"
#include "page/page_document.h"

namespace tavelo {
namespace {

int FloorDiv(int value, int by) { return value >= 0 ? value / by : -((-value + by - 1) / by); }

// The part `pixels` of the level's sheet, replayed into an image of its own
// (as the whole view would be replayed: the same transform, moved by whole
// pixels, so tiles meet without seams).
QImage ReplayPixels(const PageDocument& page, const TileLevel& level, const QRect& pixels,
                    ReplayIndex* index, const std::atomic<bool>* stop) {
  QImage image((QSizeF(pixels.size()) * level.ratio).toSize().expandedTo(QSize(1, 1)),
               QImage::Format_RGB32);
  image.setDevicePixelRatio(level.ratio);
  image.fill(Qt::white);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::TextAntialiasing);
  painter.translate(-pixels.x() - level.sheet.left() * level.sx,
                    -pixels.y() - level.sheet.top() * level.sy);
  // Stretched: the page keeps its aspect in the replay, the painter
  // stretches it vertically.
  painter.scale(1, level.sy / level.sx);
  ReplayPage(page, painter, QRectF(0, 0, page.PageWidth() * level.sx, page.PageHeight() * level.sx),
             index, stop);
  return image;
}

}  // namespace

TileLevel TileLevel::Of(const PageDocument& page, const QRectF& sheet, double sx, double sy,
                        qreal ratio) {
  return {&page, page.Generation(), page.RecordedBytes(), sheet, sx, sy, ratio};
}

QRect TileLevel::Pixels() const {
  return QRect(0, 0, static_cast<int>(std::ceil(sheet.width() * sx)),
               static_cast<int>(std::ceil(sheet.height() * sy)));
}

bool TileLevel::SamePicture(const TileLevel& other) const {
  return page == other.page && generation == other.generation && bytes == other.bytes &&
         sheet == other.sheet && ratio == other.ratio;
}

void PreviewTiles::Follow(const PageDocument& page) {
  levels_.remove_if([&page](const Level& level) {
    return level.key.page != &page || level.key.generation != page.Generation() ||
           level.key.bytes != page.RecordedBytes();
  });
}

PreviewTiles::Level* PreviewTiles::Find(const TileLevel& key) {
  for (Level& level : levels_)
    if (level.key == key) return &level;
  return nullptr;
}

PreviewTiles::Level& PreviewTiles::FindOrAdd(const TileLevel& key) {
  if (Level* level = Find(key)) return *level;
  levels_.push_back(Level{key, {}, 0});
  return levels_.back();
}

template <typename Visit>
void PreviewTiles::ForEachShown(Level& level, const QRect& visible, Visit visit) {
  const QRect shown = visible & level.key.Pixels();
  if (shown.isEmpty()) return;
  const int left = FloorDiv(shown.left(), kTileSize), right = FloorDiv(shown.right(), kTileSize);
  const int top = FloorDiv(shown.top(), kTileSize), bottom = FloorDiv(shown.bottom(), kTileSize);
  for (int row = top; row <= bottom; ++row)
    for (int column = left; column <= right; ++column) {
      auto found = level.tiles.find({column, row});
      if (found != level.tiles.end()) visit(column, row, found->second);
    }
}

void PreviewTiles::Touch(Level& level, const QRect& visible) {
  level.used = paint_;
  ForEachShown(level, visible, [this](int, int, Tile& tile) { tile.used = paint_; });
}

QRect PreviewTiles::PixelsOf(const TileLevel& level, const QRect& tiles) {
  return QRect(tiles.x() * kTileSize, tiles.y() * kTileSize, tiles.width() * kTileSize,
               tiles.height() * kTileSize) &
         level.Pixels();
}

std::vector<QRect> PreviewTiles::MissingRects(const Level* level, const TileLevel& key,
                                              const QRect& visible) const {
  const QRect shown = visible & key.Pixels();
  std::vector<QRect> rects;
  if (shown.isEmpty()) return rects;
  const int left = FloorDiv(shown.left(), kTileSize), right = FloorDiv(shown.right(), kTileSize);
  const int top = FloorDiv(shown.top(), kTileSize), bottom = FloorDiv(shown.bottom(), kTileSize);
  std::vector<QRect> open;  // rectangles that reach the row above
  for (int row = top; row <= bottom; ++row) {
    std::vector<QRect> next;
    for (int column = left; column <= right; ++column) {
      if (level && level->tiles.count({column, row})) continue;
      int end = column;
      while (end + 1 <= right && !(level && level->tiles.count({end + 1, row}))) ++end;
      // A run under one of the same columns extends it downwards.
      QRect run(column, row, end - column + 1, 1);
      auto above = std::find_if(open.begin(), open.end(), [&run](const QRect& r) {
        return r.left() == run.left() && r.right() == run.right();
      });
      if (above != open.end()) {
        run.setTop(above->top());
        open.erase(above);
      }
      next.push_back(run);
      column = end;
    }
    rects.insert(rects.end(), open.begin(), open.end());
    open = std::move(next);
  }
  rects.insert(rects.end(), open.begin(), open.end());
  return rects;
}

int PreviewTiles::MissingFor(const TileLevel& key, const QRect& visible) const {
  const Level* level = nullptr;
  for (const Level& l : levels_)
    if (l.key == key) level = &l;
  int count = 0;
  for (const QRect& r : MissingRects(level, key, visible)) count += r.width() * r.height();
  return count;
}

void PreviewTiles::Store(Level& level, const QRect& tiles, const QImage& picture) {
  const QRect pixels = PixelsOf(level.key, tiles);
  const qreal ratio = level.key.ratio;
  for (int row = tiles.top(); row <= tiles.bottom(); ++row)
    for (int column = tiles.left(); column <= tiles.right(); ++column) {
      const QRect tile = PixelsOf(level.key, QRect(column, row, 1, 1));
      const QRect device(QPointF((tile.topLeft() - pixels.topLeft()) * ratio).toPoint(),
                         (QSizeF(tile.size()) * ratio).toSize());
      QImage image = picture.copy(device);
      image.setDevicePixelRatio(ratio);
      level.tiles[{column, row}] = Tile{std::move(image), paint_};
    }
  tilesReplayed_ += tiles.width() * tiles.height();
}

QRect PreviewTiles::MissingTiles(const TileLevel& key, const QRect& visible) const {
  const Level* level = nullptr;
  for (const Level& l : levels_)
    if (l.key == key) level = &l;
  // One replay for all the missing tiles: whatever its clip, a replay walks
  // every op of the page once, which costs more than the pixels of a few
  // tiles drawn again.
  QRect tiles;
  for (const QRect& missing : MissingRects(level, key, visible)) tiles |= missing;
  return tiles;
}

QImage PreviewTiles::Draw(const PageDocument& page, const TileLevel& key, const QRect& tiles,
                          ReplayIndex& index, const std::atomic<bool>* stop) {
  return ReplayPixels(page, key, PixelsOf(key, tiles), &index, stop);
}

void PreviewTiles::Adopt(const TileLevel& key, const QRect& tiles, const QImage& picture) {
  ++paint_;
  Store(FindOrAdd(key), tiles, picture);
  Evict();
}

int PreviewTiles::Replay(const PageDocument& page, const TileLevel& key, const QRect& visible,
                         ReplayIndex& index) {
  ++paint_;
  Level& level = FindOrAdd(key);
  Touch(level, visible);  // the tiles drawn before stay while the new ones come
  const QRect tiles = MissingTiles(key, visible);
  if (tiles.isEmpty()) return 0;
  Store(level, tiles, Draw(page, key, tiles, index));
  Evict();
  return tiles.width() * tiles.height();
}

void PreviewTiles::Compose(QPainter& painter, const TileLevel& key, const QRect& visible,
                           const QPointF& origin) {
  Level* level = Find(key);
  if (!level) return;
  Touch(*level, visible);
  ForEachShown(*level, visible, [&](int column, int row, Tile& tile) {
    painter.drawImage(origin + QPointF(column * kTileSize, row * kTileSize), tile.image);
  });
}

bool PreviewTiles::ComposeScaled(QPainter& painter, const TileLevel& key, const QRect& visible,
                                 const QPointF& origin) {
  Level* best = nullptr;
  for (Level& level : levels_) {
    if (level.key == key || !level.key.SamePicture(key) || level.tiles.empty()) continue;
    const double fx = key.sx / level.key.sx, fy = key.sy / level.key.sy;
    // Far from the shown zoom the picture says too little.
    if (fx > 4 || fy > 4 || fx < 0.25 || fy < 0.25) continue;
    if (!best || level.used > best->used) best = &level;
  }
  if (!best) return false;
  const double fx = key.sx / best->key.sx, fy = key.sy / best->key.sy;
  const QRectF shown = QRectF(visible & key.Pixels());
  bool drew = false;
  painter.save();
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  for (const auto& [where, tile] : best->tiles) {
    const QRectF own = PixelsOf(best->key, QRect(where.first, where.second, 1, 1));
    const QRectF target(own.x() * fx, own.y() * fy, own.width() * fx, own.height() * fy);
    if (!target.intersects(shown)) continue;
    painter.drawImage(target.translated(origin), tile.image);
    drew = true;
  }
  painter.restore();
  return drew;
}

int PreviewTiles::TilesKept() const {
  int count = 0;
  for (const Level& level : levels_) count += static_cast<int>(level.tiles.size());
  return count;
}

void PreviewTiles::Evict() {
  double bytes = 0;
  for (const Level& level : levels_)
    for (const auto& entry : level.tiles)
      bytes += static_cast<double>(entry.second.image.sizeInBytes());
  while (bytes > kMaxBytes) {
    Level* oldestLevel = nullptr;
    std::map<TileKey, Tile>::iterator oldest;
    for (Level& level : levels_)
      for (auto it = level.tiles.begin(); it != level.tiles.end(); ++it)
        if (it->second.used < paint_ && (!oldestLevel || it->second.used < oldest->second.used)) {
          oldestLevel = &level;
          oldest = it;
        }
    if (!oldestLevel) break;  // all in view: kept
    bytes -= static_cast<double>(oldest->second.image.sizeInBytes());
    oldestLevel->tiles.erase(oldest);
  }
  levels_.remove_if([](const Level& level) { return level.tiles.empty(); });
}

}  // namespace tavelo
