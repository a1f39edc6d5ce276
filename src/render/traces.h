#pragma once
// The trace pass of the page builder (Affichage_traces): reads
// every trace of the chosen range and draws it into its column in the
// display type chosen in combo1 (state.drawingMode):
//   0 wiggle and black positive lobes, 1 wiggle, 2 positive lobes only,
//   3 amplitude colour cells, 4 grey cells, 5 colour cells with a white
//   and a black wiggle at twice the deflection.
// Sets layout.MaxAmplitude (from every third trace and sample, then the
// "Maximale Amplitude" question for the cell types).

#include "program/state.h"

namespace tavelo {

void DrawTraces(ProgramState& state);

}  // namespace tavelo
