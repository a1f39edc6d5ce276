#pragma once
// The elevation diagram: each plotted trace's receiver elevation in metres
// (gelev times the file's elevation scalar), in a framed strip with a grid
// and an automatic scale in tens of metres.

#include "program/state.h"

namespace tavelo {

// Draws the diagram at the "Elevation graph" distance (Text19), the curve in
// the topography colour from the second column on, spanning the strip from
// the lower to the upper scale value. Leaves the pen black and thinnest.
void Affichage_Alti(ProgramState& state);

}  // namespace tavelo
