#include "page/page_document.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "common/numeric.h"

namespace tavelo {

namespace {

// A4 portrait, 210 x 297 mm, in whole twips.
constexpr double kA4WidthTwips = 11906;
constexpr double kA4HeightTwips = 16838;

// Op indexes and counts are 32-bit; a page that would outgrow them stops
// recording instead of wrapping around.
constexpr size_t kMaxTableSize = std::numeric_limits<uint32_t>::max();

bool AllFinite(std::initializer_list<double> values) {
  for (double v : values)
    if (!std::isfinite(v)) return false;
  return true;
}

// Converting a double beyond float's range is undefined, so clamp first.
// Such coordinates lie far off any paper anyway.
float StoredFloat(double v) {
  constexpr double kMax = std::numeric_limits<float>::max();
  if (v > kMax) return std::numeric_limits<float>::max();
  if (v < -kMax) return -std::numeric_limits<float>::max();
  return static_cast<float>(v);
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

PageDocument::PageDocument() : pageWidth_(kA4WidthTwips), pageHeight_(kA4HeightTwips) {}

void PageDocument::SetPaperSize(double widthTwips, double heightTwips) {
  if (!AllFinite({widthTwips, heightTwips}) || widthTwips <= 0 || heightTwips <= 0) return;
  pageWidth_ = widthTwips;
  pageHeight_ = heightTwips;
}

void PageDocument::BeginDocument() {
  ops_.clear();
  points_.clear();
  cellColors_.clear();
  texts_.clear();
  fonts_.clear();
  pens_.clear();
  brushes_.clear();
  havePen_ = haveBrush_ = haveFont_ = false;
  open_ = true;
  pageCount_ = 0;
  ++generation_;
}

void PageDocument::EndDocument() {
  if (open_) {
    open_ = false;
    pageCount_ = 1;
  }
  ++generation_;
}

void PageDocument::DiscardDocument() {
  ops_.clear();
  points_.clear();
  cellColors_.clear();
  texts_.clear();
  fonts_.clear();
  pens_.clear();
  brushes_.clear();
  // Release the memory of a big page: the preview stays empty for a while.
  ops_.shrink_to_fit();
  points_.shrink_to_fit();
  cellColors_.shrink_to_fit();
  havePen_ = haveBrush_ = haveFont_ = false;
  open_ = false;
  pageCount_ = 0;
  ++generation_;
}

void PageDocument::UsePen() {
  if (havePen_ && pens_.back() == pen_) return;
  pens_.push_back(pen_);
  ops_.push_back({OpKind::Pen, static_cast<uint32_t>(pens_.size() - 1)});
  havePen_ = true;
}

void PageDocument::UseBrush() {
  if (haveBrush_ && brushes_.back() == brush_) return;
  brushes_.push_back(brush_);
  ops_.push_back({OpKind::Brush, static_cast<uint32_t>(brushes_.size() - 1)});
  haveBrush_ = true;
}

void PageDocument::UseFont() {
  if (haveFont_ && fonts_.back() == font_) return;
  fonts_.push_back(font_);
  ops_.push_back({OpKind::Font, static_cast<uint32_t>(fonts_.size() - 1)});
  haveFont_ = true;
}

void PageDocument::DrawText(std::string_view utf8) {
  if (!open_ || !AllFinite({textX_, textY_})) return;
  if (ops_.size() + 2 > kMaxTableSize || texts_.size() >= kMaxTableSize) return;
  UseFont();
  texts_.emplace_back(utf8);
  PageOp op{OpKind::Text, static_cast<uint32_t>(texts_.size() - 1)};
  op.x = textX_;
  op.y = textY_;
  ops_.push_back(op);
}

void PageDocument::DrawShape(int shape) {
  // Only the straight line is asked of the page.
  if (shape == 1) DrawLine(shapeX1_, shapeY1_, shapeX2_, shapeY2_);
}

void PageDocument::DrawLine(double x1, double y1, double x2, double y2) {
  if (!open_ || !AllFinite({x1, y1, x2, y2})) return;
  if (ops_.size() + 2 > kMaxTableSize) return;
  UsePen();
  PageOp op{OpKind::Line};
  op.x = x1;
  op.y = y1;
  op.x2 = x2;
  op.y2 = y2;
  ops_.push_back(op);
}

namespace {

template <typename T>
bool PointsUsable(std::span<const T> xy, size_t storedFloats, size_t opCount) {
  if (xy.size() < 2) return false;  // nothing to draw
  if (storedFloats + xy.size() > kMaxTableSize || opCount + 3 > kMaxTableSize) return false;
  for (T v : xy)
    if (!std::isfinite(v)) return false;
  return true;
}

}  // namespace

void PageDocument::AddPoints(OpKind kind, std::span<const double> xy) {
  if (!open_) return;
  xy = xy.first(xy.size() & ~size_t{1});  // a lone last x has no y
  if (!PointsUsable(xy, points_.size(), ops_.size())) return;
  UsePen();
  if (kind == OpKind::Polygon) UseBrush();
  PageOp op{kind, static_cast<uint32_t>(points_.size()), static_cast<uint32_t>(xy.size() / 2)};
  points_.reserve(points_.size() + xy.size());
  for (double v : xy) points_.push_back(StoredFloat(v));
  ops_.push_back(op);
}

void PageDocument::AddPoints(OpKind kind, std::span<const float> xy) {
  if (!open_) return;
  xy = xy.first(xy.size() & ~size_t{1});
  if (!PointsUsable(xy, points_.size(), ops_.size())) return;
  UsePen();
  if (kind == OpKind::Polygon) UseBrush();
  PageOp op{kind, static_cast<uint32_t>(points_.size()), static_cast<uint32_t>(xy.size() / 2)};
  points_.insert(points_.end(), xy.begin(), xy.end());
  ops_.push_back(op);
}

void PageDocument::AddPointText(OpKind kind, std::string_view points) {
  if (!open_) return;
  std::vector<double> xy = ParsePointText(points);
  AddPoints(kind, std::span<const double>(xy));
}

void PageDocument::DrawPolyline(std::span<const double> xy) { AddPoints(OpKind::Polyline, xy); }
void PageDocument::DrawPolygon(std::span<const double> xy) { AddPoints(OpKind::Polygon, xy); }
void PageDocument::DrawPolyline(std::span<const float> xy) { AddPoints(OpKind::Polyline, xy); }
void PageDocument::DrawPolygon(std::span<const float> xy) { AddPoints(OpKind::Polygon, xy); }
void PageDocument::DrawPolylineText(std::string_view points) {
  AddPointText(OpKind::Polyline, points);
}
void PageDocument::DrawPolygonText(std::string_view points) {
  AddPointText(OpKind::Polygon, points);
}

void PageDocument::DrawCells(double x, double y, double width, double cellHeight,
                             std::span<const Color> colors) {
  if (!open_ || colors.empty() || !AllFinite({x, y, width, cellHeight})) return;
  if (cellColors_.size() + colors.size() > kMaxTableSize || ops_.size() + 1 > kMaxTableSize)
    return;
  PageOp op{OpKind::Cells, static_cast<uint32_t>(cellColors_.size()),
            static_cast<uint32_t>(colors.size())};
  op.x = x;
  op.y = y;
  op.x2 = width;
  op.y2 = cellHeight;
  cellColors_.insert(cellColors_.end(), colors.begin(), colors.end());
  ops_.push_back(op);
}

std::vector<double> ParsePointText(std::string_view text) {
  std::vector<double> numbers;
  size_t i = 0;
  const size_t n = text.size();
  while (true) {
    while (i < n && IsBlank(text[i])) ++i;
    if (i >= n) break;
    // One number: optional sign, digits with an optional point, optional
    // exponent. A minus sign right after a number starts the next one.
    bool negative = false;
    if (text[i] == '-' || text[i] == '+') {
      negative = text[i] == '-';
      ++i;
    }
    size_t body = i;
    size_t digits = 0;
    while (i < n && IsDigit(text[i])) ++i, ++digits;
    if (i < n && text[i] == '.') {
      ++i;
      while (i < n && IsDigit(text[i])) ++i, ++digits;
    }
    if (digits == 0) break;  // garbage: keep what was read so far
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
      size_t e = i + 1;
      if (e < n && (text[e] == '-' || text[e] == '+')) ++e;
      if (e < n && IsDigit(text[e])) {
        while (e < n && IsDigit(text[e])) ++e;
        i = e;
      }
    }
    double value = 0;
    auto [end, ec] = std::from_chars(text.data() + body, text.data() + i, value);
    if (ec != std::errc() || end != text.data() + i || !std::isfinite(value)) break;
    numbers.push_back(negative ? -value : value);
    // A number must be followed by a blank, a sign or the end.
    if (i < n && !IsBlank(text[i]) && text[i] != '-' && text[i] != '+') break;
  }
  if (numbers.size() % 2 != 0) numbers.pop_back();
  return numbers;
}

void AppendPointText(std::string& text, double value) {
  if (!(value < 0)) text += ' ';
  text += ShortestText(value);
}

}  // namespace tavelo
