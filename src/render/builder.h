#pragma once
// The page builder: composes the whole plot page on the page document each
// time "OK  Display" is pressed, from the fields read afresh.

#include <string>

#include "program/state.h"

namespace tavelo {

// Builds the page. Questions go through state.dialogs; a build that cannot
// start (no active file) leaves the page as it was.
void DoDocument(ProgramState& state);

// DoDocument, with running out of memory on the way reported instead of
// ending the program: the half-built page is discarded and false returned
// with "not enough memory to build this page (N traces × M samples)".
bool BuildPageSafely(ProgramState& state, std::string* failure);

// "OK  Display": builds the page, then shows the "Virtual plot" tab, also
// when the build stopped early. Attached to Command1's click.
void AttachBuildCommands(ProgramState& state);

// The axis caption for a language: time, else elevation (datum not 0), else
// depth. Empty for an unknown language code.
std::string AxisCaption(const std::string& languageCode, bool timeSection, int32_t datum);

}  // namespace tavelo
