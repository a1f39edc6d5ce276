#pragma once
// The fold diagram: a filled curve of the stacking fold (nhs) of every
// plotted trace, in a framed strip of its own aligned with the traces.

#include "program/state.h"

namespace tavelo {

// Draws the fold diagram at the "Fold graph" distance (Text18). Asks for the
// maximum while Text15 gives none; a maximum of 1 shows "Fold max=1 !" after
// the curve and draws no frame, scale or caption. Leaves the pen black and
// thinnest, the brush without fill.
void Affichage_Fold(ProgramState& state);

}  // namespace tavelo
