#pragma once
// What the fold, statics and elevation diagrams (and the topography line)
// share: the strip below or above the section with its frame, grid, scale
// texts and captions, the header words of the trace shown in each column,
// and the curve through the column centres.

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "data/su_reader.h"
#include "program/state.h"

namespace tavelo {

// A framed diagram strip. Positions are 32-bit: strips on roll plotters lie
// far more than 578 mm down the paper.
struct DiagramStrip {
  double left = 0;     // L: the section's left edge (may be half a twip)
  double width = 0;    // W: SectionWidth
  int32_t top = 0;     // T
  int32_t height = 0;  // H: DiagramHeight
  double Right() const { return left + width; }
  double Bottom() const { return static_cast<double>(top) + height; }
};

// The strip whose distance to the page top (mm) is in `distanceField`:
// T = distance * 56.7 + TopMargin, rounded. A distance that gives no
// position keeps the one last loaded from the settings (`storedTop`, twips
// from the page top without the margin).
DiagramStrip MakeStrip(const ProgramState& state, std::string_view distanceField,
                       int32_t storedTop);

// Header words of the trace shown in each column (inverse order included).
// Opens the SU file once; the file is closed when this goes away. Only the
// columns whose trace lies in the file are visited: a range reaching far
// past the file (a mistyped last trace) costs nothing, and its empty
// columns get no point, as they get no trace.
class ColumnHeaders {
 public:
  explicit ColumnHeaders(const ProgramState& state);
  // Columns Begin() .. End() - 1 show a trace of the file.
  int64_t Begin() const { return begin_; }
  int64_t End() const { return end_; }
  // Empty when the word cannot be read.
  std::optional<int32_t> Word(int64_t column, const su::HeaderField& field) const;

 private:
  std::optional<SuReader> reader_;
  const PlotLayout& layout_;
  bool inverse_;
  int64_t traceBytes_;
  int64_t begin_ = 0, end_ = 0;
};

// One value per column shown, for the statics and elevation curves:
// values[i] belongs to column firstColumn + i. The scale is made from
// lower .. upper.
struct ColumnSeries {
  int64_t firstColumn = 0;
  std::vector<int32_t> values;
  int64_t lower = 0;
  int64_t upper = 0;
};
// What one column gives: the value drawn, and the value its scale counts
// (the statics scale counts the tstat word alone, the curve the sum).
struct ColumnValue {
  int32_t drawn = 0;
  int32_t ranged = 0;
};
// Visits the columns that show a trace of the file (ColumnHeaders), asking
// `valueOf` for each; lower and upper start at the values given and widen
// to every ranged value.
ColumnSeries ReadColumnSeries(const ProgramState& state, int64_t lower, int64_t upper,
                              const std::function<ColumnValue(const ColumnHeaders&, int64_t)>& valueOf);

// The series' curve on its strip: `scaleLower` on the bottom edge, `perUnit`
// twips higher for each unit above it (a height beyond 32 bits keeps the
// previous column's). Drawn in `color`, DiagramLineWidth wide, leaving the
// pen black and thinnest.
void DrawSeriesCurve(ProgramState& state, const DiagramStrip& strip, const ColumnSeries& series,
                     int64_t scaleLower, double perUnit, Color color);

// Where a curve begins: the fold diagram and the topography line start on
// the left edge at the first column's height; the statics and elevation
// curves have no point for the first column and none on the left edge.
enum class CurveStart { LeftEdge, SecondColumn };

// The curve through the column centres at the given heights, heights[i]
// belonging to column firstColumn + i, ending on the right edge at the last
// height. x and y alternate. Empty when no column has a point.
std::vector<double> ColumnCurve(double left, double width, const PlotLayout& layout,
                                int64_t firstColumn, std::span<const double> heights,
                                CurveStart start);

// The frame (black, 25 twips wide, no fill of its own: the current brush),
// leaving the pen black and thinnest.
void DrawStripFrame(PageDocument& page, const DiagramStrip& strip);
// Thin black lines every quarter of the height from the top edge down. A
// strip too low for a step of a whole twip gets none.
void DrawStripGrid(PageDocument& page, const DiagramStrip& strip);

// The automatic scale of the statics and elevation diagrams: lower and upper
// rounded to tens (halves to even), upper one ten higher, middle half-way.
struct TensScale {
  int64_t lower = 0;
  int64_t middle = 0;
  int64_t upper = 0;
};
TensScale MakeTensScale(int64_t lower, int64_t upper);

// One scale text at L - 650: the value with its sign position and the unit.
void DrawScaleText(PageDocument& page, const DiagramStrip& strip, int64_t value, double y,
                   std::string_view unit);

// The caption, bold, above the strip's left end and again at L + W -
// rightOffset. An empty caption (unknown language) draws nothing.
void DrawStripCaptions(PageDocument& page, const DiagramStrip& strip, std::string_view caption,
                       double rightOffset);

// The caption for LanguageCode, tested in the order F, E, S, I, G by exact
// comparison; empty for any other code.
struct DiagramWords {
  const char* french;
  const char* english;
  const char* spanish;
  const char* italian;
  const char* german;
};
std::string CaptionFor(const std::string& languageCode, const DiagramWords& words);

}  // namespace tavelo
