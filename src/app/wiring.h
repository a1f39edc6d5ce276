#pragma once
// The composition root: every handler of the program state is attached
// here, once, to the form model, so the window, the command line, the
// tests and the fuzz runs start from the same wiring. Each handler lives
// with the code it drives; this file only says which field runs it. The
// window adds the handlers bound to its own parts (the editor commands it
// owns, the preview, bringing itself to the front).

#include "program/state.h"

namespace tavelo {

// The field rules, the palette boxes, "OK  Display", the velocity model
// button, the output and print buttons and the style menu and boxes.
void AttachProgramHandlers(ProgramState& state);

}  // namespace tavelo
