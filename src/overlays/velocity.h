#pragma once
// Velocity panels: for every velocity function of a velocity table file
// whose CDP lies on the plotted traces, a marker line above the section at
// that trace and a small framed table, one row per pick: time (ms), NMO
// velocity and the Dix interval velocity computed on the spot. A pick file
// named instead of a table file is converted first (Conversion_NMO).

#include <array>
#include <cstdint>
#include <string>

#include "overlays/nmo_conversion.h"

namespace tavelo {

class Dialogs;
class PageDocument;
struct ProgramState;

// A velocity table as read from its file: 20 functions of 31 rows, rows
// numbered from 1 as in PickTable (1 CDP, 2-11 times, 12-21 velocities).
struct VelocityTable {
  std::array<std::array<int32_t, kVelocityRows>, kVelocityFunctions> cells{};
  int32_t& At(int function, int row) { return cells[function - 1][row - 1]; }
  int32_t At(int function, int row) const { return cells[function - 1][row - 1]; }
};

// Reads a table file as a plain sequence of 620 numbers, function by
// function, row by row; blanks, commas and line ends separate them. A value
// that is not a number (or does not fit 32 bits) leaves its cell 0; an
// unreadable file leaves every cell 0. Only the first 1 MiB is read.
VelocityTable ReadVelocityTable(const std::string& path);

// A number in a panel row: the sign-position text (" 1500", "-3"), with
// 8, 6, 4 or 2 blanks put in front when it has 1, 2, 3 or 4 characters. In
// Arial a digit is as wide as two blanks, so numbers of up to four digits
// end at the same place in every row though the text starts at its left.
std::string VelocityNumberText(int64_t value);

// The Dix interval velocity between two picks (times in ms, velocities in
// the pick file's unit): floor(sqrt((V2² T2 - V1² T1) / (T2 - T1))). A
// decreasing time, equal times, a negative quantity under the root or an
// overflow show their message (exclamation icon) and leave VT unassigned;
// the result tells whether VT was assigned.
bool DIX(Dialogs& dialogs, double V1, double V2, double T1, double T2, double& VT);

// One panel box: the polygon x y, x+width y, x+width y+height, x y+height
// with the current pen and brush, then the header rule 200 twips below its
// top edge.
void DrawPanelBox(PageDocument& page, int32_t x, int32_t y, int32_t width, int32_t height);

// Draws the panels on the open page (the page builder calls it when the
// box "velocity" is checked). The file: Text21 when it holds more than 5
// characters, else the ".vel" beside the SU file (found whatever the case
// of its name); when absent the user is asked to locate it, and a file still
// absent draws nothing. The font name is set back afterwards; the size
// stays 7 and bold off once a panel was drawn.
void Affichage_model_vitesse(ProgramState& state);

}  // namespace tavelo
