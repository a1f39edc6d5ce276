#pragma once
// The "Printer" frame's picture commands: Record_WMF (save the page as a
// metafile, also copying it to the clipboard), Cp (copy the page to the
// clipboard) and Cor (start the user's graphics program).
//
// The clipboard receives the page as a metafile ("image/x-wmf"), as SVG and
// as an image, so office, drawing and image programs can all paste it. The
// clipboard steps need a QGuiApplication; without one they are skipped.

#include <cstdint>
#include <string>

#include "program/state.h"

namespace tavelo {

// The metafile name proposed for an SU file: the path without its last two
// characters, then "wmf" (line1.su gives line1.wmf). An existing file of
// that name in another letter case is proposed instead.
std::string DefaultMetafileName(const std::string& activeFilePath);

// A file length in kilobytes of 1000 bytes, halves to even (1500 -> 2,
// 2500 -> 2, 499 -> 0). Not cut to 16 bits: a large section's metafile
// is reported, not turned into an overflow error.
int64_t RecordedKilobytes(int64_t bytes);

// Cp: clears the clipboard and puts the page on it. False when a step
// failed (nothing is shown; the command is skip-on-failure).
bool CopyPageToClipboard(const PageDocument& page);

// Record_WMF: asks for the name ("WMF file option"), asks before replacing
// an existing file, copies the page to the clipboard, writes the metafile
// (the old file stays until the new one is complete) and reports its size;
// a failure is reported as "Error nb ... happens".
void RecordMetafile(ProgramState& state);

// Cor: starts GraphicsProgramPath (set when longer than 4 characters),
// locating it first through the open dialog; no arguments, no wait. A path
// that cannot be started is skipped silently.
void LaunchGraphicsProgram(ProgramState& state);

// Attaches Record_WMF, Cp and Cor as the form's click events.
void AttachOutputHandlers(ProgramState& state);

}  // namespace tavelo
