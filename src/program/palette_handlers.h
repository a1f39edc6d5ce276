#pragma once
// The palette boxes of the Tools tab as events on the form model: a click
// on a small box or an anchor box asks for a colour, leaving a component
// box keeps it at most 255 and rebuilds the palette from the anchors.

#include "program/state.h"

namespace tavelo {

// The title of every palette colour request.
inline constexpr const char* kPaletteColorTitle = "Korvane color selection";

// Text101..Text116: the box takes the chosen colour; the palette itself is
// not changed (the saver reads the boxes).
void ClickSmallPaletteBox(ProgramState& state, int box);

// Text117..Text119 (anchor 0..2): the anchor takes the chosen colour, its
// component boxes its red, green and blue, then calcul_RGB.
void ClickAnchorBox(ProgramState& state, int anchor);

// Attaches the box events: small and anchor box clicks, and the component
// boxes' focus loss (Text122 reacts to its click instead, as it always has).
void AttachPaletteHandlers(ProgramState& state);

}  // namespace tavelo
