#include "page/page_document.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
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

void PageReaders::Add(PageReader* reader) {
  if (reader && std::find(readers_.begin(), readers_.end(), reader) == readers_.end()) readers_.push_back(reader);
}

void PageReaders::Remove(PageReader* reader) { std::erase(readers_, reader); }

PageDocument::PageDocument() : pageWidth_(kA4WidthTwips), pageHeight_(kA4HeightTwips) {}

void PageDocument::SetPaperSize(double widthTwips, double heightTwips) {
  if (!AllFinite({widthTwips, heightTwips}) || widthTwips <= 0 || heightTwips <= 0) return;
  readers_.StopAll();
  pageWidth_ = widthTwips;
  pageHeight_ = heightTwips;
  boxes_.FollowPaper(widthTwips, heightTwips);
}

void PageDocument::Clear(bool release) {
  bytes_.clear(release);
  opCount_ = 0;
  boxes_.Reset(pageWidth_, pageHeight_, release);
  pointCount_ = 0;
  cellTable_.clear();
  texts_.clear();
  fonts_.clear();
  pens_.clear();
  brushes_.clear();
  if (release) {
    texts_.shrink_to_fit();
    scratch_.clear();
    scratch_.shrink_to_fit();
    listBytes_.clear();
    listBytes_.shrink_to_fit();
  }
  havePen_ = haveBrush_ = haveFont_ = false;
}

void PageDocument::BeginDocument() {
  readers_.StopAll();
  Clear(false);
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
  // Release the memory of a big page: the preview stays empty for a while.
  readers_.StopAll();
  Clear(true);
  open_ = false;
  pageCount_ = 0;
  ++generation_;
}

void PageDocument::PutOp(OpKind kind) {
  bytes_.push(static_cast<uint8_t>(kind));
  ++opCount_;
  // A change of state marks nothing; where a text, a line or cells mark is
  // not kept (they are few on any page).
  if (kind == OpKind::Pen || kind == OpKind::Brush || kind == OpKind::Font) boxes_.AddEmpty();
  else boxes_.AddWhole();
}

void PageDocument::PutPointsOp(OpKind kind, const OpBoxes::Box& box) {
  bytes_.push(static_cast<uint8_t>(kind));
  ++opCount_;
  boxes_.Add(box);
}

void PageDocument::PutVarint(uint64_t v) {
  while (v >= 0x80) {
    bytes_.push(static_cast<uint8_t>(v | 0x80));
    v >>= 7;
  }
  bytes_.push(static_cast<uint8_t>(v));
}

void PageDocument::PutDouble(double v) { bytes_.append(&v, sizeof v); }

void PageDocument::UsePen() {
  if (havePen_ && pens_.back() == pen_) return;
  pens_.push_back(pen_);
  PutOp(OpKind::Pen);
  PutVarint(pens_.size() - 1);
  havePen_ = true;
}

void PageDocument::UseBrush() {
  if (haveBrush_ && brushes_.back() == brush_) return;
  brushes_.push_back(brush_);
  PutOp(OpKind::Brush);
  PutVarint(brushes_.size() - 1);
  haveBrush_ = true;
}

void PageDocument::UseFont() {
  if (haveFont_ && fonts_.back() == font_) return;
  fonts_.push_back(font_);
  PutOp(OpKind::Font);
  PutVarint(fonts_.size() - 1);
  haveFont_ = true;
}

void PageDocument::DrawText(std::string_view utf8) {
  if (!open_ || !AllFinite({textX_, textY_})) return;
  if (opCount_ + 2 > kMaxTableSize || texts_.size() >= kMaxTableSize) return;
  UseFont();
  texts_.emplace_back(utf8);
  PutOp(OpKind::Text);
  PutVarint(texts_.size() - 1);
  PutDouble(textX_);
  PutDouble(textY_);
}

void PageDocument::DrawShape(int shape) {
  // Only the straight line is asked of the page.
  if (shape == 1) DrawLine(shapeX1_, shapeY1_, shapeX2_, shapeY2_);
}

