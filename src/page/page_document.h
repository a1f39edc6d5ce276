#pragma once
// The page document: one page composed as a display list in twips from the
// paper's top-left corner (1440 per inch, 56.7 per millimetre). Drawing
// calls record operations; back ends (QPainter replay, metafile writer, text
// dump, fast PDF writer) replay them. Nothing draws straight to a device.
//
// Coordinates are kept as given (a 5 mm margin is 283.5 twips). The list is
// one byte stream in fixed-size blocks: a point list whose coordinates are
// whole or half twips (all a page builder makes) is stored as variable-length
// differences of half twips, two or three bytes a point instead of eight,
// other lists as float pairs (exact for halves up to 8 million twips); cell
// colours as one byte each from a page-wide colour table. A 10,000-trace
// section thus fits a fraction of its SU file, and the blocks never move, so
// the page grows without copying.

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/units.h"
#include "page/op_boxes.h"

namespace tavelo {

using Color = int32_t;  // red + 256 * green + 65536 * blue

struct FontState {
  std::string name = "Arial";
  double size = 10;  // points
  bool bold = false;
  bool operator==(const FontState&) const = default;
};
struct PenState {
  Color color = 0;
  double width = 0;  // twips; 0 = thinnest line the device draws
  bool operator==(const PenState&) const = default;
};
struct BrushState {
  Color color = 0;
  int style = 0;  // 0 solid, 1 no fill
  bool operator==(const BrushState&) const = default;
};

enum class OpKind : uint8_t { Font, Pen, Brush, Text, Line, Polyline, Polygon, Cells };

// One recorded operation, as the page's op list hands it out. State
// operations (Font, Pen, Brush) are recorded just before the first drawing
// operation that uses a changed state, so the list holds only the state
// changes that matter.
struct PageOp {
  OpKind kind = OpKind::Line;
  uint32_t index = 0;  // Font/Pen/Brush/Text: index into the matching table
  uint32_t count = 0;  // Polyline/Polygon: number of points; Cells: number of cells
  double x = 0, y = 0, x2 = 0, y2 = 0;  // Text: x, y; Line: both ends;
                                        // Cells: x, y, width, cell height
  uint64_t data = 0;  // Polyline/Polygon/Cells: where the points or colours
                      // lie (PageDocument::PointsOf, CellColorsOf)
};

// Where the decoding of an op's points can start again part of the way
// through: point number `point`, whose bytes begin at `data`, the running
// position (half twips) before it at hx, hy. Noted by PointsOf, used by
// PointsFrom, so a replay of a strip across a long trace decodes only the
// stretch of it that the strip crosses.
struct PointResume {
  uint64_t data = 0;
  uint32_t point = 0;
  int64_t hx = 0, hy = 0;
};

// The recorded bytes: fixed-size blocks that never move once written.
class ByteBlocks {
 public:
  static constexpr size_t kBlockBytes = size_t{1} << 20;
  uint64_t size() const { return size_; }
  void clear(bool release);
  void push(uint8_t b) {
    if (size_ == capacity_) Grow();
    blocks_[size_ / kBlockBytes][size_ % kBlockBytes] = b;
    ++size_;
  }
  void append(const void* bytes, size_t count);
  uint8_t at(uint64_t pos) const { return blocks_[pos / kBlockBytes][pos % kBlockBytes]; }
  const uint8_t* block(size_t i) const { return blocks_[i].get(); }
  size_t blockCount() const { return blocks_.size(); }

