#pragma once
// Every handler of the program, attached once to the form model: the field
// rules, the palette boxes, "OK  Display", the velocity file and the output
// buttons. The window and the command line both start from here.

#include "program/state.h"

namespace tavelo {

void AttachProgramHandlers(ProgramState& state);

}  // namespace tavelo