void PageDocument::DrawLine(double x1, double y1, double x2, double y2) {
  if (!open_ || !AllFinite({x1, y1, x2, y2})) return;
  if (opCount_ + 2 > kMaxTableSize) return;
  UsePen();
  PutOp(OpKind::Line);
  for (double v : {x1, y1, x2, y2}) PutDouble(v);
}

namespace {

// Point and cell encodings (the byte after a list's length).
constexpr uint8_t kHalfTwipDeltas = 0;  // zigzag varints of half-twip differences
constexpr uint8_t kRawFloats = 1;       // float pairs as stored in memory
constexpr uint8_t kCellCodes = 0;       // one byte per cell, into the colour table
constexpr uint8_t kRawColors = 1;       // four bytes per cell

// Half twips beyond 2^52 are not all whole numbers of a double's precision
// in sums; such points are stored raw (they lie far off any paper).
constexpr double kMaxHalfTwips = 4503599627370496.0;  // 2^52

inline bool IsHalfTwip(float v) {
  const double h = static_cast<double>(v) * 2;
  if (!(std::fabs(h) <= kMaxHalfTwips)) return false;  // not a number too
  if (v == 0 && std::signbit(v)) return false;         // -0 must come back as written
  return static_cast<double>(static_cast<int64_t>(h)) == h;  // whole: exact in this range
}

uint64_t ZigZag(int64_t v) {
  return (static_cast<uint64_t>(v) << 1) ^ static_cast<uint64_t>(v >> 63);
}
int64_t UnZigZag(uint64_t v) {
  return static_cast<int64_t>(v >> 1) ^ -static_cast<int64_t>(v & 1);
}

constexpr size_t kMaxVarintBytes = 10;

// A varint read in place; the caller makes sure kMaxVarintBytes are there.
inline uint64_t VarintAt(const uint8_t*& p) {
  uint64_t v = *p & 0x7F;
  if (*p++ < 0x80) return v;
  for (int shift = 7; shift < 64; shift += 7) {
    const uint8_t b = *p++;
    v |= static_cast<uint64_t>(b & 0x7F) << shift;
    if (b < 0x80) break;
  }
  return v;
}

// Writes a varint at `out` (room for kMaxVarintBytes) and moves past it.
inline void PutVarintAt(uint8_t*& out, uint64_t v) {
  while (v >= 0x80) {
    *out++ = static_cast<uint8_t>(v | 0x80);
    v >>= 7;
  }
  *out++ = static_cast<uint8_t>(v);
}

template <typename T>
bool PointsUsable(std::span<const T> xy, uint64_t storedPoints, size_t opCount) {
  if (xy.size() < 2) return false;  // nothing to draw
  if (xy.size() / 2 > kMaxTableSize || opCount + 3 > kMaxTableSize) return false;
  if (storedPoints + xy.size() / 2 > std::numeric_limits<uint64_t>::max() / 2) return false;
  for (T v : xy)
    if (!std::isfinite(v)) return false;
  return true;
}

float AsStored(float v) { return v; }
float AsStored(double v) { return StoredFloat(v); }

}  // namespace

