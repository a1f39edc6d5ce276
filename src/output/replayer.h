#pragma once
// The replay's sink for a QPainter: every op of the page drawn as the
// painter draws it, the lines of pens up to two pixels wide and the fills of
// an antialiased 32-bit image written straight into its pixels instead
// (PixelCanvas), wider strokes cut to the runs of segments that can reach
// the image. Used by ReplayPage (painter_replay.cpp) alone.

#include <QFont>
#include <QImage>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>
#include <QPen>
#include <QPointF>
#include <QRect>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <QTransform>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <vector>

#include "output/painter_state.h"
#include "output/pixel_canvas.h"
#include "output/replay_index.h"
#include "page/page_document.h"
#include "page/page_replay.h"

namespace tavelo::replay {

// Long polylines go to the painter in pieces that share their end points,
// which bounds the stroker's scratch memory and keeps counts within int.
constexpr size_t kPolylineChunk = 65536;

class Replayer final : public PageSink {
 public:
  // `pixelClip`: where the paper lies on the device when the painter's clip
  // is that and nothing more, else empty.
  // `index` (one that describes the page, or the one this replay fills)
  // lets ops beside the pixels be passed over undecoded, with the page's
  // boxes; once complete, its runs and stretches too. `filling` receives
  // the runs and stretches this replay finds.
  // `stop`, when set, ends the replay at the next op.
  Replayer(const PageDocument& page, QPainter& painter, const QRect& pixelClip, const ReplayIndex* index,
           ReplayIndex* filling = nullptr, const std::atomic<bool>* stop = nullptr)
      : page_(page), painter_(painter), index_(index), filling_(filling), stop_(stop) {
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
    imageArea_ = ImageArea(painter, pixelClip);
  }

