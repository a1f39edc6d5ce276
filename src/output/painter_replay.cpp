#include "output/painter_replay.h"

#include <QFont>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QImage>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>
#include <QPen>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <QTransform>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <exception>
#include <limits>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "page/page_document.h"

namespace tavelo {

namespace {

// Long polylines go to the painter in pieces that share their end points,
// which bounds the stroker's scratch memory and keeps counts within int.
constexpr size_t kPolylineChunk = 65536;

// Font sizes beyond this are typing errors; Qt would build enormous glyphs.
constexpr double kMaxFontPoints = 2000;

QColor ToQColor(Color c) {
  const auto u = static_cast<uint32_t>(c);
  return QColor(static_cast<int>(u & 0xFF), static_cast<int>((u >> 8) & 0xFF),
                static_cast<int>((u >> 16) & 0xFF));
}

QRgb ToQRgb(Color c) {
  const auto u = static_cast<uint32_t>(c);
  return qRgb(static_cast<int>(u & 0xFF), static_cast<int>((u >> 8) & 0xFF),
              static_cast<int>((u >> 16) & 0xFF));
}

// Pages are made with Arial in mind; where it is missing its metric twin
// keeps text widths as the page builder expects them.
void EnsureArialSubstitute() {
  static std::once_flag once;
  std::call_once(once, [] {
    if (!QFontDatabase::hasFamily(QStringLiteral("Arial")))
      QFont::insertSubstitution(QStringLiteral("Arial"), QStringLiteral("Liberation Sans"));
  });
}

// A pen thinner than one device pixel draws as the thinnest line the device
// has (one pixel), as the printer drivers do: a 1-twip diagram curve must not
// fade to a faint grey on screen.
QPen MakePen(const PenState& state, double onePixelTwips) {
  double width = state.width;
  if (!std::isfinite(width) || width < 0) width = 0;  // 0: the thinnest line
  if (width < onePixelTwips) width = 0;
  QPen pen(ToQColor(state.color), width);
  // Flat ends: a cell line is exactly as long as its column is wide.
  pen.setCapStyle(Qt::FlatCap);
  pen.setJoinStyle(Qt::RoundJoin);
  return pen;
}

QBrush MakeBrush(const BrushState& state) {
  if (state.style == 1) return QBrush(Qt::NoBrush);
  return QBrush(ToQColor(state.color), Qt::SolidPattern);
}

struct TextFont {
  QFont font;
  double ascent = 0;       // twips
  double lineSpacing = 0;  // twips
};

// World units are twips, so a font of P points must be 20 P units tall;
// Qt turns point sizes into device units with the device's logical dpi.
TextFont MakeFont(const FontState& state, const QPaintDevice* device) {
  double points = state.size;
  if (!std::isfinite(points) || points <= 0) points = 10;
  points = std::min(points, kMaxFontPoints);
  double dpi = device ? device->logicalDpiY() : 72;
  if (!(dpi > 0)) dpi = 72;
  TextFont result;
  result.font = QFont(QString::fromStdString(state.name));
  result.font.setPointSizeF(points * 20.0 * 72.0 / dpi);
  result.font.setBold(state.bold);
  // Hinted metrics would not scale with the zoom.
  result.font.setHintingPreference(QFont::PreferNoHinting);
  QFontMetricsF metrics(result.font, device);
  result.ascent = metrics.ascent();
  result.lineSpacing = metrics.lineSpacing();
  return result;
}

// Splits on CR LF, lone CR and lone LF.
QStringList TextLines(const std::string& utf8) {
  QString text = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return text.split(QLatin1Char('\n'));
}

// Rounding down without a library call (millions a page); exact below 2^52.
inline double FloorOf(double v) {
  if (!(std::abs(v) < 4e15)) return std::floor(v);
  const double t = static_cast<double>(static_cast<int64_t>(v));
  return t > v ? t - 1 : t;
}
inline double CeilOf(double v) { return -FloorOf(-v); }
// The same for values known to lie well within int (pixels of a clip).
inline int FloorInt(double v) {
  const int t = static_cast<int>(v);
  return t > v ? t - 1 : t;
}
inline int CeilInt(double v) { return -FloorInt(-v); }

// Hairlines and fills written straight into the pixels of a 32-bit image,
// for pages of millions of points where a painter call per segment or per
// lobe costs far more than the pixels it touches. It draws as the raster
// painter does with antialiasing: a hairline darkens, in each pixel row (or
// column) it crosses, the two pixels nearest to it by the part of the row it
// spans, each segment on its own; a fill covers each pixel by the exact
// share of its area inside the polygon, alternate parts left out.
class PixelCanvas {
 public:
  // `clip`: the pixels that may change, inside the image.
  PixelCanvas(uchar* bits, qsizetype bytesPerLine, const QRect& clip)
      : bits_(bits), bytesPerLine_(bytesPerLine), clip_(clip),
        keep_(static_cast<size_t>((clip.width() + kStrip - 1) / kStrip) * kStrip * static_cast<size_t>(clip.height()),
              1.0f) {
    ResetDirty();
  }
  PixelCanvas(const PixelCanvas&) = delete;
  PixelCanvas& operator=(const PixelCanvas&) = delete;
  ~PixelCanvas() { Flush(); }

