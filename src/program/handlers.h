#pragma once
// The window fields' change, click and double-click handlers, attached once
// to the form model so they run whoever writes a field.

#include <string_view>

#include "program/state.h"

namespace tavelo {

// Display types: list entries and the words kept in DisplayType.
inline constexpr const char* kDisplayEntries[6] = {
    "Wiggle  + Area", "Wiggle", "Positive only", "Amplitude color", "Amplitude grey scale",
    "Amplitude color+ wiggle"};
inline constexpr const char* kDisplayWords[6] = {"normal", "wiggle", "area", "color", "grey", "wa"};
inline constexpr const char* kStationWords[5] = {"station", "ep", "cdp", "sx", "gx"};

// Attaches every field handler. Call once, before the settings are loaded.
void AttachFieldHandlers(ProgramState& state);

// Shows a tab and runs the tab-change rule (also when it is already shown).
void ShowTab(ProgramState& state, int index);

// The numeric key filter: the key code when `allowed` (upper-cased, with
// backspace in front when allowed) holds the typed character, else 0.
int NumericKeyFilter(int keyCode, std::string_view allowed, bool backspaceAllowed);

// A key typed into a field: applies the field's filter; refused keys beep.
// The paper-size field refuses every key with its notice. Returns the key
// to insert, or 0.
int FilterFieldKey(ProgramState& state, std::string_view field, int keyCode);

}  // namespace tavelo