  // The device pixels a stroke can mark on an image drawn on without
  // rotation (the image, within `pixelClip` when there is one); else none,
  // and every stroke goes to the painter whole.
  static std::optional<QRectF> ImageArea(const QPainter& painter, const QRect& pixelClip) {
    const QPaintDevice* device = painter.device();
    const QTransform toDevice = painter.deviceTransform();
    if (!device || device->devType() != QInternal::Image || toDevice.type() > QTransform::TxScale ||
        !toDevice.isInvertible())
      return std::nullopt;
    const auto* image = static_cast<const QImage*>(device);
    QRect area = image->rect();
    if (!pixelClip.isEmpty()) area &= pixelClip;
    return QRectF(area);
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

  // False when `stop` ended it.
  bool Run() {
    painter_.setPen(pen_);
    painter_.setBrush(QBrush(Qt::black));
    const bool whole =
        Replay(page_, *this, index_ ? index_->Runs() : nullptr, filling_ ? filling_->RunsToFill() : nullptr);
    FlushPixels();
    return whole;
  }

 private:
  bool OpDone() override { return !stop_ || !stop_->load(std::memory_order_relaxed); }

  void Font(const FontState& state) override {
    font_ = MakeFont(state, painter_.device());
    haveFont_ = true;
  }
  void Pen(const PenState& state) override {
    penColor_ = ToQRgb(state.color);
    pen_ = MakePen(state, onePixelTwips_);
    penPixels_ = pen_.widthF() == 0 ? 1.0 : pen_.widthF() / onePixelTwips_;
    if (DrawsPixels()) canvas_->SetLineWidth(penPixels_);
    SetPainterPen(pen_);
  }
  void Brush(const BrushState& state) override {
    brush_ = state;
    painter_.setBrush(MakeBrush(brush_));
  }
  void Line(const LineMark& line) override {
    FlushPixels();
    UseShapePen();
    painter_.drawLine(QPointF(line.x1, line.y1), QPointF(line.x2, line.y2));
  }

  void SetPainterPen(const QPen& pen) {
    painter_.setPen(pen);
    textPenSet_ = false;
  }

  // Shapes after a text draw with the page's pen again, not the text's.
  void UseShapePen() {
    if (textPenSet_) SetPainterPen(pen_);
  }

  // A run of ops whose box (widened by its widest pen and the
  // antialiasing) misses the image is not visited at all: a scroll step of
  // a zoomed preview replays a strip of a page of millions of ops.
  bool PassesOver(size_t first, size_t, double widestPen) override {
    if (!index_ || !imageArea_) return false;
    const ReplayIndex::Box b = index_->RunBox(first / ReplayRuns::kOps);
    if (b[0] > b[2]) return true;  // no points: only state
    const double penPixels = widestPen * std::max(std::abs(sx_), std::abs(sy_));
    const double margin = std::max(penPixels, 1.0) + 3.0;
    const double x1 = b[0] * sx_ + ox_, x2 = b[2] * sx_ + ox_;
    const double y1 = b[1] * sy_ + oy_, y2 = b[3] * sy_ + oy_;
    const QRectF& area = *imageArea_;
    // Not a number (an unbounded box times a zero scale) never passes.
    return std::max(x1, x2) < area.left() - margin || std::min(x1, x2) > area.right() + margin ||
           std::max(y1, y2) < area.top() - margin || std::min(y1, y2) > area.bottom() + margin;
  }

  // Lines on an image, of pens up to PixelCanvas::kWidestLine pixels
  // wide, go straight to its pixels; the painter's stroker and its round
  // joins would cost some ten times as much for the same picture.
  bool DrawsPixels() const { return canvas_.has_value() && penPixels_ <= PixelCanvas::kWidestLine; }

  // The pixels' pending marks go in before the painter draws over them.
  void FlushPixels() {
    if (canvas_) canvas_->Flush();
  }

  // Where an op's hairlines and fill may mark the canvas.
  enum class Reach { Nowhere, Inside, Partly };

  // A box of the page (left, top, right, bottom) in device pixels, mapped
  // as the points are.
  std::array<double, 4> DeviceBox(const ReplayIndex::Box& b) const {
    const double x1 = b[0] * sx_ + ox_, x2 = b[2] * sx_ + ox_;
    const double y1 = b[1] * sy_ + oy_, y2 = b[3] * sy_ + oy_;
    return {std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2)};
  }
  bool CanvasMisses(const ReplayIndex::Box& b) const {
    if (b[0] > b[2]) return true;  // no points
    const std::array<double, 4> d = DeviceBox(b);
    return canvas_->MissesBox(d[0], d[1], d[2], d[3]);
  }

  // The op's points, decoded. A replay filling the index also notes the
  // stretches of a long polyline, so later replays of a strip across it
  // decode only the part they need.
  std::span<const float> PointsOf(PointsMark& mark, bool polyline) {
    if (!filling_ || !polyline || mark.count < ReplayIndex::kStretchFrom) return mark.Points();
    const std::span<const float> xy = mark.Points(ReplayIndex::kStretchPoints, resumes_);
    filling_->RecordStretches(mark.number, resumes_, xy);
    return xy;
  }

  // For each run of the index's stretches of op `mark` that `meets` (given
  // a stretch's box) accepts, its points (up to the first of the next
  // stretch) in xy_, then `draw()`. False, with nothing drawn, when the
  // index notes no stretches of the op.
  template <typename Meets, typename Draw>
  bool DrawStretches(PointsMark& mark, Meets meets, Draw draw) {
    if (!index_) return false;
    const std::span<const ReplayIndex::Stretch> stretches = index_->StretchesOf(mark.number);
    if (stretches.empty()) return false;
    for (size_t i = 0; i < stretches.size();) {
      if (!meets(index_->BoxOf(stretches[i]))) {
        ++i;
        continue;
      }
      size_t end = i + 1;
      while (end < stretches.size() && meets(index_->BoxOf(stretches[end]))) ++end;
      const uint64_t points = uint64_t{end - i} * ReplayIndex::kStretchPoints + 1;
      xy_ = mark.Stretch(ReplayIndex::ResumeOf(stretches[i], i),
                         static_cast<uint32_t>(std::min<uint64_t>(points, mark.count)));
      if (xy_.size() >= 4) draw();
      i = end;
    }
    return true;
  }