  const QRect& Clip() const { return clip_; }

  // Pixels beyond this take too much scratch memory (a float each).
  static constexpr double kMaxPixels = 16e6;
  static constexpr int kStrip = 8;

  // Marks of one colour laid one over another leave the fraction
  // (1 - a1)(1 - a2)... of what lay below, in whatever order: the marks only
  // multiply a pixel's share of the old colour, and the pixels are written
  // once when the colour changes or the painter draws (Flush).
  void SetColor(QRgb opaque) {
    const uint32_t color = opaque | 0xFF000000u;
    if (color != color_) Flush();
    color_ = color;
  }

  void Flush() {
    if (dirtyLeft_ > dirtyRight_) return;
    for (int y = dirtyTop_; y <= dirtyBottom_; ++y) {
      auto* pixel = reinterpret_cast<uint32_t*>(bits_ + y * bytesPerLine_);
      for (int x = dirtyLeft_; x <= dirtyRight_; ++x) {
        float& k = keep_[KeepIndex(x, y)];
        if (k >= 1) continue;
        const int alpha = static_cast<int>((1 - std::max(k, 0.0f)) * 255.0f + 0.5f);
        k = 1;
        if (alpha <= 0) continue;
        uint32_t& p = pixel[x];
        p = alpha >= 255 ? color_
                         : Scale(color_, static_cast<uint32_t>(alpha)) + Scale(p, 255u - static_cast<uint32_t>(alpha));
      }
    }
    ResetDirty();
  }

  void Hairline(double x1, double y1, double x2, double y2) {
    if (!ClipSegment(x1, y1, x2, y2)) return;
    // The pixels the segment may mark: its box and one pixel around.
    const int left = static_cast<int>(FloorOf(std::min(x1, x2))) - 1;
    const int right = static_cast<int>(FloorOf(std::max(x1, x2))) + 1;
    const int top = static_cast<int>(FloorOf(std::min(y1, y2))) - 1;
    const int bottom = static_cast<int>(FloorOf(std::max(y1, y2))) + 1;
    const bool inside = left >= clip_.left() && right <= clip_.right() && top >= clip_.top() && bottom <= clip_.bottom();
    Touch(left, top, right, bottom);
    if (inside) Segment<false>(x1, y1, x2, y2);
    else Segment<true>(x1, y1, x2, y2);
  }

  // True when every pixel a hairline within this box may mark lies in the
  // clip: HairlineInside may then draw it, once TouchBox has been told.
  bool HoldsBox(double minX, double minY, double maxX, double maxY) const {
    return minX >= clip_.left() + 1.0 && maxX < clip_.right() && minY >= clip_.top() + 1.0 && maxY < clip_.bottom();
  }
  // True when neither a hairline nor a fill within this box can mark a
  // pixel of the clip (the margins of ClipSegment).
  bool MissesBox(double minX, double minY, double maxX, double maxY) const {
    return maxX < clip_.left() - 2.0 || minX > clip_.right() + 3.0 || maxY < clip_.top() - 2.0 ||
           minY > clip_.bottom() + 3.0;
  }
  void TouchBox(double minX, double minY, double maxX, double maxY) {
    Touch(static_cast<int>(FloorOf(minX)) - 1, static_cast<int>(FloorOf(minY)) - 1,
          static_cast<int>(FloorOf(maxX)) + 1, static_cast<int>(FloorOf(maxY)) + 1);
  }
  // A hairline of a polyline whose box HoldsBox accepted: the same marks as
  // Hairline, without the checks a polyline of millions of points need not
  // repeat for every segment.
  void HairlineInside(double x1, double y1, double x2, double y2) { Segment<false>(x1, y1, x2, y2); }