template <typename T>
void PageDocument::AddPoints(OpKind kind, std::span<const T> xy) {
  if (!open_) return;
  xy = xy.first(xy.size() & ~size_t{1});  // a lone last x has no y
  if (!PointsUsable(xy, pointCount_, opCount_)) return;
  UsePen();
  if (kind == OpKind::Polygon) UseBrush();

  bool halves = true;
  // The box of the points as stored (and decoded), when the page keeps them.
  OpBoxes::Box box{AsStored(xy[0]), AsStored(xy[1]), AsStored(xy[0]), AsStored(xy[1])};
  if (boxes_.Kept()) {
    for (size_t i = 0; i < xy.size(); i += 2) {
      const float x = AsStored(xy[i]), y = AsStored(xy[i + 1]);
      halves = halves && IsHalfTwip(x) && IsHalfTwip(y);
      box = {std::min(box[0], x), std::min(box[1], y), std::max(box[2], x), std::max(box[3], y)};
    }
  } else {
    for (T v : xy) {
      if (!IsHalfTwip(AsStored(v))) {
        halves = false;
        break;
      }
    }
  }
  // Encoded in place: the room only grows, from list to list.
  const size_t room = xy.size() * kMaxVarintBytes;
  if (listBytes_.size() < room) listBytes_.resize(room);
  uint8_t* const begin = listBytes_.data();
  uint8_t* out = begin;
  if (halves) {
    int64_t lastX = 0, lastY = 0;
    for (size_t i = 0; i < xy.size(); i += 2) {
      const auto hx = static_cast<int64_t>(static_cast<double>(AsStored(xy[i])) * 2);
      const auto hy = static_cast<int64_t>(static_cast<double>(AsStored(xy[i + 1])) * 2);
      PutVarintAt(out, ZigZag(hx - lastX));
      PutVarintAt(out, ZigZag(hy - lastY));
      lastX = hx;
      lastY = hy;
    }
  } else {
    for (size_t i = 0; i < xy.size(); ++i) {
      const float f = AsStored(xy[i]);
      std::memcpy(out, &f, sizeof f);
      out += sizeof f;
    }
  }
  const auto used = static_cast<size_t>(out - begin);
  PutPointsOp(kind, box);
  PutVarint(xy.size() / 2);
  PutVarint(used + 1);
  bytes_.push(halves ? kHalfTwipDeltas : kRawFloats);
  bytes_.append(begin, used);
  pointCount_ += xy.size() / 2;
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
  if (colors.size() > kMaxTableSize || opCount_ + 1 > kMaxTableSize) return;
  // A section has a few dozen colours at most: one byte a cell. A column
  // that would need a 257th colour keeps its colours whole.
  scratch_.resize(colors.size());
  bool coded = true;
  size_t last = 0;
  for (size_t i = 0; i < colors.size(); ++i) {
    const Color c = colors[i];
    if (last < cellTable_.size() && cellTable_[last] == c) {
      scratch_[i] = static_cast<uint8_t>(last);
      continue;
    }
    auto it = std::find(cellTable_.begin(), cellTable_.end(), c);
    if (it == cellTable_.end()) {
      if (cellTable_.size() == 256) {
        coded = false;
        break;
      }
      cellTable_.push_back(c);
      it = cellTable_.end() - 1;
    }
    last = static_cast<size_t>(it - cellTable_.begin());
    scratch_[i] = static_cast<uint8_t>(last);
  }
  PutOp(OpKind::Cells);
  for (double v : {x, y, width, cellHeight}) PutDouble(v);
  PutVarint(colors.size());
  if (coded) {
    PutVarint(colors.size() + 1);
    bytes_.push(kCellCodes);
    bytes_.append(scratch_.data(), colors.size());
  } else {
    PutVarint(colors.size() * sizeof(Color) + 1);
    bytes_.push(kRawColors);
    bytes_.append(colors.data(), colors.size() * sizeof(Color));
  }
}

namespace {

// Decodes `points` points of half-twip differences from `in` into xy (x and
// y alternate), the running position in hx, hy.
void DecodeDeltas(ByteCursor& in, int64_t& hx, int64_t& hy, float* xy, size_t points) {
  const size_t size = points * 2;
  size_t i = 0;
  while (i < size) {
    // Points whose bytes surely lie in this block are decoded straight
    // from it (a point takes at most two ten-byte varints); the last few
    // of a block go through the cursor.
    const size_t inPlace = std::min((size - i) / 2, in.Available() / (2 * kMaxVarintBytes));
    if (inPlace > 0) {
      const uint8_t* start = in.Here();
      const uint8_t* p = start;
      for (const size_t stop = i + 2 * inPlace; i < stop; i += 2) {
        hx += UnZigZag(VarintAt(p));
        hy += UnZigZag(VarintAt(p));
        xy[i] = static_cast<float>(static_cast<double>(hx) * 0.5);
        xy[i + 1] = static_cast<float>(static_cast<double>(hy) * 0.5);
      }
      in.Advance(static_cast<size_t>(p - start));
      continue;
    }
    hx += UnZigZag(in.Varint());
    hy += UnZigZag(in.Varint());
    xy[i] = static_cast<float>(static_cast<double>(hx) * 0.5);
    xy[i + 1] = static_cast<float>(static_cast<double>(hy) * 0.5);
    i += 2;
  }
}

bool HoldsPoints(const PageOp& op, uint64_t recorded) {
  return (op.kind == OpKind::Polyline || op.kind == OpKind::Polygon) && op.count > 0 && op.data < recorded;
}

}  // namespace

