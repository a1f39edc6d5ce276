#include "overlays/elevation.h"

#include "overlays/diagram_strip.h"
#include "settings/form_fields.h"

namespace tavelo {

void Affichage_Alti(ProgramState& state) {
  PageDocument& page = state.page;
  const PlotSettings& settings = state.settings;
  const DiagramStrip strip = MakeStrip(state, kElevationTopMm, settings.ElevationTop);

  DrawStripFrame(page, strip);
  DrawStripGrid(page, strip);

  // Elevations are kept in 32 bits: values beyond 16 bits (unscaled
  // centimetres, feet) still get a scale and a curve. A word that cannot be
  // read, or scales beyond 32 bits, keeps the previous column's.
  int32_t elevation = 0;
  const ColumnSeries elevations =
      ReadColumnSeries(state, 9999, 0, [&](const ColumnHeaders& headers, int64_t k) {
        if (auto gelev = headers.Word(k, su::kGelev))
          AssignIfFits(elevation, *gelev * state.su.ElevationScalar);
        return ColumnValue{elevation, elevation};
      });
  const TensScale scale = MakeTensScale(elevations.lower - 10, elevations.upper + 10);

  // The lower value on the bottom edge, the upper one on the top edge.
  const double perMetre = strip.height / static_cast<double>(scale.upper - scale.lower);
  DrawSeriesCurve(state, strip, elevations, scale.lower, perMetre, settings.TopoLineColor);

  page.SetFontSize(8);
  DrawScaleText(page, strip, scale.lower, strip.Bottom() - 100, " m");
  DrawScaleText(page, strip, scale.middle, strip.top + strip.height / 2.0 - 100, " m");
  page.SetTextAlign(0);
  DrawScaleText(page, strip, scale.upper, strip.top - 100.0, " m");
  page.SetTextAlign(0);

  static constexpr DiagramWords kCaption{"Altitude", "Elevation", "Altitud", "Altitudine",
                                         "Höhe"};
  DrawStripCaptions(page, strip, CaptionFor(settings.LanguageCode, kCaption), 700);
}

}  // namespace tavelo