  // False when the polygon covers too many pixels for the scratch rows;
  // the caller then lets the painter fill it.
  bool Fill(const QPointF* points, size_t count) {
    if (count < 3) return true;
    const double left = clip_.left(), top = clip_.top();
    const double right = clip_.right() + 1.0, bottom = clip_.bottom() + 1.0;
    double minX = points[0].x(), maxX = minX, minY = points[0].y(), maxY = minY;
    for (size_t i = 1; i < count; ++i) {
      minX = std::min(minX, points[i].x());
      maxX = std::max(maxX, points[i].x());
      minY = std::min(minY, points[i].y());
      maxY = std::max(maxY, points[i].y());
    }
    if (!(maxX > left && minX < right && maxY > top && minY < bottom)) return true;  // outside, or not finite
    if (minX < left || maxX > right || minY < top || maxY > bottom) {
      // Cut to the clip, one side at a time: each part outside a side is
      // replaced by a path along that side, which leaves every point inside
      // covered as often as before.
      CutPolygon(points, count, left, top, right, bottom);
      points = clipped_.data();
      count = clipped_.size();
      if (count < 3) return true;
      minX = right, maxX = left, minY = bottom, maxY = top;
      for (size_t i = 0; i < count; ++i) {
        minX = std::min(minX, points[i].x());
        maxX = std::max(maxX, points[i].x());
        minY = std::min(minY, points[i].y());
        maxY = std::max(maxY, points[i].y());
      }
    }
    if (!(minX < maxX) || !(minY < maxY)) return true;
    const int x0 = static_cast<int>(FloorOf(minX));
    const int y0 = static_cast<int>(FloorOf(minY));
    const int width = static_cast<int>(CeilOf(maxX)) - x0;
    const int height = static_cast<int>(CeilOf(maxY)) - y0;
    const size_t stride = static_cast<size_t>(width) + 2;
    if (static_cast<double>(stride) * height > kMaxFillCells) return false;
    cells_.assign(stride * static_cast<size_t>(height), 0.0f);
    Touch(x0, y0, x0 + width - 1, y0 + height - 1);
    for (size_t i = 0; i < count; ++i) {
      const QPointF& a = points[i];
      const QPointF& b = points[i + 1 < count ? i + 1 : 0];
      AccumulateEdge(a.x() - x0, a.y() - y0, b.x() - x0, b.y() - y0, stride);
    }
    for (int row = 0; row < height; ++row) {
      const float* cell = cells_.data() + static_cast<size_t>(row) * stride;
      float sum = 0;
      for (int k = 0; k < width; ++k) {
        sum += cell[k];
        // Alternate parts: covered once, a third time, ... are inside.
        float cover = std::abs(sum);
        if (cover > 1) {
          cover = std::fmod(cover, 2.0f);
          if (cover > 1) cover = 2 - cover;
        }
        if (cover > 0) Mark(x0 + k, y0 + row, cover);
      }
    }
    return true;
  }

 private:
  static constexpr double kMaxFillCells = 4e6;

  // The polygon cut to left..right x top..bottom, in clipped_.
  void CutPolygon(const QPointF* points, size_t count, double left, double top, double right, double bottom) {
    clipped_.assign(points, points + count);
    // Keeps the part where `inside` holds; `cross` gives the point where an
    // edge meets the side.
    const auto side = [this](auto inside, auto cross) {
      cutting_.swap(clipped_);
      clipped_.clear();
      const size_t n = cutting_.size();
      for (size_t i = 0; i < n; ++i) {
        const QPointF& from = cutting_[i == 0 ? n - 1 : i - 1];
        const QPointF& to = cutting_[i];
        const bool fromIn = inside(from), toIn = inside(to);
        if (fromIn != toIn) clipped_.push_back(cross(from, to));
        if (toIn) clipped_.push_back(to);
      }
    };
    const auto atX = [](double x) {
      return [x](const QPointF& a, const QPointF& b) {
        return QPointF(x, a.y() + (x - a.x()) / (b.x() - a.x()) * (b.y() - a.y()));
      };
    };
    const auto atY = [](double y) {
      return [y](const QPointF& a, const QPointF& b) {
        return QPointF(a.x() + (y - a.y()) / (b.y() - a.y()) * (b.x() - a.x()), y);
      };
    };
    side([left](const QPointF& p) { return p.x() >= left; }, atX(left));
    side([right](const QPointF& p) { return p.x() <= right; }, atX(right));
    side([top](const QPointF& p) { return p.y() >= top; }, atY(top));
    side([bottom](const QPointF& p) { return p.y() <= bottom; }, atY(bottom));
  }

  // Cuts the segment to the clip widened by two pixels (a hairline just
  // outside still shades the edge pixels), one side at a time so that a cut
  // end lies exactly on that side however far away the other end was.
  // False when nothing is left.
  bool ClipSegment(double& x1, double& y1, double& x2, double& y2) const {
    const double left = clip_.left() - 2.0, right = clip_.right() + 3.0;
    const double top = clip_.top() - 2.0, bottom = clip_.bottom() + 3.0;
    if (x1 >= left && x1 <= right && x2 >= left && x2 <= right && y1 >= top && y1 <= bottom && y2 >= top &&
        y2 <= bottom)
      return true;
    if (!std::isfinite(x1) || !std::isfinite(y1) || !std::isfinite(x2) || !std::isfinite(y2)) return false;
    return CutAxis(x1, y1, x2, y2, left, right) && CutAxis(y1, x1, y2, x2, top, bottom);
  }

  // Cuts along coordinate a (b goes along) to lo..hi.
  static bool CutAxis(double& a1, double& b1, double& a2, double& b2, double lo, double hi) {
    if ((a1 < lo && a2 < lo) || (a1 > hi && a2 > hi)) return false;
    // Both ends stay on the segment's line; a cut end is moved along it.
    const auto cut = [&](double& a, double& b, double limit) {
      b += (limit - a) / (a2 - a1) * (b2 - b1);
      a = limit;
    };
    if (a1 < lo) cut(a1, b1, lo);
    else if (a1 > hi) cut(a1, b1, hi);
    if (a2 < lo) cut(a2, b2, lo);
    else if (a2 > hi) cut(a2, b2, hi);
    return true;
  }

  template <bool checked>
  void Segment(double x1, double y1, double x2, double y2) {
    const double dx = x2 - x1, dy = y2 - y1;
    if (std::abs(dx) < std::abs(dy)) {
      if (y1 > y2) {
        std::swap(x1, x2);
        std::swap(y1, y2);
      }
      Sweep<true, checked>(y1, y2, x1, dx / dy);
    } else if (dx != 0) {
      if (x1 > x2) {
        std::swap(x1, x2);
        std::swap(y1, y2);
      }
      Sweep<false, checked>(x1, x2, y1, dy / dx);
    }
  }