void PageDocument::PointsOf(const PageOp& op, std::vector<float>& xy) const {
  if (!HoldsPoints(op, bytes_.size())) {
    xy.clear();
    return;
  }
  ByteCursor in(bytes_, op.data);
  const uint8_t encoding = in.Next();
  xy.resize(size_t{op.count} * 2);  // every value is written below
  if (encoding == kHalfTwipDeltas) {
    int64_t hx = 0, hy = 0;
    DecodeDeltas(in, hx, hy, xy.data(), op.count);
  } else {
    in.Read(xy.data(), xy.size() * sizeof(float));
  }
}

void PageDocument::PointsOf(const PageOp& op, std::vector<float>& xy, uint32_t every,
                            std::vector<PointResume>& resumes) const {
  resumes.clear();
  xy.clear();
  if (!HoldsPoints(op, bytes_.size()) || every == 0) return;
  ByteCursor in(bytes_, op.data);
  const uint8_t encoding = in.Next();
  xy.resize(size_t{op.count} * 2);
  resumes.reserve(op.count / every + 1);
  int64_t hx = 0, hy = 0;
  uint32_t point = 0;
  while (point < op.count) {
    const uint32_t n = std::min(every, op.count - point);
    resumes.push_back({in.Position(), point, hx, hy});
    float* out = xy.data() + size_t{point} * 2;
    if (encoding == kHalfTwipDeltas) DecodeDeltas(in, hx, hy, out, n);
    else in.Read(out, size_t{n} * 2 * sizeof(float));
    point += n;
  }
}

void PageDocument::PointsFrom(const PageOp& op, const PointResume& at, uint32_t count,
                              std::vector<float>& xy) const {
  xy.clear();
  if (!HoldsPoints(op, bytes_.size()) || at.point >= op.count || at.data <= op.data || at.data >= bytes_.size())
    return;
  const uint32_t n = std::min(count, op.count - at.point);
  ByteCursor in(bytes_, op.data);
  const uint8_t encoding = in.Next();
  ByteCursor from(bytes_, at.data);
  xy.resize(size_t{n} * 2);
  if (encoding == kHalfTwipDeltas) {
    int64_t hx = at.hx, hy = at.hy;
    DecodeDeltas(from, hx, hy, xy.data(), n);
  } else {
    from.Read(xy.data(), xy.size() * sizeof(float));
  }
}

std::vector<float> PageDocument::PointsOf(const PageOp& op) const {
  std::vector<float> xy;
  PointsOf(op, xy);
  return xy;
}

void PageDocument::CellColorsOf(const PageOp& op, std::vector<Color>& colors) const {
  colors.clear();
  if (op.kind != OpKind::Cells || op.count == 0 || op.data >= bytes_.size()) return;
  ByteCursor in(bytes_, op.data);
  const uint8_t encoding = in.Next();
  colors.resize(op.count);
  if (encoding == kCellCodes) {
    for (Color& c : colors) {
      const uint8_t code = in.Next();
      c = code < cellTable_.size() ? cellTable_[code] : 0;
    }
  } else {
    in.Read(colors.data(), colors.size() * sizeof(Color));
  }
}

std::vector<Color> PageDocument::CellColorsOf(const PageOp& op) const {
  std::vector<Color> colors;
  CellColorsOf(op, colors);
  return colors;
}

std::vector<PageOp> CollectOps(const PageDocument& page) {
  std::vector<PageOp> ops;
  ops.reserve(page.ops().size());
  for (const PageOp& op : page.ops()) ops.push_back(op);
  return ops;
}

