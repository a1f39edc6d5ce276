#pragma once
// The texts the page builder writes besides the section: the plot title,
// the two orientation texts above the section and the processing history.

#include <string>
#include <string_view>

#include "program/state.h"

namespace tavelo {

// The title (Text1) 15 mm below the paper's top edge, in 14 points.
void DrawTitle(ProgramState& state);

// Text13 and Text14 (copied into the settings) above the left and right
// ends of the section, higher when the velocity panels take the space.
// Nothing is drawn when both are empty. Keeps the title's font size.
void DrawOrientationTexts(ProgramState& state);

// The history block ("Print history"): the editor's text in lower case at
// the elevation graph's distance to the page top. When the SU file has no
// history file beside it, a batch file is asked for and loaded into the
// editor first; a cancel prints the editor's text as it is.
void DrawHistoryBlock(ProgramState& state);

// The history's lower case: every capital letter of any script in UTF-8
// text to its small letter; bytes that are not UTF-8 are kept.
std::string HistoryLowerCase(std::string_view utf8);

}  // namespace tavelo