 private:
  void Grow();
  std::vector<std::unique_ptr<uint8_t[]>> blocks_;
  uint64_t size_ = 0;
  uint64_t capacity_ = 0;
};

// Sequential reader of the recorded bytes.
class ByteCursor {
 public:
  ByteCursor() = default;
  ByteCursor(const ByteBlocks& bytes, uint64_t pos) : bytes_(&bytes) { Seek(pos); }
  uint64_t Position() const { return pos_; }
  bool AtEnd() const { return pos_ >= bytes_->size(); }
  uint8_t Next() {
    if (p_ == end_) Refill();
    ++pos_;
    return *p_++;
  }
  uint64_t Varint();
  double Double();
  void Read(void* out, size_t count);
  void Skip(uint64_t count) { Seek(pos_ + count); }
  // The bytes readable in place from here (to the end of the block, or of
  // the page), for decoders that read many values at once; Advance moves
  // past what they used (at most `Available()` bytes).
  const uint8_t* Here() const { return p_; }
  size_t Available() const { return static_cast<size_t>(end_ - p_); }
  void Advance(size_t count) {
    p_ += count;
    pos_ += count;
  }

 private:
  void Seek(uint64_t pos);
  void Refill();
  const ByteBlocks* bytes_ = nullptr;
  uint64_t pos_ = 0;
  const uint8_t* p_ = nullptr;
  const uint8_t* end_ = nullptr;
};

class PageDocument;

// The operations of a page in order, decoded one at a time.
class OpList {
 public:
  class iterator {
   public:
    using iterator_category = std::input_iterator_tag;
    using value_type = PageOp;
    using difference_type = std::ptrdiff_t;
    using pointer = const PageOp*;
    using reference = const PageOp&;
    iterator() = default;
    const PageOp& operator*() const { return op_; }
    const PageOp* operator->() const { return &op_; }
    iterator& operator++() {
      Decode();
      return *this;
    }
    void operator++(int) { Decode(); }
    bool operator==(const iterator& other) const { return done_ == other.done_; }
    // Where the current op's record begins in the page's bytes (for At).
    uint64_t Offset() const { return start_; }

   private:
    friend class OpList;
    iterator(const ByteBlocks& bytes, uint64_t offset) : cursor_(bytes, offset), done_(false) { Decode(); }
    void Decode();
    ByteCursor cursor_;
    PageOp op_;
    uint64_t start_ = 0;
    bool done_ = true;
  };

  explicit OpList(const ByteBlocks& bytes, size_t count) : bytes_(bytes), count_(count) {}
  iterator begin() const { return count_ ? iterator(bytes_, 0) : iterator(); }
  iterator end() const { return iterator(); }
  // The ops from the one whose record begins at `offset` (an Offset() of
  // this list); end() beyond the last.
  iterator At(uint64_t offset) const { return count_ && offset < bytes_.size() ? iterator(bytes_, offset) : iterator(); }
  size_t size() const { return count_; }
  bool empty() const { return count_ == 0; }

 private:
  const ByteBlocks& bytes_;
  size_t count_;
};

// Something that reads a page on a thread of its own (the preview drawing
// its tiles in the background): the page asks it to stop before it
// changes or goes away.
class PageReader {
 public:
  // Returns once no thread of the reader reads the page.
  virtual void StopReading() = 0;

 protected:
  ~PageReader() = default;
};

// The readers of one page. They stay with it: a copy of the page, or the
// page it is moved into, starts without them.
class PageReaders {
 public:
  PageReaders() = default;
  PageReaders(const PageReaders&) {}
  PageReaders& operator=(const PageReaders&) {
    StopAll();
    return *this;
  }
  ~PageReaders() { StopAll(); }
  void Add(PageReader* reader);
  void Remove(PageReader* reader);
  void StopAll() const {
    for (PageReader* reader : readers_) reader->StopReading();
  }

 private:
  std::vector<PageReader*> readers_;
};

class PageDocument {
 public:
  PageDocument();

  // Readers on other threads, stopped before the recorded page or its paper
  // changes (BeginDocument, DiscardDocument, SetPaperSize) and before the
  // page goes. Called on the thread that changes the page.
  void AddReader(PageReader* reader) const { readers_.Add(reader); }
  void RemoveReader(PageReader* reader) const { readers_.Remove(reader); }

