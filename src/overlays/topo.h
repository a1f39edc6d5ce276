#pragma once
// The topography line: the total static (tstat) of every plotted trace drawn
// over the section as a time below its top edge, so the shape of the
// topography the statics stand for shows on the section.

#include "program/state.h"

namespace tavelo {

// Draws the line in the topography colour with the width in Text25 (kept as
// TopoLineWidth). Its time scale is the section height per full trace
// length, not per drawn time. Recomputes SectionTop from Text9. Leaves the
// pen black and thinnest.
void Affichage_topo(ProgramState& state);

}  // namespace tavelo
