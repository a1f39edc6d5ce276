#pragma once
// The "Velocity model" button (Command4): chooses the velocity file ahead of
// the drawing.

namespace tavelo {

struct ProgramState;

// The open-file dialog in the data folder; the name read back goes into
// Text21 (a cancel leaves the pattern "*.NMO" there, which the drawing
// treats as no choice).
void ChooseVelocityModel(ProgramState& state);

}  // namespace tavelo