  // Paper and margins (twips). A4 portrait with one-inch margins at first.
  double PageWidth() const { return pageWidth_; }
  double PageHeight() const { return pageHeight_; }
  void SetPaperSize(double widthTwips, double heightTwips);
  double LeftMargin() const { return leftMargin_; }
  void SetLeftMargin(double twips) { leftMargin_ = twips; }
  double TopMargin() const { return topMargin_; }
  void SetTopMargin(double twips) { topMargin_ = twips; }
  double RightMargin() const { return rightMargin_; }
  void SetRightMargin(double twips) { rightMargin_ = twips; }
  double BottomMargin() const { return bottomMargin_; }
  void SetBottomMargin(double twips) { bottomMargin_ = twips; }

  std::string PrinterName() const { return printerName_; }
  void SetPrinterName(std::string name) { printerName_ = std::move(name); }

  // Document life: BeginDocument drops the old page and starts a new one;
  // EndDocument closes it (the preview shows it); DiscardDocument right
  // after BeginDocument leaves the preview empty.
  void BeginDocument();
  void EndDocument();
  void DiscardDocument();
  bool IsOpen() const { return open_; }
  // 1 once a begun document has ended (and not been discarded), else 0.
  int PageCount() const { return pageCount_; }
  // Bumped by every BeginDocument/EndDocument/DiscardDocument: views repaint.
  uint64_t Generation() const { return generation_; }

  // Drawing state, kept until changed.
  void SetFontName(std::string name) { font_.name = std::move(name); }
  void SetFontSize(double points) { font_.size = points; }
  void SetFontBold(bool bold) { font_.bold = bold; }
  void SetPenColor(Color c) { pen_.color = c; }
  void SetPenWidth(double twips) { pen_.width = twips; }
  void SetBrushColor(Color c) { brush_.color = c; }
  void SetBrushStyle(int style) { brush_.style = style; }
  const FontState& font() const { return font_; }
  const PenState& pen() const { return pen_; }
  const BrushState& brush() const { return brush_; }

  // Text anchored at its top-left corner; line breaks start new lines.
  // The text alignment is always 0 (text starts at the position).
  void SetTextX(double x) { textX_ = x; }
  void SetTextY(double y) { textY_ = y; }
  double TextX() const { return textX_; }
  double TextY() const { return textY_; }
  void SetTextAlign(int) {}
  void DrawText(std::string_view utf8);

  // Shapes: DrawShape(1) draws a straight line between the two end points.
  void SetShapeX1(double v) { shapeX1_ = v; }
  void SetShapeY1(double v) { shapeY1_ = v; }
  void SetShapeX2(double v) { shapeX2_ = v; }
  void SetShapeY2(double v) { shapeY2_ = v; }
  void DrawShape(int shape);
  void DrawLine(double x1, double y1, double x2, double y2);

  // Point lists: x and y alternate; a lone last number is dropped. A list
  // without a point, or with a coordinate that is not finite, draws nothing;
  // coordinates beyond float range are clamped.
  void DrawPolyline(std::span<const double> xy);
  void DrawPolygon(std::span<const double> xy);
  void DrawPolyline(std::span<const float> xy);
  void DrawPolygon(std::span<const float> xy);
  // Point-list text (" 100 200-5 300"), as callers that build text lists pass it.
  void DrawPolylineText(std::string_view points);
  void DrawPolygonText(std::string_view points);

  // A column of amplitude cells: cell k (from 1) covers x .. x + width and
  // y + (k-1) * cellHeight .. y + k * cellHeight, painted with colors[k-1].
  void DrawCells(double x, double y, double width, double cellHeight,
                 std::span<const Color> colors);