  // The op's box in device pixels in box_ and, unless it misses the canvas
  // (the other half of a page replayed in halves), its points in buffer_.
  // A polyline's points only partly on the canvas are left unmapped
  // (buffer_ empty): HairlinesNearCanvas maps those it draws.
  Reach LoadDevicePoints(PointsMark& mark, bool polyline) {
    const bool mapPartly = !polyline;
    // Mapped as the points are below: the same box, before decoding.
    if (index_ && CanvasMisses(index_->BoxOf(mark.number))) {
      buffer_.clear();
      return Reach::Nowhere;
    }
    xy_ = PointsOf(mark, polyline);
    const size_t total = xy_.size() / 2;
    // Every point is written below: the list keeps its room from op to op.
    if (polyline || total == 0) buffer_.clear();
    if (total == 0) return Reach::Nowhere;
    const float* p = xy_.data();
    float loX = p[0], hiX = p[0], loY = p[1], hiY = p[1];
    if (mapPartly) {
      // One pass maps the points and finds their box (most ops are lobes
      // of a few points, where a pass costs as much as the work it leads to).
      buffer_.resize(total);
      QPointF* mapped = buffer_.data();
      mapped[0] = QPointF(p[0] * sx_ + ox_, p[1] * sy_ + oy_);
      for (size_t i = 1; i < total; ++i) {
        const float x = p[2 * i], y = p[2 * i + 1];
        loX = std::min(loX, x);
        hiX = std::max(hiX, x);
        loY = std::min(loY, y);
        hiY = std::max(hiY, y);
        mapped[i] = QPointF(x * sx_ + ox_, y * sy_ + oy_);
      }
    } else {
      for (size_t i = 1; i < total; ++i) {
        loX = std::min(loX, p[2 * i]);
        hiX = std::max(hiX, p[2 * i]);
        loY = std::min(loY, p[2 * i + 1]);
        hiY = std::max(hiY, p[2 * i + 1]);
      }
    }
    // Mapping keeps the points' order (rounding never reverses two
    // values), so this is the exact box of the mapped points.
    const double x1 = loX * sx_ + ox_, x2 = hiX * sx_ + ox_;
    const double y1 = loY * sy_ + oy_, y2 = hiY * sy_ + oy_;
    box_ = {std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2)};
    if (canvas_->MissesBox(box_[0], box_[1], box_[2], box_[3])) {
      buffer_.clear();
      return Reach::Nowhere;
    }
    if (!canvas_->HoldsBox(box_[0], box_[1], box_[2], box_[3])) return Reach::Partly;
    if (!mapPartly) {
      buffer_.resize(total);
      for (size_t i = 0; i < total; ++i) buffer_[i] = QPointF(p[2 * i] * sx_ + ox_, p[2 * i + 1] * sy_ + oy_);
    }
    return Reach::Inside;
  }

