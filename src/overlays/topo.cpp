#include "overlays/topo.h"

#include <vector>

#include "common/numeric.h"
#include "overlays/diagram_strip.h"
#include "settings/form_fields.h"

namespace tavelo {

void Affichage_topo(ProgramState& state) {
  PageDocument& page = state.page;
  PlotLayout& layout = state.layout;
  PlotSettings& settings = state.settings;

  if (auto v = ToInt32(state.form.Number(kSectionTopMm) * kTwipsPerMm + page.TopMargin()))
    layout.SectionTop = *v;
  if (auto v = ToInt16(state.form.Number(kDiagramLineWidth))) settings.TopoLineWidth = *v;
  page.SetPenColor(settings.TopoLineColor);
  page.SetPenWidth(settings.TopoLineWidth);

  // Milliseconds of a whole trace: the height of the section stands for it.
  const double traceTime = state.su.SampleInterval / 1000.0 * state.su.SamplesPerTrace;
  std::vector<double> heights;
  int64_t firstColumn = 0;
  if (traceTime > 0) {
    const ColumnHeaders headers(state);
    firstColumn = headers.Begin();
    heights.reserve(static_cast<size_t>(headers.End() - headers.Begin()));
    int32_t tstat = 0;
    double y = layout.SectionTop;
    for (int64_t k = headers.Begin(); k < headers.End(); ++k) {
      if (auto v = headers.Word(k, su::kTstat)) tstat = *v;
      // Wide product: tall sections with large statics do not overflow.
      const int64_t scaled = static_cast<int64_t>(tstat) * layout.SectionHeight;
      AssignIfFits<int32_t>(y, layout.SectionTop + static_cast<double>(scaled) / traceTime);
      heights.push_back(y);
    }
  }
  const std::vector<double> line = ColumnCurve(page.LeftMargin(), layout.SectionWidth, layout,
                                               firstColumn, heights, CurveStart::LeftEdge);
  page.DrawPolyline(std::span<const double>(line));
  page.SetPenColor(0);
  page.SetPenWidth(0);
}

}  // namespace tavelo