  // The recorded page (valid while no BeginDocument follows).
  OpList ops() const { return OpList(bytes_, opCount_); }
  // The points of a Polyline or Polygon op (x and y alternate), the colours
  // of a Cells op; empty for any other op.
  void PointsOf(const PageOp& op, std::vector<float>& xy) const;
  std::vector<float> PointsOf(const PageOp& op) const;
  // The same, noting where decoding may resume at points 0, every,
  // 2 * every, ... (every > 0) in `resumes`.
  void PointsOf(const PageOp& op, std::vector<float>& xy, uint32_t every, std::vector<PointResume>& resumes) const;
  // Points at.point .. at.point + count - 1 of the op (fewer where its list
  // ends), decoded from a resume PointsOf noted for that op; empty for a
  // resume beyond the op.
  void PointsFrom(const PageOp& op, const PointResume& at, uint32_t count, std::vector<float>& xy) const;
  void CellColorsOf(const PageOp& op, std::vector<Color>& colors) const;
  std::vector<Color> CellColorsOf(const PageOp& op) const;
  // Where each recorded op lies (one box an op, in op order; none when not
  // kept).
  const OpBoxes& Boxes() const { return boxes_; }
  // Whether the pages begun from now on keep their boxes (they do unless
  // told otherwise: the preview and the PNG bands replay parts of a page).
  void SetKeepBoxes(bool keep) {
    if (!open_) boxes_.SetKept(keep);
  }
  // Bytes the recorded page holds (for the benchmark and the preview cache).
  uint64_t RecordedBytes() const { return bytes_.size(); }
  const std::vector<std::string>& texts() const { return texts_; }
  const std::vector<FontState>& fonts() const { return fonts_; }
  const std::vector<PenState>& pens() const { return pens_; }
  const std::vector<BrushState>& brushes() const { return brushes_; }

 private:
  void UsePen();
  void UseBrush();
  void UseFont();
  template <typename T>
  void AddPoints(OpKind kind, std::span<const T> xy);
  void AddPointText(OpKind kind, std::string_view points);
  void Clear(bool release);
  void PutOp(OpKind kind);
  void PutPointsOp(OpKind kind, const OpBoxes::Box& box);
  void PutVarint(uint64_t v);
  void PutDouble(double v);

  double pageWidth_, pageHeight_;
  double leftMargin_ = 1440, topMargin_ = 1440, rightMargin_ = 1440, bottomMargin_ = 1440;
  std::string printerName_;
  bool open_ = false;
  int pageCount_ = 0;
  uint64_t generation_ = 0;

  FontState font_;
  PenState pen_;
  BrushState brush_;
  double textX_ = 0, textY_ = 0;
  double shapeX1_ = 0, shapeY1_ = 0, shapeX2_ = 0, shapeY2_ = 0;

  // Last state recorded in ops_ (so unchanged state is not recorded again).
  bool havePen_ = false, haveBrush_ = false, haveFont_ = false;

  ByteBlocks bytes_;
  size_t opCount_ = 0;
  OpBoxes boxes_;
  uint64_t pointCount_ = 0;
  std::vector<Color> cellTable_;  // colours of the one-byte cell codes
  std::vector<uint8_t> scratch_;  // one list being encoded
  std::vector<uint8_t> listBytes_;  // room for a point list being encoded (never shrinks)
  std::vector<std::string> texts_;
  std::vector<FontState> fonts_;
  std::vector<PenState> pens_;
  std::vector<BrushState> brushes_;
  // Last, so that they stop before anything else of the page goes.
  mutable PageReaders readers_;
};

// Every op of the page, decoded into one vector (tests, small pages).
std::vector<PageOp> CollectOps(const PageDocument& page);

// Parses point-list text (" 100 200-5 300") into numbers; garbage stops the
// parse at that point. An odd count drops the last number.
std::vector<double> ParsePointText(std::string_view text);

// Appends one coordinate to point-list text: a blank before a value that is
// not negative, the minus sign otherwise.
void AppendPointText(std::string& text, double value);

// The display-list text dump (the golden format of the tests).
std::string DumpPage(const PageDocument& page);

}  // namespace tavelo
