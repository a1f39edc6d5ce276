#include "overlays/fold.h"

#include <vector>

#include "common/numeric.h"
#include "overlays/diagram_strip.h"
#include "settings/form_fields.h"

namespace tavelo {

void Affichage_Fold(ProgramState& state) {
  PageDocument& page = state.page;
  const PlotSettings& settings = state.settings;
  const DiagramStrip strip = MakeStrip(state, kFoldTopMm, settings.FoldTop);
  const double bottom = strip.Bottom();

  int32_t maximum = settings.FoldMaximum;
  if (auto v = ToInt16(state.form.Number(kFoldMaximum))) maximum = *v;
  // The answer is not written back: the question comes again at the next
  // page while the field says 0. A negative maximum has no scale either.
  while (maximum <= 0) {
    const std::string answer =
        state.dialogs->InputBox("Enter the fold maxi to display", kDefaultTitle, "24");
    maximum = ToInt16(LeadingNumber(answer)).value_or(0);
  }

  std::vector<double> heights;
  int64_t firstColumn = 0;
  {
    const ColumnHeaders headers(state);
    firstColumn = headers.Begin();
    heights.reserve(static_cast<size_t>(headers.End() - headers.Begin()));
    int32_t fold = 0;
    double y = bottom;
    const double perFold = (strip.height - 20.0) / maximum;
    for (int64_t k = headers.Begin(); k < headers.End(); ++k) {
      if (auto v = headers.Word(k, su::kNhs)) fold = *v;
      if (fold < 1) fold = 1;  // no fold in the header stacks one trace
      if (fold > maximum) fold = maximum;
      AssignIfFits<int32_t>(y, bottom - perFold * fold);
      heights.push_back(y);
    }
  }

  std::vector<double> curve = ColumnCurve(strip.left, strip.width, state.layout, firstColumn, heights,
                                          CurveStart::LeftEdge);
  page.SetPenColor(settings.FoldLineColor);
  page.SetPenWidth(settings.DiagramLineWidth);
  page.DrawPolyline(std::span<const double>(curve));
  if (!curve.empty()) {
    page.SetBrushColor(settings.FoldFillColor);
    page.SetBrushStyle(0);
    curve.insert(curve.end(), {strip.Right(), bottom, strip.left, bottom});
    page.DrawPolygon(std::span<const double>(curve));
  }
  page.SetBrushColor(0);
  page.SetBrushStyle(1);
  page.SetPenColor(0);
  page.SetPenWidth(0);

  if (maximum == 1) {
    state.dialogs->MessageBox("Fold max=1 !", msg::kCritical, kDefaultTitle);
    return;
  }

  DrawStripFrame(page, strip);
  page.SetShapeX1(strip.left);
  page.SetShapeY1(strip.top + 400.0);
  page.SetShapeX2(strip.Right());
  page.SetShapeY2(strip.top + 400.0);
  page.DrawShape(1);

  page.SetFontSize(8);
  page.SetTextX(strip.left - 650);
  page.SetTextY(bottom);
  page.DrawText("Fold 1");
  page.SetTextY(strip.top);
  page.DrawText("Fold " + SignedText(maximum));
  page.SetTextAlign(0);

  static constexpr DiagramWords kCaption{"Couverture", "Fold", "Fold", "Fold", "Fold"};
  DrawStripCaptions(page, strip, CaptionFor(settings.LanguageCode, kCaption), 350);
}

}  // namespace tavelo
