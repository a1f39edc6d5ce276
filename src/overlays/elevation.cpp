#include "overlays/elevation.h"

#include <vector>

#include "common/numeric.h"
#include "overlays/diagram_strip.h"

namespace tavelo {

void Affichage_Alti(ProgramState& state) {
  PageDocument& page = state.page;
  const PlotSettings& settings = state.settings;
  const DiagramStrip strip = MakeStrip(state, "Text19", settings.ElevationTop);

  DrawStripFrame(page, strip);
  DrawStripGrid(page, strip);

  // Elevations are kept in 32 bits: values beyond 16 bits (unscaled
  // centimetres, feet) still get a scale and a curve.
  std::vector<int32_t> elevations;
  int64_t lower = 9999, upper = 0;
  int64_t firstColumn = 0;
  {
    const ColumnHeaders headers(state);
    firstColumn = headers.Begin();
    elevations.reserve(static_cast<size_t>(headers.End() - headers.Begin()));
    int32_t elevation = 0;
    for (int64_t k = headers.Begin(); k < headers.End(); ++k) {
      if (auto gelev = headers.Word(k, su::kGelev)) {
        if (auto e = ToInt32(*gelev * state.su.ElevationScalar)) elevation = *e;
      }
      elevations.push_back(elevation);
      if (elevation < lower) lower = elevation;
      if (elevation > upper) upper = elevation;
    }
  }
  const TensScale scale = MakeTensScale(lower - 10, upper + 10);

  // The lower value on the bottom edge, the upper one on the top edge.
  std::vector<double> heights;
  heights.reserve(elevations.size());
  const double perMetre = strip.height / static_cast<double>(scale.upper - scale.lower);
  double y = strip.Bottom();
  for (int32_t e : elevations) {
    const double above = perMetre * static_cast<double>(e - scale.lower);
    if (auto h = ToInt32(strip.top + (strip.height - above))) y = *h;
    heights.push_back(y);
  }
  const std::vector<double> curve =
      ColumnCurve(strip.left, strip.width, state.layout, firstColumn, heights, CurveStart::SecondColumn);
  page.SetPenColor(settings.TopoLineColor);
  page.SetPenWidth(settings.DiagramLineWidth);
  page.DrawPolyline(std::span<const double>(curve));
  page.SetPenColor(0);
  page.SetPenWidth(0);

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
