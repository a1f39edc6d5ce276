#pragma once
// The replay's own pixel writer: hairlines and fills of an antialiased
// 32-bit image written straight into its pixels. Used by the QPainter
// replay only; kept inline, since its inner loops run millions of times a
// page.

#include <QPointF>
#include <QRgb>
#include <QRect>
#include <QtGlobal>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tavelo::replay {

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
        stripFloats_(static_cast<size_t>(clip.height()) * kStrip),
        keep_(static_cast<size_t>((clip.width() + kStrip - 1) / kStrip) * stripFloats_, 1.0f) {
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

  // The lines' width in pixels, from one (the thinnest, the default) to
  // kWidestLine.
  static constexpr double kWidestLine = 2.0;
  void SetLineWidth(double pixels) {
    lineWidth_ = std::clamp(std::isfinite(pixels) ? pixels : 1.0, 1.0, kWidestLine);
    lineReach_ = lineWidth_ > 1 ? 2 : 1;
  }

  // True when the segment lies wholly beyond one side of the clip widened
  // as ClipSegment widens it: Hairline would mark nothing. A tall trace
  // crossing a band or tile has most of its segments so.
  bool MissesSegment(double x1, double y1, double x2, double y2) const {
    const double left = clip_.left() - 2.0, right = clip_.right() + 3.0;
    const double top = clip_.top() - 2.0, bottom = clip_.bottom() + 3.0;
    return (y1 < top && y2 < top) || (y1 > bottom && y2 > bottom) || (x1 < left && x2 < left) ||
           (x1 > right && x2 > right);
  }

  void Hairline(double x1, double y1, double x2, double y2) {
    if (!ClipSegment(x1, y1, x2, y2)) return;
    // The pixels the segment may mark: its box and the line's reach around.
    const int left = static_cast<int>(FloorOf(std::min(x1, x2))) - lineReach_;
    const int right = static_cast<int>(FloorOf(std::max(x1, x2))) + lineReach_;
    const int top = static_cast<int>(FloorOf(std::min(y1, y2))) - lineReach_;
    const int bottom = static_cast<int>(FloorOf(std::max(y1, y2))) + lineReach_;
    const bool inside = left >= clip_.left() && right <= clip_.right() && top >= clip_.top() && bottom <= clip_.bottom();
    Touch(left, top, right, bottom);
    if (inside) Segment<false>(x1, y1, x2, y2);
    else Segment<true>(x1, y1, x2, y2);
  }

  // True when every pixel a hairline within this box may mark lies in the
  // clip: HairlineInside may then draw it, once TouchBox has been told.
  bool HoldsBox(double minX, double minY, double maxX, double maxY) const {
    const int r = lineReach_;
    return minX >= clip_.left() + r && maxX < clip_.right() + 1 - r && minY >= clip_.top() + r &&
           maxY < clip_.bottom() + 1 - r;
  }
  // True when neither a hairline nor a fill within this box can mark a
  // pixel of the clip (the margins of ClipSegment).
  bool MissesBox(double minX, double minY, double maxX, double maxY) const {
    return maxX < clip_.left() - 2.0 || minX > clip_.right() + 3.0 || maxY < clip_.top() - 2.0 ||
           minY > clip_.bottom() + 3.0;
  }
  void TouchBox(double minX, double minY, double maxX, double maxY) {
    Touch(static_cast<int>(FloorOf(minX)) - lineReach_, static_cast<int>(FloorOf(minY)) - lineReach_,
          static_cast<int>(FloorOf(maxX)) + lineReach_, static_cast<int>(FloorOf(maxY)) + lineReach_);
  }
  // A hairline of a polyline whose box HoldsBox accepted: the same marks as
  // Hairline, without the checks a polyline of millions of points need not
  // repeat for every segment.
  [[gnu::always_inline]] inline void HairlineInside(double x1, double y1, double x2, double y2) {
    Segment<false>(x1, y1, x2, y2);
  }

  // False when the polygon covers too many pixels for the scratch rows;
  // the caller then lets the painter fill it.
  bool Fill(const QPointF* points, size_t count) {
    if (count < 3) return true;
    double minX = points[0].x(), maxX = minX, minY = points[0].y(), maxY = minY;
    for (size_t i = 1; i < count; ++i) {
      minX = std::min(minX, points[i].x());
      maxX = std::max(maxX, points[i].x());
      minY = std::min(minY, points[i].y());
      maxY = std::max(maxY, points[i].y());
    }
    return FillWithin(points, count, minX, minY, maxX, maxY);
  }

  // Fill of a polygon whose box the caller already has (left, top, right,
  // bottom of its points): a page's lobes are a few points each, and a
  // second pass over them costs as much as the box test it feeds.
  bool FillWithin(const QPointF* points, size_t count, double minX, double minY, double maxX, double maxY) {
    if (count < 3) return true;
    const double left = clip_.left(), top = clip_.top();
    const double right = clip_.right() + 1.0, bottom = clip_.bottom() + 1.0;
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
    const size_t cellCount = stride * static_cast<size_t>(height);
    if (cells_.size() < cellCount) cells_.resize(cellCount);
    std::fill_n(cells_.data(), cellCount, 0.0f);
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

  // Inlined: a lobe's outline is a few segments, each a row or two, where
  // the call would cost a fifth of the segment.
  template <bool checked>
  [[gnu::always_inline]] inline void Segment(double x1, double y1, double x2, double y2) {
    const double dx = x2 - x1, dy = y2 - y1;
    const bool wide = lineWidth_ > 1;
    if (std::abs(dx) < std::abs(dy)) {
      if (y1 > y2) {
        std::swap(x1, x2);
        std::swap(y1, y2);
      }
      if (wide) SweepWide<true, checked>(y1, y2, x1, dx / dy);
      else if constexpr (checked) Sweep<true, true>(y1, y2, x1, dx / dy);
      else SweepDownInside(y1, y2, x1, dx / dy);
    } else if (dx != 0) {
      if (x1 > x2) {
        std::swap(x1, x2);
        std::swap(y1, y2);
      }
      if (wide) SweepWide<false, checked>(x1, x2, y1, dy / dx);
      else Sweep<false, checked>(x1, x2, y1, dy / dx);
    }
  }

  // As Sweep, for a line wider than a pixel: across each row (or column)
  // the line covers its width over the cosine of its slope, centred where
  // it crosses the row's middle, and each pixel takes the part it holds.
  template <bool steep, bool checked>
  void SweepWide(double from, double to, double across, double slope) {
    const int lowest = steep ? clip_.top() : clip_.left();
    const int highest = steep ? clip_.bottom() : clip_.right();
    const int first = std::max(FloorInt(from), lowest);
    const int last = std::min(FloorInt(to), highest);
    const double half = 0.5 * lineWidth_ * std::sqrt(1 + slope * slope);
    double centre = across + slope * (first + 0.5 - from);
    for (int line = first; line <= last; ++line, centre += slope) {
      const double part = std::min(to, line + 1.0) - std::max(from, static_cast<double>(line));
      if (part <= 0) continue;
      const double lo = centre - half, hi = centre + half;
      for (int k = FloorInt(lo), end = FloorInt(hi); k <= end; ++k) {
        const double held = std::min(hi, k + 1.0) - std::max(lo, static_cast<double>(k));
        if (held <= 0) continue;
        const auto cover = static_cast<float>(part * held);
        const int x = steep ? k : line, y = steep ? line : k;
        if constexpr (checked) MarkClipped(x, y, cover);
        else Mark(x, y, cover);
      }
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

  // Sweep<true, false> for the hairline of a steep segment whose marks all
  // lie in the clip (nearly every segment of a wiggle): its coordinates are
  // then positive, so truncation rounds down, and the two pixels of a row
  // are found from one place in the scratch. The same marks as Sweep.
  void SweepDownInside(double from, double to, double across, double slope) {
    const int first = static_cast<int>(from);
    const int last = static_cast<int>(to);
    const int left = clip_.left(), top = clip_.top();
    double at = across + slope * (first + 0.5 - from) - 0.5;
    for (int line = first; line <= last; ++line, at += slope) {
      const double part = std::min(to, line + 1.0) - std::max(from, static_cast<double>(line));
      if (part <= 0) continue;
      const int near = static_cast<int>(at);
      const double share = at - near;
      const auto lx = static_cast<size_t>(near - left), ly = static_cast<size_t>(line - top);
      const size_t column = lx % kStrip;
      float* keep = keep_.data() + (lx / kStrip) * stripFloats_ + ly * kStrip + column;
      keep[0] *= 1 - static_cast<float>(part * (1 - share));
      // The pixel to the right: the next in the strip, or the first of the next strip.
      keep[column == kStrip - 1 ? stripFloats_ - (kStrip - 1) : 1] *= 1 - static_cast<float>(part * share);
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
    return (lx / kStrip) * stripFloats_ + ly * kStrip + lx % kStrip;
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
  double lineWidth_ = 1;  // see SetLineWidth
  int lineReach_ = 1;     // pixels beyond a segment's box its line may mark
  size_t stripFloats_;       // scratch values in one strip (kStrip pixels of every row)
  std::vector<float> keep_;  // per pixel of the clip: share of the old colour kept
  int dirtyLeft_ = 0, dirtyRight_ = -1, dirtyTop_ = 0, dirtyBottom_ = -1;
  std::vector<QPointF> clipped_, cutting_;
  std::vector<float> cells_;
};

}  // namespace tavelo::replay
