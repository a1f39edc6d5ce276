#include "overlays/statics.h"

#include <algorithm>
#include <vector>

#include "common/numeric.h"
#include "overlays/diagram_strip.h"

namespace tavelo {

void Affichage_static(ProgramState& state) {
  PageDocument& page = state.page;
  const PlotSettings& settings = state.settings;
  const DiagramStrip strip = MakeStrip(state, "Text20", settings.StaticsTop);

  DrawStripFrame(page, strip);
  DrawStripGrid(page, strip);

  // Two 16-bit words and their sum, kept in 32 bits so no sum overflows.
  std::vector<int32_t> statics;
  int64_t lower = 0, upper = 0;
  int64_t firstColumn = 0;
  {
    const ColumnHeaders headers(state);
    firstColumn = headers.Begin();
    statics.reserve(static_cast<size_t>(headers.End() - headers.Begin()));
    int32_t tstat = 0, extra = 0;
    for (int64_t k = headers.Begin(); k < headers.End(); ++k) {
      if (auto v = headers.Word(k, su::kTstat)) tstat = *v;
      if (auto v = headers.Word(k, su::kUnassigned232)) extra = *v;
      statics.push_back(tstat + extra);
      lower = std::min<int64_t>(lower, tstat);
      upper = std::max<int64_t>(upper, tstat);
    }
  }
  const TensScale scale = MakeTensScale(lower, upper);

  // The lower value on the bottom edge, the upper one 20 twips below the
  // top, as the scale texts say. Measured from 0 instead, negative statics
  // would run out of the strip into the next diagram.
  std::vector<double> heights;
  heights.reserve(statics.size());
  const double perMs = (strip.height - 20.0) / static_cast<double>(scale.upper - scale.lower);
  double y = strip.Bottom();
  for (int32_t v : statics) {
    const double above = perMs * static_cast<double>(v - scale.lower);
    if (auto h = ToInt32(strip.height - above + strip.top)) y = *h;
    heights.push_back(y);
  }
  const std::vector<double> curve =
      ColumnCurve(strip.left, strip.width, state.layout, firstColumn, heights, CurveStart::SecondColumn);
  page.SetPenColor(settings.StaticLineColor);
  page.SetPenWidth(settings.DiagramLineWidth);
  page.DrawPolyline(std::span<const double>(curve));
  page.SetPenColor(0);
  page.SetPenWidth(0);

  page.SetFontSize(8);
  DrawScaleText(page, strip, scale.lower, strip.Bottom() - 100, " ms");
  DrawScaleText(page, strip, scale.upper, strip.top - 100.0, " ms");
  page.SetTextAlign(0);
  DrawScaleText(page, strip, scale.middle, strip.top + strip.height / 2.0 - 100, " ms");
  page.SetTextAlign(0);

  static constexpr DiagramWords kCaption{"Statiques totales", "Total statics", "Total statics",
                                         "Total statics", "Total statics"};
  DrawStripCaptions(page, strip, CaptionFor(settings.LanguageCode, kCaption), 950);
}

}  // namespace tavelo