  // Along the main axis from `from` to `to` (steep: y, else x), the other
  // coordinate starting at `across` and changing by `slope` per pixel (at
  // most one). The segment lies within a few pixels of the clip.
  template <bool steep, bool checked>
  void Sweep(double from, double to, double across, double slope) {
    const int lowest = steep ? clip_.top() : clip_.left();
    const int highest = steep ? clip_.bottom() : clip_.right();
    const int first = std::max(FloorInt(from), lowest);
    const int last = std::min(FloorInt(to), highest);
    // The other coordinate where the line crosses a row's middle, less half
    // a pixel: the two nearest pixel centres share the row's ink.
    double at = across + slope * (first + 0.5 - from) - 0.5;
    for (int line = first; line <= last; ++line, at += slope) {
      const double part = std::min(to, line + 1.0) - std::max(from, static_cast<double>(line));
      if (part <= 0) continue;
      const int near = FloorInt(at);
      const double share = at - near;
      const auto a1 = static_cast<float>(part * (1 - share));
      const auto a2 = static_cast<float>(part * share);
      const int x = steep ? near : line, y = steep ? line : near;
      const int dx = steep ? 1 : 0, dy = steep ? 0 : 1;
      if constexpr (checked) {
        MarkClipped(x, y, a1);
        MarkClipped(x + dx, y + dy, a2);
      } else {
        Mark(x, y, a1);
        Mark(x + dx, y + dy, a2);
      }
    }
  }

  // Signed area of one edge spread over the cells of the rows it crosses;
  // a running sum along a row then gives each pixel's coverage.
  void AccumulateEdge(double xa, double ya, double xb, double yb, size_t stride) {
    if (ya == yb) return;
    float direction = 1;
    if (ya > yb) {
      std::swap(xa, xb);
      std::swap(ya, yb);
      direction = -1;
    }
    const double dxdy = (xb - xa) / (yb - ya);
    double x = xa;
    const int rowFirst = FloorInt(ya);
    const int rowLast = CeilInt(yb) - 1;
    const size_t limit = stride - 1;
    for (int row = rowFirst; row <= rowLast; ++row) {
      const double dy = std::min(row + 1.0, yb) - std::max(static_cast<double>(row), ya);
      if (dy <= 0) continue;
      const double xNext = x + dxdy * dy;
      const float d = static_cast<float>(dy) * direction;
      // Left of the image an edge covers the whole row from column 0 on:
      // clamp there (and never turn a negative x into an index).
      const double xc = std::max(0.0, x), xNextC = std::max(0.0, xNext);
      const double lo = std::min(xc, xNextC), hi = std::max(xc, xNextC);
      float* cell = cells_.data() + static_cast<size_t>(row) * stride;
      const double loFloor = FloorInt(lo);
      const size_t i0 = static_cast<size_t>(loFloor);
      const double hiCeil = CeilInt(hi);
      const size_t i1 = static_cast<size_t>(hiCeil);
      if (i1 <= i0 + 1) {
        // Within one cell: the part right of the edge's middle is covered.
        const float right = static_cast<float>(0.5 * (xc + xNextC) - loFloor);
        cell[std::min(i0, limit)] += d * (1 - right);
        cell[std::min(i0 + 1, limit)] += d * right;
      } else {
        const double inverse = 1.0 / (hi - lo);
        const double f0 = lo - loFloor;
        const double firstArea = 0.5 * inverse * (1 - f0) * (1 - f0);
        const double f1 = hi - hiCeil + 1;
        const double lastArea = 0.5 * inverse * f1 * f1;
        cell[std::min(i0, limit)] += static_cast<float>(d * firstArea);
        if (i1 == i0 + 2) {
          cell[std::min(i0 + 1, limit)] += static_cast<float>(d * (1 - firstArea - lastArea));
        } else {
          const double second = inverse * (1.5 - f0);
          cell[std::min(i0 + 1, limit)] += static_cast<float>(d * (second - firstArea));
          for (size_t i = i0 + 2; i + 1 < i1; ++i) cell[std::min(i, limit)] += static_cast<float>(d * inverse);
          const double beforeLast = second + static_cast<double>(i1 - i0 - 3) * inverse;
          cell[std::min(i1 - 1, limit)] += static_cast<float>(d * (1 - beforeLast - lastArea));
        }
        cell[std::min(i1, limit)] += static_cast<float>(d * lastArea);
      }
      x = xNext;
    }
  }

  // Each byte times alpha / 255, rounded.
  static uint32_t Scale(uint32_t c, uint32_t alpha) {
    uint32_t rb = (c & 0x00FF00FFu) * alpha + 0x00800080u;
    rb = ((rb + ((rb >> 8) & 0x00FF00FFu)) >> 8) & 0x00FF00FFu;
    uint32_t ag = ((c >> 8) & 0x00FF00FFu) * alpha + 0x00800080u;
    ag = (ag + ((ag >> 8) & 0x00FF00FFu)) & 0xFF00FF00u;
    return rb | ag;
  }

