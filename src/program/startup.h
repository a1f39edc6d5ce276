#pragma once
// Start-up without the window: settings, page size, the describing read,
// the window fields, the font list, the language caption and the history
// text, in that order. The window and the command line both run it.

#include <string>

#include "program/state.h"

namespace tavelo {

// `commandLine` names the SU file to open (may be empty). The settings are
// read from state.settingsFolder (DefaultSettingsFolder() when empty).
void Startup(ProgramState& state, const std::string& commandLine);

// The history file of an SU file: its path less the last two characters,
// followed by "txt" (LINE1.SU -> LINE1.txt), found without regard to case.
// Returns the name as built when no such file exists.
std::string HistoryFileName(const std::string& suPath);

// Loads a text file into the editor text. False (editor unchanged) on failure.
[[nodiscard]] bool LoadEditorFile(ProgramState& state, const std::string& path);

// True when the active file is SEG-Y without a history file beside it: its
// textual header then stands in for the history.
bool SegyTextStandsIn(const ProgramState& state);

// Loads the active SEG-Y file's textual header into the editor when it
// stands in for the history (see above). False (editor unchanged) otherwise.
[[nodiscard]] bool LoadSegyTextualHeader(ProgramState& state);

}  // namespace tavelo
