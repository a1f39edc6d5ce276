#pragma once
// Diagram styles: the Options menu items (colours, strip height, line
// widths) and the four colour boxes of the "Drawing parameters" frame, as
// events on the form model. Changes take effect at the next page build.

#include <cstdint>

#include "program/state.h"

namespace tavelo {

// The colour request every style uses: the window's one colour dialog with
// `title`. A cancel is not told apart: the colour of the last request made
// anywhere in the window (black before the first) comes back.
int32_t RequestStyleColor(ProgramState& state, const char* title);

// f_height: asks the strip height in millimetres (default: the present
// height, 0 shown as 15); 0 or a cancel gives 800 twips. Text24 stays.
void AskDiagramHeight(ProgramState& state);
// Line_w: asks the diagram line width; 0 or a cancel gives 1, above 100
// gives 100. Text25 stays.
void AskDiagramLineWidth(ProgramState& state);
// Topo_large: asks the topography line width (its default is the diagram
// line width, as it always was), then writes it into Text25, whose change
// sets the diagram line width too.
void AskTopoLineWidth(ProgramState& state);

// Attaches topo_color, static_color, f_height, Line_w, Topo_large,
// fold_line, fold_fill_color and the clicks on Text26..Text29.
void AttachStyleHandlers(ProgramState& state);

}  // namespace tavelo