  void ResetDirty() {
    dirtyLeft_ = clip_.right() + 1;
    dirtyRight_ = clip_.left() - 1;
    dirtyTop_ = clip_.bottom() + 1;
    dirtyBottom_ = clip_.top() - 1;
  }

  // A mark of `cover` (0..1) of the current colour on pixel (x, y).
  void Mark(int x, int y, float cover) {
    keep_[KeepIndex(x, y)] *= 1 - cover;
  }

  // The scratch is kept in strips a few pixels wide, each strip's rows one
  // after another: a trace runs down the page, and so along the memory.
  size_t KeepIndex(int x, int y) const {
    const auto lx = static_cast<size_t>(x - clip_.left()), ly = static_cast<size_t>(y - clip_.top());
    return ((lx / kStrip) * static_cast<size_t>(clip_.height()) + ly) * kStrip + lx % kStrip;
  }

  // Widens the part Flush looks at to cover these pixels (within the clip).
  void Touch(int left, int top, int right, int bottom) {
    dirtyLeft_ = std::max(std::min(dirtyLeft_, left), clip_.left());
    dirtyRight_ = std::min(std::max(dirtyRight_, right), clip_.right());
    dirtyTop_ = std::max(std::min(dirtyTop_, top), clip_.top());
    dirtyBottom_ = std::min(std::max(dirtyBottom_, bottom), clip_.bottom());
  }

  void MarkClipped(int x, int y, float cover) {
    if (x < clip_.left() || x > clip_.right() || y < clip_.top() || y > clip_.bottom()) return;
    Mark(x, y, cover);
  }

  uchar* bits_;
  qsizetype bytesPerLine_;
  QRect clip_;
  uint32_t color_ = 0xFF000000u;
  std::vector<float> keep_;  // per pixel of the clip: share of the old colour kept
  int dirtyLeft_ = 0, dirtyRight_ = -1, dirtyTop_ = 0, dirtyBottom_ = -1;
  std::vector<QPointF> clipped_, cutting_;
  std::vector<float> cells_;
};

class Replayer {
 public:
  // `pixelClip`: where the paper lies on the device when the painter's clip
  // is that and nothing more, else empty.
  Replayer(const PageDocument& page, QPainter& painter, const QRect& pixelClip)
      : page_(page), painter_(painter) {
    const QTransform toDevice = painter.deviceTransform();
    sx_ = toDevice.m11();
    sy_ = toDevice.m22();
    ox_ = toDevice.dx();
    oy_ = toDevice.dy();
    bool invertible = false;
    const QTransform fromDevice = toDevice.inverted(&invertible);
    // World coordinates that are the device's own pixels, whatever scaling
    // the device adds itself (a high-dpi preview image).
    if (invertible) deviceWorld_ = fromDevice * painter.worldTransform();
    QImage* image = PixelImage(painter, pixelClip);
    const QRect clip = image ? pixelClip & image->rect() : QRect();
    // Beyond this the scratch would take too much memory: the painter draws.
    if (image && static_cast<double>(clip.width()) * clip.height() <= PixelCanvas::kMaxPixels)
      canvas_.emplace(image->bits(), image->bytesPerLine(), clip);
  }

  // The image whose pixels the replay may write itself, within `pixelClip`:
  // an antialiased 32-bit raster image drawn on without rotation, blending
  // or transparency; else null.
  static QImage* PixelImage(const QPainter& painter, const QRect& pixelClip) {
    const QTransform toDevice = painter.deviceTransform();
    QPaintDevice* device = painter.device();
    const QPaintEngine* engine = painter.paintEngine();
    if (pixelClip.isEmpty() || !device || device->devType() != QInternal::Image || !engine ||
        engine->type() != QPaintEngine::Raster || toDevice.type() > QTransform::TxScale || !toDevice.isInvertible() ||
        !painter.testRenderHint(QPainter::Antialiasing) ||
        painter.compositionMode() != QPainter::CompositionMode_SourceOver || painter.opacity() != 1.0)
      return nullptr;
    auto* image = static_cast<QImage*>(device);
    if ((image->format() != QImage::Format_RGB32 && image->format() != QImage::Format_ARGB32_Premultiplied) ||
        !image->isDetached())
      return nullptr;
    if ((pixelClip & image->rect()).isEmpty()) return nullptr;
    return image;
  }

  void Run() {
    painter_.setPen(pen_);
    painter_.setBrush(QBrush(Qt::black));
    for (const PageOp& op : page_.ops()) {
      if (op.kind == OpKind::Text || op.kind == OpKind::Line || op.kind == OpKind::Cells) FlushPixels();
      switch (op.kind) {
        case OpKind::Font:
          if (op.index < page_.fonts().size()) font_ = MakeFont(page_.fonts()[op.index], painter_.device());
          haveFont_ = op.index < page_.fonts().size();
          break;
        case OpKind::Pen:
          if (op.index < page_.pens().size()) {
            penColor_ = ToQRgb(page_.pens()[op.index].color);
            pen_ = MakePen(page_.pens()[op.index], onePixelTwips_);
            SetPainterPen(pen_);
          }
          break;
        case OpKind::Brush:
          if (op.index < page_.brushes().size()) {
            brush_ = page_.brushes()[op.index];
            painter_.setBrush(MakeBrush(brush_));
          }
          break;
        case OpKind::Text: DrawText(op); break;
        case OpKind::Line:
          UseShapePen();
          painter_.drawLine(QPointF(op.x, op.y), QPointF(op.x2, op.y2));
          break;
        case OpKind::Polyline: DrawPolyline(op); break;
        case OpKind::Polygon: DrawPolygon(op); break;
        case OpKind::Cells: DrawCells(op); break;
      }
    }
    FlushPixels();
  }

