#include "overlays/diagram_strip.h"

#include <algorithm>

#include "common/numeric.h"
#include "settings/form_fields.h"

namespace tavelo {

DiagramStrip MakeStrip(const ProgramState& state, std::string_view distanceField,
                       int32_t storedTop) {
  const PageDocument& page = state.page;
  DiagramStrip strip;
  strip.left = page.LeftMargin();
  strip.width = state.layout.SectionWidth;
  strip.height = state.settings.DiagramHeight;
  const double topMargin = page.TopMargin();
  if (auto t = ToInt32(state.form.Number(distanceField) * kTwipsPerMm + topMargin))
    strip.top = *t;
  else if (auto t = ToInt32(storedTop + topMargin))
    strip.top = *t;
  return strip;
}

ColumnHeaders::ColumnHeaders(const ProgramState& state)
    : reader_(SuReader::Open(state.su.ActiveFilePath)),
      layout_(state.layout),
      inverse_(state.form.Checked(kInverseTraces)),
      traceBytes_(state.su.TraceBytes()) {
  if (!reader_ || traceBytes_ <= 0 || reader_->Length() < su::kHeaderBytes) return;
  // Traces whose header lies wholly in the file.
  const int64_t traces = (reader_->Length() - su::kHeaderBytes) / traceBytes_ + 1;
  // File index of column k: FirstTrace + k - 1, or LastTrace - k - 1.
  int64_t first = 0, last = 0;
  if (inverse_) {
    first = static_cast<int64_t>(layout_.LastTrace) - traces;
    last = static_cast<int64_t>(layout_.LastTrace) - 1;
  } else {
    first = 1 - static_cast<int64_t>(layout_.FirstTrace);
    last = traces - static_cast<int64_t>(layout_.FirstTrace);
  }
  begin_ = std::max<int64_t>(first, 0);
  end_ = std::max(begin_, std::min(last + 1, layout_.ColumnCount()));
}

std::optional<int32_t> ColumnHeaders::Word(int64_t column, const su::HeaderField& field) const {
  if (!reader_) return std::nullopt;
  return reader_->ReadHeaderInt(layout_.TraceInColumn(column, inverse_) - 1, traceBytes_, field);
}

ColumnSeries ReadColumnSeries(const ProgramState& state, int64_t lower, int64_t upper,
                              const std::function<ColumnValue(const ColumnHeaders&, int64_t)>& valueOf) {
  ColumnSeries series;
  series.lower = lower;
  series.upper = upper;
  const ColumnHeaders headers(state);
  series.firstColumn = headers.Begin();
  series.values.reserve(static_cast<size_t>(headers.End() - headers.Begin()));
  for (int64_t k = headers.Begin(); k < headers.End(); ++k) {
    const ColumnValue value = valueOf(headers, k);
    series.values.push_back(value.drawn);
    series.lower = std::min<int64_t>(series.lower, value.ranged);
    series.upper = std::max<int64_t>(series.upper, value.ranged);
  }
  return series;
}

void DrawSeriesCurve(ProgramState& state, const DiagramStrip& strip, const ColumnSeries& series,
                     int64_t scaleLower, double perUnit, Color color) {
  std::vector<double> heights;
  heights.reserve(series.values.size());
  double y = strip.Bottom();
  for (int32_t v : series.values) {
    const double above = perUnit * static_cast<double>(v - scaleLower);
    AssignIfFits<int32_t>(y, strip.height - above + strip.top);
    heights.push_back(y);
  }
  const std::vector<double> curve = ColumnCurve(strip.left, strip.width, state.layout,
                                                series.firstColumn, heights, CurveStart::SecondColumn);
  PageDocument& page = state.page;
  page.SetPenColor(color);
  page.SetPenWidth(state.settings.DiagramLineWidth);
  page.DrawPolyline(std::span<const double>(curve));
  page.SetPenColor(0);
  page.SetPenWidth(0);
}

std::vector<double> ColumnCurve(double left, double width, const PlotLayout& layout,
                                int64_t firstColumn, std::span<const double> heights,
                                CurveStart start) {
  std::vector<double> xy;
  // The statics and elevation curves leave the first column out.
  const size_t skip = start == CurveStart::SecondColumn && firstColumn == 0 ? 1 : 0;
  if (heights.size() <= skip) return xy;
  xy.reserve(2 * (heights.size() - skip + 2));
  if (start == CurveStart::LeftEdge) {
    xy.push_back(left);
    xy.push_back(heights[0]);
  }
  double x = left;
  for (size_t i = skip; i < heights.size(); ++i) {
    const int64_t column = firstColumn + static_cast<int64_t>(i);
    AssignIfFits<int32_t>(x, layout.ColumnCentre(left, column));
    xy.push_back(x);
    xy.push_back(heights[i]);
  }
  xy.push_back(left + width);
  xy.push_back(heights.back());
  return xy;
}

void DrawStripFrame(PageDocument& page, const DiagramStrip& strip) {
  const double l = strip.left, r = strip.Right();
  const double t = strip.top, b = strip.Bottom();
  const double frame[] = {l, t, l, b, r, b, r, t};
  page.SetPenColor(0);
  page.SetPenWidth(25);
  page.DrawPolygon(std::span<const double>(frame));
  page.SetPenWidth(0);
}

void DrawStripGrid(PageDocument& page, const DiagramStrip& strip) {
  const double step = RoundHalfEven(strip.height / 4.0);
  // A step of 0 would never reach the bottom edge.
  if (step == 0) return;
  const double height = strip.height;
  for (double k = 0; step > 0 ? k <= height : k >= height; k += step) {
    page.SetShapeX1(strip.left);
    page.SetShapeY1(strip.top + k);
    page.SetShapeX2(strip.Right());
    page.SetShapeY2(strip.top + k);
    page.DrawShape(1);
  }
}

TensScale MakeTensScale(int64_t lower, int64_t upper) {
  TensScale s;
  s.lower = static_cast<int64_t>(RoundHalfEven(static_cast<double>(lower) / 10)) * 10;
  s.upper = static_cast<int64_t>(RoundHalfEven(static_cast<double>(upper) / 10)) * 10 + 10;
  s.middle = static_cast<int64_t>(RoundHalfEven(static_cast<double>(s.upper + s.lower) / 2));
  return s;
}

void DrawScaleText(PageDocument& page, const DiagramStrip& strip, int64_t value, double y,
                   std::string_view unit) {
  page.SetTextX(strip.left - 650);
  page.SetTextY(y);
  page.DrawText(SignedText(value) + std::string(unit));
}

void DrawStripCaptions(PageDocument& page, const DiagramStrip& strip, std::string_view caption,
                       double rightOffset) {
  page.SetTextX(strip.left);
  page.SetTextY(strip.top - 200.0);
  page.SetFontBold(true);
  if (!caption.empty()) page.DrawText(caption);
  page.SetTextAlign(0);
  page.SetTextX(strip.Right() - rightOffset);
  if (!caption.empty()) page.DrawText(caption);
  page.SetTextAlign(0);
  page.SetFontBold(false);
}

std::string CaptionFor(const std::string& code, const DiagramWords& words) {
  if (code == "F") return words.french;
  if (code == "E") return words.english;
  if (code == "S") return words.spanish;
  if (code == "I") return words.italian;
  if (code == "G") return words.german;
  return {};
}

}  // namespace tavelo
