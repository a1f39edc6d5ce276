#include "page/page_replay.h"

#include <algorithm>
#include <cmath>

namespace tavelo {

std::span<const float> PointsMark::Points() {
  if (!decoded_) {
    page_.PointsOf(op_, buffer_);
    decoded_ = true;
  }
  return buffer_;
}

std::span<const float> PointsMark::Points(uint32_t every, std::vector<PointResume>& resumes) {
  page_.PointsOf(op_, buffer_, every, resumes);
  decoded_ = true;
  return buffer_;
}

std::span<const float> PointsMark::Stretch(const PointResume& at, uint32_t points) {
  page_.PointsFrom(op_, at, points, buffer_);
  decoded_ = false;  // the buffer no longer holds the whole list
  return buffer_;
}

bool CellsMark::CoversNothing() const {
  return count == 0 || width == 0 || cellHeight == 0 || !std::isfinite(x) || !std::isfinite(y) ||
         !std::isfinite(width) || !std::isfinite(cellHeight);
}

std::span<const Color> CellsMark::Colors() {
  if (!decoded_) {
    page_.CellColorsOf(op_, buffer_);
    if (buffer_.size() != count) buffer_.clear();
    decoded_ = true;
  }
  return buffer_;
}

namespace {

// A pen's width as the back ends draw it: not a number or negative is the
// thinnest line.
double DrawnWidth(const PenState& pen) { return std::isfinite(pen.width) && pen.width > 0 ? pen.width : 0; }

}  // namespace

bool Replay(const PageDocument& page, PageSink& sink, const ReplayRuns* use, ReplayRuns* fill) {
  const auto& fonts = page.fonts();
  const auto& pens = page.pens();
  const auto& brushes = page.brushes();
  const auto& texts = page.texts();
  const FontState defaultFont;
  const FontState* font = &defaultFont;
  std::vector<float> points;
  std::vector<Color> colors;
  const OpList ops = page.ops();
  const size_t total = ops.size();
  // Runs are filled by a replay that visits every op.
  if (fill || (use && !use->Covers(total))) use = nullptr;
  if (fill) fill->Clear();
  double penWidth = DrawnWidth(PenState{});
  ReplayRuns::Run* filling = nullptr;
  size_t number = 0;
  for (auto it = ops.begin(); it != ops.end();) {
    if (number % ReplayRuns::kOps == 0) {
      const size_t run = number / ReplayRuns::kOps;
      if (fill) {
        fill->runs_.push_back(ReplayRuns::Run{it.Offset(), -1, -1, -1, penWidth});
        filling = &fill->runs_.back();
      }
      // Runs passed over one after another: the ops are looked at again
      // only where the sink wants them (a cold page costs a cache miss a
      // run otherwise).
      bool passed = false;
      for (size_t r = run; use && r < use->size(); ++r) {
        const size_t count = std::min(ReplayRuns::kOps, total - number);
        if (!sink.PassesOver(number, count, (*use)[r].widestPen)) break;
        const ReplayRuns::Run& leaves = (*use)[r];
        if (leaves.font >= 0) {
          font = &fonts[static_cast<size_t>(leaves.font)];
          sink.Font(*font);
        }
        if (leaves.pen >= 0) {
          sink.Pen(pens[static_cast<size_t>(leaves.pen)]);
          penWidth = DrawnWidth(pens[static_cast<size_t>(leaves.pen)]);
        }
        if (leaves.brush >= 0) sink.Brush(brushes[static_cast<size_t>(leaves.brush)]);
        number += count;
        passed = true;
      }
      if (passed) {
        if (number >= total) break;
        it = ops.At((*use)[number / ReplayRuns::kOps].offset);
        if (it == ops.end()) break;
      }
    }
    const PageOp& op = *it;
    switch (op.kind) {
      case OpKind::Font:
        if (op.index < fonts.size()) {
          font = &fonts[op.index];
          sink.Font(*font);
          if (filling) filling->font = op.index;
        }
        break;
      case OpKind::Pen:
        if (op.index < pens.size()) {
          sink.Pen(pens[op.index]);
          penWidth = DrawnWidth(pens[op.index]);
          if (filling) {
            filling->pen = op.index;
            filling->widestPen = std::max(filling->widestPen, penWidth);
          }
        }
        break;
      case OpKind::Brush:
        if (op.index < brushes.size()) {
          sink.Brush(brushes[op.index]);
          if (filling) filling->brush = op.index;
        }
        break;
      case OpKind::Text:
        if (op.index < texts.size()) sink.Text(TextMark{number, op.x, op.y, texts[op.index], *font});
        break;
      case OpKind::Line: sink.Line(LineMark{number, op.x, op.y, op.x2, op.y2}); break;
      case OpKind::Polyline: {
        PointsMark mark(page, op, number, points);
        sink.Polyline(mark);
        break;
      }
      case OpKind::Polygon: {
        PointsMark mark(page, op, number, points);
        sink.Polygon(mark);
        break;
      }
      case OpKind::Cells: {
        CellsMark mark(page, op, number, colors);
        sink.Cells(mark);
        break;
      }
    }
    ++number;
    if (!sink.OpDone()) return false;
    ++it;
  }
  // Only a replay that saw every op leaves runs a later one may trust.
  if (fill) fill->complete_ = number == total;
  return true;
}

}  // namespace tavelo
