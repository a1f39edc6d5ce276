#include "program/palette_handlers.h"

#include <string>

#include "settings/form_fields.h"
#include "settings/palette.h"

namespace tavelo {
namespace {

// A cancelled request is not told apart: the colour of the last request
// made anywhere in the window comes back and is applied.
int32_t AskColor(Dialogs& dialogs) {
  dialogs.fields().title = kPaletteColorTitle;
  dialogs.ChooseColor();
  return dialogs.fields().color;
}

}  // namespace

void ClickSmallPaletteBox(ProgramState& state, int box) {
  if (box < 101 || box > 116) return;
  const int32_t colour = AskColor(*state.dialogs);
  state.form.SetBackColor(PaletteField(box), colour);
}

void ClickAnchorBox(ProgramState& state, int anchor) {
  if (anchor < 0 || anchor > 2) return;
  const int32_t colour = AskColor(*state.dialogs);
  state.form.SetBackColor(PaletteField(117 + anchor), colour);
  SetAnchorComponents(state.form, anchor, colour);
  calcul_RGB(state.form, state.palette);
}

void AttachPaletteHandlers(ProgramState& state) {
  ProgramState* s = &state;
  Form& form = state.form;
  for (int box = 101; box <= 116; ++box)
    form.On(PaletteField(box), FieldEvent::Click,
            [s, box] { ClickSmallPaletteBox(*s, box); });
  for (int anchor = 0; anchor < 3; ++anchor)
    form.On(PaletteField(117 + anchor), FieldEvent::Click,
            [s, anchor] { ClickAnchorBox(*s, anchor); });
  for (int box = 120; box <= 128; ++box) {
    const FieldName name = PaletteField(box);
    const FieldEvent event = box == 122 ? FieldEvent::Click : FieldEvent::LostFocus;
    form.On(name, event, [s, name] { LeaveComponentBox(s->form, s->palette, name); });
  }
}

}  // namespace tavelo
