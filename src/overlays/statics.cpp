#include "overlays/statics.h"

#include "overlays/diagram_strip.h"
#include "settings/form_fields.h"

namespace tavelo {

void Affichage_static(ProgramState& state) {
  PageDocument& page = state.page;
  const PlotSettings& settings = state.settings;
  const DiagramStrip strip = MakeStrip(state, kStaticsTopMm, settings.StaticsTop);

  DrawStripFrame(page, strip);
  DrawStripGrid(page, strip);

  // Two 16-bit words and their sum, kept in 32 bits so no sum overflows.
  // A word that cannot be read keeps the previous column's.
  int32_t tstat = 0, extra = 0;
  const ColumnSeries statics =
      ReadColumnSeries(state, 0, 0, [&](const ColumnHeaders& headers, int64_t k) {
        if (auto v = headers.Word(k, su::kTstat)) tstat = *v;
        if (auto v = headers.Word(k, su::kUnassigned232)) extra = *v;
        return ColumnValue{tstat + extra, tstat};
      });
  const TensScale scale = MakeTensScale(statics.lower, statics.upper);

  // The lower value on the bottom edge, the upper one 20 twips below the
  // top, as the scale texts say. Measured from 0 instead, negative statics
  // would run out of the strip into the next diagram.
  const double perMs = (strip.height - 20.0) / static_cast<double>(scale.upper - scale.lower);
  DrawSeriesCurve(state, strip, statics, scale.lower, perMs, settings.StaticLineColor);

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
