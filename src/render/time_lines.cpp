#include "render/time_lines.h"

#include "common/numeric.h"
#include "data/su_reader.h"
#include "settings/form_fields.h"

namespace tavelo {

namespace {
// Values beyond this are no depth or time anyone plots; bounding them keeps
// datum - value inside 64 bits.
constexpr int64_t kLargestLabel = int64_t{1} << 53;

// The first trace's delrt (ms): a time-windowed file (suwind tmin=0.8)
// starts that late, and its time lines count from there. 0 when unread.
int64_t FirstSampleDelay(const ProgramState& state) {
  const auto reader = SuReader::Open(state.su.ActiveFilePath);
  if (!reader) return 0;
  return reader->ReadHeaderInt(0, state.su.TraceBytes(), su::kDelrt).value_or(0);
}
}  // namespace

void Affichage_line_Temps(ProgramState& state) {
  const PlotLayout& layout = state.layout;
  const Form& form = state.form;
  PageDocument& page = state.page;

  const int64_t datum = ToInt32(form.Number(kDatum)).value_or(0);
  if (state.su.SampleInterval == 0 || layout.SamplesToDraw <= 0) return;
  // Line spacing in whole samples. A negative spacing would count upward
  // from above the section: nothing sensible to draw, so it draws nothing.
  const auto step = ToInt32(layout.TimeLineSpacing * 1000.0 / state.su.SampleInterval);
  if (!step || *step <= 0) return;

  const bool timeSection = form.Checked(kTimeSection);
  const int64_t delay = timeSection ? FirstSampleDelay(state) : 0;
  const double left = page.LeftMargin();
  const double right = left + layout.SectionWidth;
  int64_t line = 1;
  // 64-bit counters: k * SectionHeight and the label values outgrow 16 and
  // 32 bits on long, tall sections.
  for (int64_t k = *step; k <= layout.SamplesToDraw; k += *step, ++line) {
    const double y = layout.SectionTop +
                     static_cast<double>(k * layout.SectionHeight) / layout.SamplesToDraw;
    page.SetShapeX1(left);
    page.SetShapeY1(y);
    page.SetShapeX2(right);
    page.SetShapeY2(y);
    page.DrawShape(1);

    page.SetTextX(left - 750);
    page.SetTextY(y - 100);
    page.SetFontSize(8);
    // The label is line * spacing, not the rounded sample position: lines
    // lie on whole samples, the values keep the spacing asked for.
    const auto value = ToInt64(static_cast<double>(line) * layout.TimeLineSpacing);
    if (!value || *value > kLargestLabel || *value < -kLargestLabel) continue;
    page.DrawText(timeSection ? SignedText(delay + *value) + " ms" : SignedText(datum - *value) + " m");
  }
}

}  // namespace tavelo
