#include "program/style_handlers.h"

#include <optional>
#include <string>

#include "common/numeric.h"
#include "settings/form_fields.h"

namespace tavelo {
namespace {

// Which setting a colour item or box sets.
enum class StyleColor { Topo, Static, FoldLine, FoldFill };

int32_t& Setting(PlotSettings& s, StyleColor which) {
  switch (which) {
    case StyleColor::Topo: return s.TopoLineColor;
    case StyleColor::Static: return s.StaticLineColor;
    case StyleColor::FoldLine: return s.FoldLineColor;
    case StyleColor::FoldFill: break;
  }
  return s.FoldFillColor;
}

// A width answer: 0 (also a cancel, which reads as 0) becomes 1, above 100
// becomes 100. Negative widths are kept, as typed.
std::optional<int16_t> WidthAnswer(const std::string& answer) {
  auto width = ToInt16(LeadingNumber(answer));
  if (!width) return std::nullopt;
  if (*width == 0) return int16_t{1};
  if (*width > 100) return int16_t{100};
  return width;
}

}  // namespace

int32_t RequestStyleColor(ProgramState& state, const char* title) {
  CommonDialogFields& fields = state.dialogs->fields();
  fields.title = title;
  fields.cancelError = false;
  state.dialogs->ChooseColor();
  return fields.color;
}

void AskDiagramHeight(ProgramState& state) {
  PlotSettings& s = state.settings;
  int16_t shown = ToInt16(s.DiagramHeight / kTwipsPerMm).value_or(0);
  if (shown == 0) shown = 15;
  const std::string answer = state.dialogs->InputBox(
      "Enter the height (mm) of fold/static/elevation plot", kDefaultTitle, SignedText(shown));
  auto height = ToInt16(LeadingNumber(answer) * kTwipsPerMm);
  if (!height) return;
  s.DiagramHeight = *height == 0 ? int16_t{800} : *height;
}

void AskDiagramLineWidth(ProgramState& state) {
  PlotSettings& s = state.settings;
  const std::string answer = state.dialogs->InputBox("Enter the line with (1=thin 50=thick)",
                                                     kDefaultTitle, SignedText(s.DiagramLineWidth));
  if (auto width = WidthAnswer(answer)) s.DiagramLineWidth = *width;
}

void AskTopoLineWidth(ProgramState& state) {
  PlotSettings& s = state.settings;
  const std::string answer = state.dialogs->InputBox("Enter the topo line with (1=thin 50=thick)",
                                                     kDefaultTitle, SignedText(s.DiagramLineWidth));
  auto width = WidthAnswer(answer);
  if (!width) return;
  s.TopoLineWidth = *width;
  state.form.SetText(kDiagramLineWidth, IntegerText(s.TopoLineWidth));
}

void AttachStyleHandlers(ProgramState& state) {
  ProgramState* s = &state;
  Form& form = state.form;

  // Options menu: the colour items set the setting only; the boxes keep
  // showing what they showed.
  struct MenuColor {
    FieldName item;
    const char* title;
    StyleColor which;
  };
  static constexpr MenuColor kMenuColors[] = {
      {kTopoColorItem, "Topo line Color selection", StyleColor::Topo},
      {kStaticColorItem, "Static line Color selection", StyleColor::Static},
      {kFoldLineColorItem, "Fold line Color selection", StyleColor::FoldLine},
      {kFoldFillColorItem, "Fold fill Color selection", StyleColor::FoldFill},
  };
  for (const MenuColor& m : kMenuColors)
    form.On(m.item, FieldEvent::Click,
            [s, m] { Setting(s->settings, m.which) = RequestStyleColor(*s, m.title); });

  form.On(kDiagramHeightItem, FieldEvent::Click, [s] { AskDiagramHeight(*s); });
  form.On(kDiagramLineWidthItem, FieldEvent::Click, [s] { AskDiagramLineWidth(*s); });
  form.On(kTopoLineWidthItem, FieldEvent::Click, [s] { AskTopoLineWidth(*s); });

  // The colour boxes: the request, then the box shows the new setting.
  struct BoxColor {
    FieldName box;
    const char* title;
    StyleColor which;
  };
  static constexpr BoxColor kBoxes[] = {
      {kFoldFillColorBox, "Fold fill Color selection", StyleColor::FoldFill},
      {kTopoLineColorBox, "Top line Color selection", StyleColor::Topo},
      {kStaticLineColorBox, "Static line Color selection", StyleColor::Static},
      {kFoldLineColorBox, "Fold line Color selection", StyleColor::FoldLine},
  };
  for (const BoxColor& b : kBoxes)
    form.On(b.box, FieldEvent::Click, [s, b] {
      int32_t& colour = Setting(s->settings, b.which);
      colour = RequestStyleColor(*s, b.title);
      s->form.SetBackColor(b.box, colour);
    });
}

}  // namespace tavelo