// ---------------------------------------------------------------- bytes

void ByteBlocks::clear(bool release) {
  size_ = 0;
  if (release) {
    blocks_.clear();
    blocks_.shrink_to_fit();
    capacity_ = 0;
  } else if (blocks_.size() > 1) {
    // Keep one block for the next page; a big page gives the rest back.
    blocks_.resize(1);
    capacity_ = kBlockBytes;
  }
}

void ByteBlocks::Grow() {
  blocks_.push_back(std::make_unique_for_overwrite<uint8_t[]>(kBlockBytes));
  capacity_ += kBlockBytes;
}

void ByteBlocks::append(const void* bytes, size_t count) {
  const auto* p = static_cast<const uint8_t*>(bytes);
  while (count > 0) {
    if (size_ == capacity_) Grow();
    const size_t offset = size_ % kBlockBytes;
    const size_t n = std::min<uint64_t>(count, kBlockBytes - offset);
    std::memcpy(blocks_[size_ / kBlockBytes].get() + offset, p, n);
    p += n;
    count -= n;
    size_ += n;
  }
}

void ByteCursor::Seek(uint64_t pos) {
  pos_ = pos;
  p_ = end_ = nullptr;
  if (!bytes_ || pos >= bytes_->size()) return;
  const size_t block = pos / ByteBlocks::kBlockBytes;
  const uint8_t* base = bytes_->block(block);
  p_ = base + pos % ByteBlocks::kBlockBytes;
  end_ = base + std::min<uint64_t>(ByteBlocks::kBlockBytes,
                                   bytes_->size() - block * ByteBlocks::kBlockBytes);
}

void ByteCursor::Refill() {
  Seek(pos_);
  // Past the end the page was cut short: read zeros rather than stray memory.
  if (p_ == end_) {
    static const uint8_t kZero = 0;
    p_ = &kZero;
    end_ = p_ + 1;
  }
}

uint64_t ByteCursor::Varint() {
  uint64_t v = 0;
  for (int shift = 0; shift < 64; shift += 7) {
    const uint8_t b = Next();
    v |= static_cast<uint64_t>(b & 0x7F) << shift;
    if (!(b & 0x80)) break;
  }
  return v;
}

double ByteCursor::Double() {
  double v;
  Read(&v, sizeof v);
  return v;
}

void ByteCursor::Read(void* out, size_t count) {
  auto* o = static_cast<uint8_t*>(out);
  while (count > 0) {
    if (p_ == end_) Refill();
    const size_t n = std::min<size_t>(count, static_cast<size_t>(end_ - p_));
    std::memcpy(o, p_, n);
    o += n;
    p_ += n;
    pos_ += n;
    count -= n;
  }
}

void OpList::iterator::Decode() {
  if (cursor_.AtEnd()) {
    done_ = true;
    return;
  }
  op_ = PageOp{};
  start_ = cursor_.Position();
  op_.kind = static_cast<OpKind>(cursor_.Next());
  switch (op_.kind) {
    case OpKind::Font:
    case OpKind::Pen:
    case OpKind::Brush:
      op_.index = static_cast<uint32_t>(cursor_.Varint());
      break;
    case OpKind::Text:
      op_.index = static_cast<uint32_t>(cursor_.Varint());
      op_.x = cursor_.Double();
      op_.y = cursor_.Double();
      break;
    case OpKind::Line:
      op_.x = cursor_.Double();
      op_.y = cursor_.Double();
      op_.x2 = cursor_.Double();
      op_.y2 = cursor_.Double();
      break;
    case OpKind::Cells:
      op_.x = cursor_.Double();
      op_.y = cursor_.Double();
      op_.x2 = cursor_.Double();
      op_.y2 = cursor_.Double();
      [[fallthrough]];
    case OpKind::Polyline:
    case OpKind::Polygon: {
      op_.count = static_cast<uint32_t>(cursor_.Varint());
      const uint64_t bytes = cursor_.Varint();
      op_.data = cursor_.Position();
      cursor_.Skip(bytes);
      break;
    }
  }
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