  // The hairlines of the open polyline in xy_, one only partly on the
  // canvas: a segment wholly beyond one side of the canvas (widened by a
  // pixel more than the canvas itself widens it) is passed over before its
  // ends are mapped. A trace crossing a tile or band has most segments so.
  void HairlinesNearCanvas() {
    const QRect& clip = canvas_->Clip();
    const double ax = (clip.left() - 3.0 - ox_) / sx_, bx = (clip.right() + 4.0 - ox_) / sx_;
    const double ay = (clip.top() - 3.0 - oy_) / sy_, by = (clip.bottom() + 4.0 - oy_) / sy_;
    const double loX = std::min(ax, bx), hiX = std::max(ax, bx), loY = std::min(ay, by), hiY = std::max(ay, by);
    const float* p = xy_.data();
    const size_t count = xy_.size() / 2;
    for (size_t i = 1; i < count; ++i) {
      const float x1 = p[2 * i - 2], y1 = p[2 * i - 1], x2 = p[2 * i], y2 = p[2 * i + 1];
      if ((y1 < loY && y2 < loY) || (y1 > hiY && y2 > hiY) || (x1 < loX && x2 < loX) || (x1 > hiX && x2 > hiX))
        continue;
      canvas_->Hairline(x1 * sx_ + ox_, y1 * sy_ + oy_, x2 * sx_ + ox_, y2 * sy_ + oy_);
    }
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
      for (size_t i = 1; i < count; ++i)
        if (!canvas_->MissesSegment(b[i - 1].x(), b[i - 1].y(), b[i].x(), b[i].y()))
          canvas_->Hairline(b[i - 1].x(), b[i - 1].y(), b[i].x(), b[i].y());
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

  void Polyline(PointsMark& mark) override {
    UseShapePen();
    if (DrawsPixels()) {
      if (index_ && PartlyOnCanvas(mark.number)) {
        // A long trace across a strip: only the stretches near it.
        canvas_->SetColor(penColor_);
        const auto near = [this](const ReplayIndex::Box& b) { return !CanvasMisses(b); };
        if (DrawStretches(mark, near, [this] { HairlinesNearCanvas(); })) return;
      }
      const Reach reach = LoadDevicePoints(mark, true);
      if (reach == Reach::Nowhere) return;
      canvas_->SetColor(penColor_);
      if (reach == Reach::Inside) Hairlines(true, false);
      else HairlinesNearCanvas();
      return;
    }
    FlushPixels();
    const std::optional<std::array<float, 4>> reach = StrokeReach();
    if (reach) {
      const auto meets = [&reach](const ReplayIndex::Box& b) { return BoxMeets(*reach, b[0], b[1], b[2], b[3]); };
      if (DrawStretches(mark, meets, [&] { StrokeWithin(*reach); })) return;
    }
    if (!Decodes(mark, reach, true)) return;
    const size_t total = xy_.size() / 2;
    if (total < 2) return;
    if (!reach) {
      StrokePiece(0, total);
      return;
    }
    StrokeWithin(*reach);
  }

  // True when the index places op `op` across an edge of the canvas: some
  // of it may mark the canvas, not all of it lies inside.
  bool PartlyOnCanvas(size_t op) const {
    const ReplayIndex::Box b = index_->BoxOf(op);
    if (CanvasMisses(b)) return false;
    const std::array<double, 4> d = DeviceBox(b);
    return !canvas_->HoldsBox(d[0], d[1], d[2], d[3]);
  }

  // The open polyline in xy_, stroked by the painter where it may reach
  // the image. Only the runs of segments that can mark it go to the
  // stroker: a band of a PNG export, or a preview tile, would otherwise pay
  // for the outline of every trace on the page. A run ends where a segment
  // lies wholly beyond the reach, so its flat ends and the joins it no
  // longer has are out of sight.
  void StrokeWithin(const std::array<float, 4>& reach) {
    const size_t total = xy_.size() / 2;
    constexpr size_t kNoRun = std::numeric_limits<size_t>::max();
    size_t runStart = kNoRun;
    const float* p = xy_.data();
    for (size_t i = 0; i + 1 < total; ++i) {
      if (SegmentMeets(reach, p + 2 * i)) {
        if (runStart == kNoRun) runStart = i;
      } else if (runStart != kNoRun) {
        StrokePiece(runStart, i + 1 - runStart);
        runStart = kNoRun;
      }
    }
    if (runStart != kNoRun) StrokePiece(runStart, total - runStart);
  }

  // Points `first` .. `first` + `count` - 1 of the op as one stroke.
  void StrokePiece(size_t first, size_t count) {
    const size_t end = first + count;
    for (size_t from = first; from + 1 < end; from += kPolylineChunk - 1) {
      const size_t n = std::min(kPolylineChunk, end - from);
      if (!LoadPoints(from, n)) return;
      painter_.drawPolyline(buffer_.data(), static_cast<int>(n));
    }
  }

  // The page rectangle (left, top, right, bottom in twips) beyond which a
  // stroke of the current pen leaves the image untouched: the image area
  // widened by the pen's width and a pixel of antialiasing each side.
  std::optional<std::array<float, 4>> StrokeReach() const {
    if (!imageArea_ || !(sx_ != 0) || !(sy_ != 0)) return std::nullopt;
    const double penPixels = pen_.widthF() > 0 ? pen_.widthF() * std::max(std::abs(sx_), std::abs(sy_)) : 1.0;
    const double margin = penPixels + 2.0;
    if (!std::isfinite(margin)) return std::nullopt;
    const QRectF area = imageArea_->adjusted(-margin, -margin, margin, margin);
    const double x1 = (area.left() - ox_) / sx_, x2 = (area.right() - ox_) / sx_;
    const double y1 = (area.top() - oy_) / sy_, y2 = (area.bottom() - oy_) / sy_;
    const std::array<double, 4> r{std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2)};
    for (double v : r)
      if (!std::isfinite(v) || std::abs(v) > 1e30) return std::nullopt;
    return std::array<float, 4>{static_cast<float>(r[0]), static_cast<float>(r[1]), static_cast<float>(r[2]),
                                static_cast<float>(r[3])};
  }