 private:
  void SetPainterPen(const QPen& pen) {
    painter_.setPen(pen);
    textPenSet_ = false;
  }

  // Shapes after a text draw with the page's pen again, not the text's.
  void UseShapePen() {
    if (textPenSet_) SetPainterPen(pen_);
  }

  // Hairlines (pens thinner than a pixel) on an image go straight to its
  // pixels.
  bool DrawsPixels() const { return canvas_.has_value() && pen_.widthF() == 0; }

  // The pixels' pending marks go in before the painter draws over them.
  void FlushPixels() {
    if (canvas_) canvas_->Flush();
  }

  // Where an op's hairlines and fill may mark the canvas.
  enum class Reach { Nowhere, Inside, Partly };

  // The op's box in device pixels in box_ and, unless it misses the canvas
  // (the other half of a page replayed in halves), its points in buffer_.
  Reach LoadDevicePoints(const PageOp& op) {
    page_.PointsOf(op, xy_);
    const size_t total = xy_.size() / 2;
    buffer_.clear();
    if (total == 0) return Reach::Nowhere;
    const float* p = xy_.data();
    float loX = p[0], hiX = p[0], loY = p[1], hiY = p[1];
    for (size_t i = 1; i < total; ++i) {
      loX = std::min(loX, p[2 * i]);
      hiX = std::max(hiX, p[2 * i]);
      loY = std::min(loY, p[2 * i + 1]);
      hiY = std::max(hiY, p[2 * i + 1]);
    }
    // The points are mapped one by one below in the same way, and mapping
    // keeps their order: this is the box of the mapped points.
    const double x1 = loX * sx_ + ox_, x2 = hiX * sx_ + ox_;
    const double y1 = loY * sy_ + oy_, y2 = hiY * sy_ + oy_;
    box_ = {std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2)};
    if (canvas_->MissesBox(box_[0], box_[1], box_[2], box_[3])) return Reach::Nowhere;
    buffer_.resize(total);
    for (size_t i = 0; i < total; ++i) buffer_[i] = QPointF(p[2 * i] * sx_ + ox_, p[2 * i + 1] * sy_ + oy_);
    return canvas_->HoldsBox(box_[0], box_[1], box_[2], box_[3]) ? Reach::Inside : Reach::Partly;
  }

  // The hairlines from each point to the next (and, closed, back to the
  // first).
  void Hairlines(bool inside, bool closed) {
    const size_t count = buffer_.size();
    const QPointF* b = buffer_.data();
    if (inside) {
      // After the colour is set: a change of colour writes out what the
      // canvas knows of.
      canvas_->TouchBox(box_[0], box_[1], box_[2], box_[3]);
      for (size_t i = 1; i < count; ++i) canvas_->HairlineInside(b[i - 1].x(), b[i - 1].y(), b[i].x(), b[i].y());
      if (closed && count > 1) canvas_->HairlineInside(b[count - 1].x(), b[count - 1].y(), b[0].x(), b[0].y());
    } else {
      for (size_t i = 1; i < count; ++i) canvas_->Hairline(b[i - 1].x(), b[i - 1].y(), b[i].x(), b[i].y());
      if (closed && count > 1) canvas_->Hairline(b[count - 1].x(), b[count - 1].y(), b[0].x(), b[0].y());
    }
  }

  // The op's points, from `first` on, `count` of them.
  bool LoadPoints(size_t first, size_t count) {
    if (first > xy_.size() / 2 || count > xy_.size() / 2 - first) return false;
    buffer_.resize(count);
    const float* p = xy_.data() + 2 * first;
    for (size_t i = 0; i < count; ++i) buffer_[i] = QPointF(p[2 * i], p[2 * i + 1]);
    return true;
  }

  void DrawPolyline(const PageOp& op) {
    UseShapePen();
    if (DrawsPixels()) {
      const Reach reach = LoadDevicePoints(op);
      if (reach == Reach::Nowhere) return;
      canvas_->SetColor(penColor_);
      Hairlines(reach == Reach::Inside, false);
      return;
    }
    FlushPixels();
    page_.PointsOf(op, xy_);
    const size_t total = xy_.size() / 2;
    if (total < 2) return;
    for (size_t first = 0; first + 1 < total; first += kPolylineChunk - 1) {
      size_t count = std::min(kPolylineChunk, total - first);
      if (!LoadPoints(first, count)) return;
      painter_.drawPolyline(buffer_.data(), static_cast<int>(count));
    }
  }

