#pragma once
// Velocity picks. A pick file (".NMO") holds one parameter line of cdp=,
// tnmo= and vnmo= lists, as the NMO programs of the processing chain take
// them:
//
//   sunmo cdp=100,200 tnmo=0.1,0.5 vnmo=1500,1800 tnmo=0.2,0.6 vnmo=1550,1900
//
// Conversion_NMO turns it into a velocity table file (".VEL") beside it, the
// form the velocity panels draw from, and points Text21 at the new file.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tavelo {

struct ProgramState;

inline constexpr int kVelocityFunctions = 20;  // columns of the table
inline constexpr int kVelocityRows = 31;       // rows written per column
inline constexpr int kMaxPicks = 10;           // picks kept per function

// The pick table: column i is velocity function i, rows numbered from 1 as
// the table file lists them: row 1 the CDP (0 marks an empty column), rows
// 2-11 the pick times in ms, rows 12-21 the NMO velocities, rows 22-31
// left 0 (the panels put interval velocities there when they draw).
// Cells are 16-bit, as the table file's readers expect: a value out of that
// range leaves its cell 0.
struct PickTable {
  std::array<std::array<int16_t, kVelocityRows>, kVelocityFunctions> cells{};
  // function 1..20, row 1..31
  int16_t& At(int function, int row) { return cells[function - 1][row - 1]; }
  int16_t At(int function, int row) const { return cells[function - 1][row - 1]; }
};

// Splits a list into numbers: commas, blanks, or commas with blanks between
// them. An empty list gives the single value 0; a value that does not read
// as a number counts as 0; a comma with nothing after it adds nothing.
std::vector<double> SplitPickList(std::string_view list);

// Reads the pick table from a pick line. Keys are found without regard to
// letter case; a key after the first follows a blank. Times are seconds
// (stored as rounded milliseconds), velocities are stored rounded. CDPs
// beyond the 20th and picks beyond the 10th are dropped. A line without
// "cdp=" and " tnmo=" gives an empty table; a function without its own
// tnmo=/vnmo= pair gets no picks.
PickTable ParsePickLine(std::string_view line);

// The table file's text: 20 lines, line i holding the 31 values of column i,
// each with a sign position in front (a blank, or "-") and a blank behind,
// the line ended by CR LF.
std::string VelocityTableText(const PickTable& table);

// The table file beside a pick file: its three-letter extension replaced by
// "VEL" (line1.NMO and line1.nmo both give line1.VEL). A name without a
// three-letter extension gets ".VEL" added, so no other file is overwritten.
std::string VelocityTablePath(const std::string& pickPath);

// The first line of a text file (without its line end), as UTF-8. False
// when the file cannot be opened. Only the first 4 MiB are looked at.
bool ReadFirstLine(const std::string& path, std::string& line);

// True when some column of the table has a CDP other than 0.
bool HasFunction(const PickTable& table);

// Converts the pick file named in Text21: the table file is written
// (atomically) beside it and Text21 then names it. Every step that fails
// (missing keys, values out of range, a table file that cannot be written)
// is skipped without a message. A pick file that yields no function at all
// (unreadable, or its picks not on the first line, as par files with one
// key a line have them) writes no table, so none replaces one already
// there: an information message names the file and the one-line rule, and
// Text21 stays on the pick file, converted again once it is mended.
void Conversion_NMO(ProgramState& state);

}  // namespace tavelo