  // Whether the segment from p[0], p[1] to p[2], p[3] has its box within
  // `reach`. A point that is not a number counts as meeting it: the
  // painter decides what to make of it, as it did of the whole line.
  static bool SegmentMeets(const std::array<float, 4>& reach, const float* p) {
    if (std::isnan(p[0]) || std::isnan(p[1]) || std::isnan(p[2]) || std::isnan(p[3])) return true;
    return BoxMeets(reach, std::min(p[0], p[2]), std::min(p[1], p[3]), std::max(p[0], p[2]), std::max(p[1], p[3]));
  }

  static bool BoxMeets(const std::array<float, 4>& reach, float loX, float loY, float hiX, float hiY) {
    return !(hiX < reach[0] || loX > reach[2] || hiY < reach[1] || loY > reach[3]);
  }

  // Decodes the op's points into xy_ unless its box (from the index, or
  // from the points) lies beyond `reach`: a shape of another band or tile
  // costs the painter nothing.
  bool Decodes(PointsMark& mark, const std::optional<std::array<float, 4>>& reach, bool polyline) {
    if (reach && index_) {
      const ReplayIndex::Box& b = index_->BoxOf(mark.number);
      if (b[0] > b[2] || !BoxMeets(*reach, b[0], b[1], b[2], b[3])) return false;
    }
    xy_ = PointsOf(mark, polyline);
    if (!reach || index_) return true;
    const ReplayIndex::Box box = BoxOfPoints(xy_);
    return box[0] <= box[2] && BoxMeets(*reach, box[0], box[1], box[2], box[3]);
  }

  // The box of the points (x, y pairs): empty (left > right) without
  // points, the whole plane when one is not a number.
  static ReplayIndex::Box BoxOfPoints(std::span<const float> xy) {
    if (xy.size() < 2) return {1, 0, 0, 0};
    float loX = xy[0], hiX = xy[0], loY = xy[1], hiY = xy[1];
    for (size_t i = 0; i + 1 < xy.size(); i += 2) {
      if (std::isnan(xy[i]) || std::isnan(xy[i + 1])) {
        constexpr float kFar = std::numeric_limits<float>::infinity();
        return {-kFar, -kFar, kFar, kFar};
      }
      loX = std::min(loX, xy[i]);
      hiX = std::max(hiX, xy[i]);
      loY = std::min(loY, xy[i + 1]);
      hiY = std::max(hiY, xy[i + 1]);
    }
    return {loX, loY, hiX, hiY};
  }

