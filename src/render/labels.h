#pragma once
// Trace labels above the section: every LabelSpacing numbers a tick and the
// trace's CDP (or trace) number, and on request a row of station values
// read from another header word.

#include <string_view>

#include "data/su_format.h"
#include "program/state.h"

namespace tavelo {

// The header word the "station" row shows, by the text of Combo2, and the
// number it is divided by. Exact, case-sensitive: any other text (and
// "station" itself) is half the CDP number.
struct StationWord {
  su::HeaderField field;
  int divisor;
};
StationWord StationWordFor(std::string_view combo2Text);

// Draws the captions and the labels. Recomputes SectionTop by the builder's
// rule and stores it back; stores the first label (Text22) into the
// settings; a label spacing of 0 becomes 10. Reads the SU file itself.
// Leaves the pen width at 10 once a tick is drawn.
void Affichage_Label(ProgramState& state);

}  // namespace tavelo
