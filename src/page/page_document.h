#pragma once
// The page document: one page composed as a display list in twips from the
// paper's top-left corner (1440 per inch, 56.7 per millimetre). Drawing
// calls record operations; back ends (QPainter replay, metafile writer, text
// dump, fast PDF writer) replay them. Nothing draws straight to a device.
//
// Coordinates are kept as given (a 5 mm margin is 283.5 twips). Point lists
// are stored as float pairs in one shared vector, exact for halves up to
// 8 million twips, so a page of millions of points stays compact.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/units.h"

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

// One recorded operation. State operations (Font, Pen, Brush) are recorded
// just before the first drawing operation that uses a changed state, so the
// list holds only the state changes that matter.
struct PageOp {
  OpKind kind;
  uint32_t index = 0;  // Font/Pen/Brush/Text: index into the matching table;
                       // Polyline/Polygon: first float in points();
                       // Cells: first colour in cellColors()
  uint32_t count = 0;  // Polyline/Polygon: number of points; Cells: number of cells
  double x = 0, y = 0, x2 = 0, y2 = 0;  // Text: x, y; Line: both ends;
                                        // Cells: x, y, width, cell height
};

class PageDocument {
 public:
  PageDocument();

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
  // Point-list text (" 100 200-5 300") as the product passes it.
  void DrawPolylineText(std::string_view points);
  void DrawPolygonText(std::string_view points);

  // A column of amplitude cells: cell k (from 1) covers x .. x + width and
  // y + (k-1) * cellHeight .. y + k * cellHeight, painted with colors[k-1].
  void DrawCells(double x, double y, double width, double cellHeight,
                 std::span<const Color> colors);

  // The recorded page (valid while no BeginDocument follows).
  const std::vector<PageOp>& ops() const { return ops_; }
  const std::vector<float>& points() const { return points_; }
  const std::vector<Color>& cellColors() const { return cellColors_; }
  const std::vector<std::string>& texts() const { return texts_; }
  const std::vector<FontState>& fonts() const { return fonts_; }
  const std::vector<PenState>& pens() const { return pens_; }
  const std::vector<BrushState>& brushes() const { return brushes_; }

 private:
  void UsePen();
  void UseBrush();
  void UseFont();
  void AddPoints(OpKind kind, std::span<const double> xy);
  void AddPoints(OpKind kind, std::span<const float> xy);
  void AddPointText(OpKind kind, std::string_view points);

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

  std::vector<PageOp> ops_;
  std::vector<float> points_;
  std::vector<Color> cellColors_;
  std::vector<std::string> texts_;
  std::vector<FontState> fonts_;
  std::vector<PenState> pens_;
  std::vector<BrushState> brushes_;
};

// Parses point-list text (" 100 200-5 300") into numbers; garbage stops the
// parse at that point. An odd count drops the last number.
std::vector<double> ParsePointText(std::string_view text);

// Appends one coordinate to point-list text: a blank before a value that is
// not negative, the minus sign otherwise.
void AppendPointText(std::string& text, double value);

// The display-list text dump (the golden format of the tests).
std::string DumpPage(const PageDocument& page);

}  // namespace tavelo
