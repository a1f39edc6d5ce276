#pragma once
// The statics diagram: each plotted trace's total static in milliseconds
// (tstat plus the word at byte 232), in a framed strip with a grid and an
// automatic scale in tens of milliseconds.

#include "program/state.h"

namespace tavelo {

// Draws the diagram at the "Statics graph" distance (Text20). The scale is
// taken from tstat alone; the curve starts at the second column. Leaves the
// pen black and thinnest.
void Affichage_static(ProgramState& state);

}  // namespace tavelo
