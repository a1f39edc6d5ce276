#include "render/labels.h"

#include <algorithm>
#include <optional>

#include "common/numeric.h"
#include "data/su_reader.h"
#include "settings/form_fields.h"

namespace tavelo {

StationWord StationWordFor(std::string_view text) {
  if (text == "ep") return {su::kEp, 1};
  if (text == "cdp") return {su::kCdp, 1};
  if (text == "sx") return {su::kSx, 1};
  if (text == "gx") return {su::kGx, 1};
  return {su::kCdp, 2};
}

namespace {

// Number of traces whose header can be read from a file of `length` bytes.
int64_t ReadableHeaders(int64_t length, int64_t traceBytes) {
  if (length < su::kHeaderBytes) return 0;
  if (traceBytes <= 0) return 1;  // only the first header has a position
  return (length - su::kHeaderBytes) / traceBytes + 1;
}

}  // namespace

void Affichage_Label(ProgramState& state) {
  const Form& form = state.form;
  PageDocument& page = state.page;
  PlotLayout& layout = state.layout;

  if (auto top = ToInt32(form.Number(kSectionTopMm) * kTwipsPerMm + page.TopMargin()))
    layout.SectionTop = *top;
  layout.LabelSpacing = form.Number(kLabelSpacing);
  if (auto first = ToInt32(form.Number(kFirstLabel))) state.settings.FirstLabel = *first;
  const int64_t firstLabel = state.settings.FirstLabel;
  page.SetFontSize(9);

  const std::optional<SuReader> file = SuReader::Open(state.su.ActiveFilePath);
  const double left = page.LeftMargin();
  const double top = layout.SectionTop;
  const bool cdpNumbers = form.Checked(kCdpNumbering);
  const bool station = form.Checked(kStationNumbers);
  const bool inverse = form.Checked(kInverseTraces);

  page.SetTextX(left - 800);
  page.SetTextY(top - 300);
  page.DrawText(cdpNumbers ? "CDP" : "Trace");
  const StationWord stationWord = StationWordFor(form.Text(kStationHeaderWord));
  if (station) {
    page.SetTextX(left - 800);
    page.SetTextY(top - 500);
    page.DrawText("Station n\u00b0");
  }
  if (layout.LabelSpacing == 0) layout.LabelSpacing = 10;
  if (!file) return;

  const int64_t traceBytes = state.su.TraceBytes();
  // Label numbers, targets and station values are kept wide: CDP and
  // station numbers above 32767 are labelled like any other.
  int64_t labelCount = 0;
  // Only columns whose header lies in the file can be labelled; a range
  // typed far beyond the file must not spin through empty columns.
  const int64_t first = layout.FirstTrace, last = layout.LastTrace;
  const int64_t tracesInFile = ReadableHeaders(file->Length(), traceBytes);
  int64_t pBegin = inverse ? last - tracesInFile : 1 - first;
  int64_t pEnd = inverse ? last : tracesInFile + 1 - first;  // one past the last
  pBegin = std::max<int64_t>(pBegin, 0);
  pEnd = std::min<int64_t>(pEnd, layout.ColumnCount());
  for (int64_t p = pBegin; p < pEnd; ++p) {
    const int64_t t = first + p;
    // The trace the trace pass draws in this column.
    const int64_t index = inverse ? last - p - 1 : t - 1;
    // A header that cannot be read (past the end of the file) gets no label.
    const auto word = file->ReadHeaderInt(index, traceBytes, cdpNumbers ? su::kCdp : su::kTracl);
    if (!word) continue;
    const int64_t number = (!cdpNumbers && *word == 0) ? t : *word;

    if (!inverse && labelCount == 0 && firstLabel < number) labelCount = 1;
    const double spacing = layout.LabelSpacing * static_cast<double>(labelCount);
    const auto target = ToInt64(inverse ? firstLabel - spacing : firstLabel + spacing);
    if (!target || *target != number) continue;
    ++labelCount;

    const double x = layout.ColumnCentre(left, p);
    page.SetTextX(x - 100);
    page.SetTextY(top - 300);
    page.DrawText(SignedText(number));
    if (station) {
      const auto value = file->ReadHeaderInt(index, traceBytes, stationWord.field);
      const auto shown = value ? ToInt64(static_cast<double>(*value) / stationWord.divisor)
                               : std::nullopt;
      if (shown) {
        page.SetTextX(x - 100);
        page.SetTextY(top - 500);
        page.DrawText(SignedText(*shown));
      }
    }
    page.SetPenWidth(20);
    page.SetShapeX1(x);
    page.SetShapeY1(top);
    page.SetShapeX2(x);
    page.SetShapeY2(top - 100);
    page.DrawShape(1);
    page.SetPenWidth(10);
  }
}

}  // namespace tavelo