  void DrawPolygon(const PageOp& op) {
    if (op.count == 0 || op.count > static_cast<uint32_t>(std::numeric_limits<int>::max())) return;
    UseShapePen();
    if (DrawsPixels()) {
      const Reach reach = LoadDevicePoints(op);
      const size_t count = buffer_.size();
      if (reach == Reach::Nowhere) return;
      const bool inside = reach == Reach::Inside;
      if (brush_.style != 1) {
        canvas_->SetColor(ToQRgb(brush_.color));
        if (!canvas_->Fill(buffer_.data(), count)) {
          // Too large for the scratch rows: the painter fills it.
          FlushPixels();
          painter_.save();
          painter_.setPen(Qt::NoPen);
          pageBuffer_.resize(count);
          for (size_t i = 0; i < count; ++i) pageBuffer_[i] = QPointF(xy_[2 * i], xy_[2 * i + 1]);
          painter_.drawPolygon(pageBuffer_.data(), static_cast<int>(count), Qt::OddEvenFill);
          painter_.restore();
        }
      }
      canvas_->SetColor(penColor_);
      Hairlines(inside, true);
      return;
    }
    FlushPixels();
    page_.PointsOf(op, xy_);
    if (!LoadPoints(0, xy_.size() / 2) || buffer_.empty()) return;
    // Overlapping parts alternate, as the product's fills do.
    painter_.drawPolygon(buffer_.data(), static_cast<int>(buffer_.size()), Qt::OddEvenFill);
  }

  void DrawText(const PageOp& op) {
    if (op.index >= page_.texts().size()) return;
    if (!haveFont_) {
      font_ = MakeFont(FontState{}, painter_.device());
      haveFont_ = true;
    }
    if (!textPenSet_) {
      // The page has no text colour: text is black whatever the pen.
      painter_.setPen(QPen(Qt::black));
      textPenSet_ = true;
    }
    painter_.setFont(font_.font);
    const QStringList lines = TextLines(page_.texts()[op.index]);
    double baseline = op.y + font_.ascent;
    for (const QString& line : lines) {
      if (!line.isEmpty()) painter_.drawText(QPointF(op.x, baseline), line);
      baseline += font_.lineSpacing;
    }
  }

  void DrawCells(const PageOp& op) {
    if (op.count == 0 || op.count > static_cast<uint32_t>(std::numeric_limits<int>::max())) return;
    double x = op.x, y = op.y, width = op.x2, height = op.y2;
    if (width == 0 || height == 0) return;
    const int count = static_cast<int>(op.count);
    QRectF rect(x, y, width, height * count);
    rect = rect.normalized();
    // Columns meet at fractions of a device pixel; widen each to whole
    // pixels so no white seam shows between neighbours at screen size.
    const QRectF device = painter_.deviceTransform().mapRect(rect);
    const QRectF snapped(QPointF(FloorOf(device.left()), FloorOf(device.top())),
                         QPointF(std::ceil(device.right()), std::ceil(device.bottom())));
    // A column beside the part of the image being drawn (the other half)
    // is not decoded.
    if (canvas_ && !QRectF(canvas_->Clip()).intersects(snapped)) return;
    page_.CellColorsOf(op, colors_);
    if (colors_.size() != op.count) return;
    QImage image(1, count, QImage::Format_RGB32);
    if (image.isNull()) return;
    // Cells run downwards from y; a negative cell height runs them upwards.
    bool upwards = height < 0;
    for (int k = 0; k < count; ++k) {
      int row = upwards ? count - 1 - k : k;
      reinterpret_cast<QRgb*>(image.scanLine(row))[0] = ToQRgb(colors_[static_cast<size_t>(k)]);
    }
    // Sharp cell edges, and no blended seam between neighbouring columns.
    painter_.save();
    if (deviceWorld_) painter_.setWorldTransform(*deviceWorld_);
    else painter_.resetTransform();
    painter_.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter_.setRenderHint(QPainter::Antialiasing, false);
    painter_.drawImage(snapped, image);
    painter_.restore();
  }

