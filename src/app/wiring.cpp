#include "app/wiring.h"

#include "output/metafile_commands.h"
#include "output/print_commands.h"
#include "overlays/velocity_handlers.h"
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

}  // namespace tavelo