  void Polygon(PointsMark& mark) override {
    if (mark.count == 0 || mark.count > static_cast<uint32_t>(std::numeric_limits<int>::max())) return;
    UseShapePen();
    if (DrawsPixels()) {
      const Reach reach = LoadDevicePoints(mark, false);
      const size_t count = buffer_.size();
      if (reach == Reach::Nowhere) return;
      const bool inside = reach == Reach::Inside;
      if (brush_.style != 1) {
        canvas_->SetColor(ToQRgb(brush_.color));
        if (!canvas_->FillWithin(buffer_.data(), count, box_[0], box_[1], box_[2], box_[3])) {
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
    const std::optional<std::array<float, 4>> reach = StrokeReach();
    if (!Decodes(mark, reach, false)) return;
    if (!LoadPoints(0, xy_.size() / 2) || buffer_.empty()) return;
    // Overlapping parts alternate (even-odd filling).
    painter_.drawPolygon(buffer_.data(), static_cast<int>(buffer_.size()), Qt::OddEvenFill);
  }

  void Text(const TextMark& text) override {
    FlushPixels();
    if (!haveFont_) {
      font_ = MakeFont(text.font, painter_.device());
      haveFont_ = true;
    }
    if (!textPenSet_) {
      // The page has no text colour: text is black whatever the pen.
      painter_.setPen(QPen(Qt::black));
      textPenSet_ = true;
    }
    painter_.setFont(font_.font);
    const QStringList lines = TextLines(text.text);
    double baseline = text.y + font_.ascent;
    for (const QString& line : lines) {
      if (!line.isEmpty()) painter_.drawText(QPointF(text.x, baseline), line);
      baseline += font_.lineSpacing;
    }
  }

  void Cells(CellsMark& cells) override {
    FlushPixels();
    if (cells.CoversNothing() || cells.count > static_cast<uint32_t>(std::numeric_limits<int>::max())) return;
    const double x = cells.x, y = cells.y, width = cells.width, height = cells.cellHeight;
    const int count = static_cast<int>(cells.count);
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
    const std::span<const Color> colors = cells.Colors();
    if (colors.empty()) return;
    QImage image(1, count, QImage::Format_RGB32);
    if (image.isNull()) return;
    // Cells run downwards from y; a negative cell height runs them upwards.
    bool upwards = height < 0;
    for (int k = 0; k < count; ++k) {
      int row = upwards ? count - 1 - k : k;
      reinterpret_cast<QRgb*>(image.scanLine(row))[0] = ToQRgb(colors[static_cast<size_t>(k)]);
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
  const ReplayIndex* index_;
  ReplayIndex* filling_;
  const std::atomic<bool>* stop_;
  std::optional<PixelCanvas> canvas_;
  std::optional<QTransform> deviceWorld_;  // device pixels to the painter's world
  std::optional<QRectF> imageArea_;        // see ImageArea
  double sx_ = 1, sy_ = 1, ox_ = 0, oy_ = 0;  // twips to device pixels
  QRgb penColor_ = qRgb(0, 0, 0);
  BrushState brush_;
  // Twips in one device pixel at the painter's scale.
  double onePixelTwips_ = [this] {
    const double m = std::abs(painter_.deviceTransform().m11());
    return m > 0 && std::isfinite(m) ? 1.0 / m : 0.0;
  }();
  QPen pen_ = MakePen(PenState{}, 0);
  double penPixels_ = 1;  // pen_'s width in device pixels (one for the thinnest)
  bool textPenSet_ = false;
  TextFont font_;
  bool haveFont_ = false;
  std::span<const float> xy_;  // the points of the op being drawn (or of a stretch of it)
  std::vector<PointResume> resumes_;
  std::vector<QPointF> buffer_;
  std::array<double, 4> box_{};  // buffer_'s left, top, right, bottom
  std::vector<QPointF> pageBuffer_;
};

}  // namespace tavelo::replay
