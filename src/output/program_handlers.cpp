#include "output/program_handlers.h"

#include "output/metafile_commands.h"
#include "output/print_commands.h"
#include "overlays/velocity_handlers.h"
#include "program/handlers.h"
#include "program/style_handlers.h"
#include "render/builder.h"

namespace tavelo {

void AttachProgramHandlers(ProgramState& state) {
  AttachFieldHandlers(state);
  AttachBuildCommands(state);
  AttachVelocityHandlers(state);
  AttachOutputHandlers(state);
  AttachStyleHandlers(state);
  AttachPrintHandlers(state);
}

}  // namespace tavelo