  const PageDocument& page_;
  QPainter& painter_;
  std::optional<PixelCanvas> canvas_;
  std::optional<QTransform> deviceWorld_;  // device pixels to the painter's world
  double sx_ = 1, sy_ = 1, ox_ = 0, oy_ = 0;  // twips to device pixels
  QRgb penColor_ = qRgb(0, 0, 0);
  BrushState brush_;
  // Twips in one device pixel at the painter's scale.
  double onePixelTwips_ = [this] {
    const double m = std::abs(painter_.deviceTransform().m11());
    return m > 0 && std::isfinite(m) ? 1.0 / m : 0.0;
  }();
  QPen pen_ = MakePen(PenState{}, 0);
  bool textPenSet_ = false;
  TextFont font_;
  bool haveFont_ = false;
  std::vector<float> xy_;
  std::vector<Color> colors_;
  std::vector<QPointF> buffer_;
  std::array<double, 4> box_{};  // buffer_'s left, top, right, bottom
  std::vector<QPointF> pageBuffer_;
};

// An image this wide or wider is replayed in two halves side by side, one
// on each core, when the replay writes its pixels itself.
constexpr int kHalvesFromWidth = 512;

// The left and right halves of `pixelClip`, each replayed by its own painter
// on its own view of the image's pixels, the right one on a second thread.
// Every mark and every painter call depends on its pixel alone, so the
// halves together make the picture of one pass; ops outside a half are
// decoded but not drawn there. Only where the replay writes the pixels
// itself: a shape the painter draws costs each half the whole of its outline
// (an image too large for the pixel writer, a PNG export, is drawn by the
// painter in one pass). False (nothing drawn) where this does not apply.
// TAVELO_REPLAY_THREADS=1 keeps the replay on the calling thread.
bool ReplayInHalves(const PageDocument& page, QPainter& painter, const QRect& pixelClip) {
  if (pixelClip.width() < kHalvesFromWidth || std::thread::hardware_concurrency() < 2 ||
      qEnvironmentVariableIntValue("TAVELO_REPLAY_THREADS") == 1)
    return false;
  QImage* image = Replayer::PixelImage(painter, pixelClip);
  if (!image) return false;
  const QRect clip = pixelClip & image->rect();
  if (static_cast<double>(clip.width()) * clip.height() > PixelCanvas::kMaxPixels) return false;
  const int middle = clip.left() + clip.width() / 2;
  const QRect halves[2] = {QRect(clip.topLeft(), QPoint(middle - 1, clip.bottom())),
                           QRect(QPoint(middle, clip.top()), clip.bottomRight())};
  // The views draw in the image's device pixels: its own scaling (a
  // high-dpi preview) goes into their transform.
  const QTransform toDevice = painter.deviceTransform();
  const QPainter::RenderHints hints = painter.renderHints();
  uchar* bits = image->bits();
  const auto replayHalf = [&](const QRect& half) {
    QImage view(bits, image->width(), image->height(), image->bytesPerLine(), image->format());
    view.setDotsPerMeterX(image->dotsPerMeterX());
    view.setDotsPerMeterY(image->dotsPerMeterY());
    QPainter halfPainter(&view);
    halfPainter.setRenderHints(hints);
    halfPainter.setClipRect(half);
    halfPainter.setWorldTransform(toDevice);
    Replayer(page, halfPainter, half).Run();
  };
  std::exception_ptr failure;
  std::thread right([&] {
    try {
      replayHalf(halves[1]);
    } catch (...) {
      failure = std::current_exception();
    }
  });
  try {
    replayHalf(halves[0]);
  } catch (...) {
    right.join();
    throw;
  }
  right.join();
  if (failure) std::rethrow_exception(failure);
  return true;
}

}  // namespace

TextLineMetrics ReplayTextMetrics(const FontState& font, double dpi) {
  EnsureArialSubstitute();
  QImage device(1, 1, QImage::Format_RGB32);
  if (std::isfinite(dpi) && dpi > 0 && dpi < 1e6) {
    const int dotsPerMeter = static_cast<int>(std::lround(dpi / 0.0254));
    device.setDotsPerMeterX(dotsPerMeter);
    device.setDotsPerMeterY(dotsPerMeter);
  }
  const TextFont made = MakeFont(font, &device);
  return {made.ascent, made.lineSpacing};
}

void ReplayPage(const PageDocument& page, QPainter& painter, const QRectF& targetRect) {
  const double pageWidth = page.PageWidth();
  const double pageHeight = page.PageHeight();
  if (!(pageWidth > 0) || !(pageHeight > 0) || !std::isfinite(pageWidth) || !std::isfinite(pageHeight))
    return;
  if (!(targetRect.width() > 0) || !(targetRect.height() > 0)) return;
  const double scale = std::min(targetRect.width() / pageWidth, targetRect.height() / pageHeight);
  if (!(scale > 0) || !std::isfinite(scale)) return;

  EnsureArialSubstitute();
  painter.save();
  painter.translate(targetRect.x() + (targetRect.width() - pageWidth * scale) / 2,
                    targetRect.y() + (targetRect.height() - pageHeight * scale) / 2);
  painter.scale(scale, scale);
  // The hairlines' own pixel writer needs the clip to be the paper alone.
  const bool callerClipped = painter.hasClipping();
  painter.setClipRect(QRectF(0, 0, pageWidth, pageHeight), Qt::IntersectClip);
  QRect pixelClip;
  const QRectF paper = painter.deviceTransform().mapRect(QRectF(0, 0, pageWidth, pageHeight));
  if (!callerClipped && std::isfinite(paper.left()) && std::isfinite(paper.top()) && std::isfinite(paper.right()) &&
      std::isfinite(paper.bottom())) {
    // The pixels the painter's own clip keeps: whole pixels between the
    // paper's rounded edges.
    const double limit = 1e8;
    const auto edge = [limit](double v) { return static_cast<int>(std::lround(std::clamp(v, -limit, limit))); };
    pixelClip = QRect(QPoint(edge(paper.left()), edge(paper.top())),
                      QPoint(edge(paper.right()) - 1, edge(paper.bottom()) - 1));
  }
  if (!ReplayInHalves(page, painter, pixelClip)) Replayer(page, painter, pixelClip).Run();
  painter.restore();
}

}  // namespace tavelo
