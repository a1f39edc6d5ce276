#include "app/wiring.h"

#include "output/metafile_commands.h"
#include "output/print_commands.h"
#include "overlays/velocity_handlers.h"
#include "program/editor_commands.h"
#include "program/handlers.h"
#include "program/palette_handlers.h"
#include "program/style_handlers.h"
#include "render/builder.h"
#include "settings/form_fields.h"

namespace tavelo {

void AttachProgramHandlers(ProgramState& state) {
  ProgramState* s = &state;
  AttachFieldHandlers(state);
  AttachPaletteHandlers(state);
  AttachBuildCommands(state);
  state.form.On(kVelocityModelButton, FieldEvent::Click, [s] { ChooseVelocityModel(*s); });
  AttachOutputHandlers(state);
  AttachStyleHandlers(state);
  AttachPrintHandlers(state);
}

void AttachWindowHandlers(ProgramState& state, const WindowParts& window) {
  ProgramState* s = &state;
  AttachEditorHandlers(state, *window.commands);
  AttachPreviewHandlers(state, window.preview);
  // Only brings the window to the front; the shown tab stays.
  state.form.On(kAmplitudeColorsItem, FieldEvent::Click,
                [bring = window.bringToFront] { bring(); });
  state.form.On(kTabs, FieldEvent::Click, [s, show = window.showPreview] {
    // The page document is seen on "Virtual plot" only.
    show(s->form.Value(kTabs) == 1);
  });
}

}  // namespace tavelo
