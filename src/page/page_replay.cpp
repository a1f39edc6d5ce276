#include "page/page_replay.h"

#include <cmath>

namespace tavelo {

std::span<const float> PointsMark::Points() {
  if (!decoded_) {
    page_.PointsOf(op_, buffer_);
    decoded_ = true;
  }
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

bool Replay(const PageDocument& page, PageSink& sink) {
  const auto& fonts = page.fonts();
  const auto& pens = page.pens();
  const auto& brushes = page.brushes();
  const auto& texts = page.texts();
  const FontState defaultFont;
  const FontState* font = &defaultFont;
  std::vector<float> points;
  std::vector<Color> colors;
  size_t number = 0;
  for (const PageOp& op : page.ops()) {
    switch (op.kind) {
      case OpKind::Font:
        if (op.index < fonts.size()) {
          font = &fonts[op.index];
          sink.Font(*font);
        }
        break;
      case OpKind::Pen:
        if (op.index < pens.size()) sink.Pen(pens[op.index]);
        break;
      case OpKind::Brush:
        if (op.index < brushes.size()) sink.Brush(brushes[op.index]);
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
  }
  return true;
}

}  // namespace tavelo
