#pragma once
// Timing or depth lines across the section, each with its value written in
// the left margin.

#include "program/state.h"

namespace tavelo {

// Draws a line every TimeLineSpacing (rounded to whole samples) from the
// first spacing down to SamplesToDraw, labelled " 100 ms" on a time section
// or datum - depth (" 250 m", "-50 m") on a depth section. Times count
// from the first trace's delrt (a file windowed from 800 ms labels its first
// 100 ms line " 900 ms"). Sets no pen: the
// lines use the pen the earlier drawing left. A spacing under half a sample
// draws nothing.
void Affichage_line_Temps(ProgramState& state);

}  // namespace tavelo
