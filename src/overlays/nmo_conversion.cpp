#include "overlays/nmo_conversion.h"

#include <algorithm>
#include <cstdio>
#include <memory>

#include "common/dialogs.h"
#include "common/numeric.h"
#include "common/paths.h"
#include "common/safe_file.h"
#include "common/text_encoding.h"
#include "program/state.h"
#include "settings/form_fields.h"

namespace tavelo {
namespace {

// A real pick line is a few kilobytes; this only bounds what a wrong file
// (an SU file chosen by mistake, say) can make us hold.
constexpr size_t kMaxLineBytes = 4u << 20;

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Position of `key` (lower case) in `text` from `from`, ignoring ASCII case.
size_t FindIgnoringCase(std::string_view text, std::string_view key, size_t from = 0) {
  if (key.size() > text.size()) return std::string_view::npos;
  for (size_t i = from; i + key.size() <= text.size(); ++i) {
    size_t k = 0;
    while (k < key.size() && LowerAscii(text[i + k]) == key[k]) ++k;
    if (k == key.size()) return i;
  }
  return std::string_view::npos;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

void SkipBlanks(std::string_view text, size_t& i) {
  while (i < text.size() && IsBlank(text[i])) ++i;
}

}  // namespace

std::vector<double> SplitPickList(std::string_view list) {
  std::vector<double> values;
  size_t i = 0;
  SkipBlanks(list, i);
  while (i < list.size()) {
    const size_t start = i;
    while (i < list.size() && !IsBlank(list[i]) && list[i] != ',') ++i;
    const std::string_view field = list.substr(start, i - start);
    values.push_back(IsPlainNumber(field) ? LeadingNumber(field) : 0.0);
    SkipBlanks(list, i);
    if (i < list.size() && list[i] == ',') {
      ++i;
      SkipBlanks(list, i);
    }
  }
  if (values.empty()) values.push_back(0.0);
  return values;
}

PickTable ParsePickLine(std::string_view line) {
  PickTable table;
  const size_t cdpKey = FindIgnoringCase(line, "cdp=");
  if (cdpKey == std::string_view::npos) return table;
  const size_t firstTimes = FindIgnoringCase(line, " tnmo=", cdpKey);
  if (firstTimes == std::string_view::npos) return table;

  const std::vector<double> cdps = SplitPickList(line.substr(cdpKey + 4, firstTimes - (cdpKey + 4)));
  // Only the first 20 functions have a column; the rest cannot change it.
  const int functions = static_cast<int>(std::min<size_t>(cdps.size(), kVelocityFunctions));

  for (int i = 1; i <= functions; ++i)
    AssignIfFits(table.At(i, 1), cdps[i - 1]);

  // rest begins at the next key still to be read.
  std::string_view rest = line.substr(firstTimes + 1);
  for (int i = 1; i <= functions; ++i) {
    const size_t timesKey = FindIgnoringCase(rest, "tnmo=");
    if (timesKey == std::string_view::npos) break;  // no pair left: no picks
    std::string_view times;
    std::string_view velocities;
    bool haveVelocities = false;
    const size_t velocityKey = FindIgnoringCase(rest, " vnmo=", timesKey);
    if (velocityKey == std::string_view::npos) {
      times = rest.substr(timesKey + 5);
      rest = {};
    } else {
      times = rest.substr(timesKey + 5, velocityKey - (timesKey + 5));
      rest = rest.substr(velocityKey + 1);  // "vnmo=..."
      haveVelocities = true;
      const size_t nextTimes = FindIgnoringCase(rest, "tnmo=");
      if (nextTimes == std::string_view::npos) {
        velocities = rest.substr(5);  // the last function: to the line's end
        rest = {};
      } else {
        velocities = rest.substr(5, nextTimes - 5);
        rest = rest.substr(nextTimes);
      }
    }

    const std::vector<double> t = SplitPickList(times);
    for (size_t m = 0; m < t.size() && m < kMaxPicks; ++m)
      AssignIfFits(table.At(i, static_cast<int>(m) + 2), t[m] * 1000.0);
    if (!haveVelocities) continue;  // times without a vnmo= list
    const std::vector<double> v = SplitPickList(velocities);
    for (size_t m = 0; m < v.size() && m < kMaxPicks; ++m)
      AssignIfFits(table.At(i, static_cast<int>(m) + 12), v[m]);
  }
  return table;
}

std::string VelocityTableText(const PickTable& table) {
  std::string text;
  text.reserve(kVelocityFunctions * kVelocityRows * 4);
  for (int i = 1; i <= kVelocityFunctions; ++i) {
    for (int r = 1; r <= kVelocityRows; ++r) {
      text += SignedText(table.At(i, r));
      text += ' ';
    }
    text += "\r\n";
  }
  return text;
}

std::string VelocityTablePath(const std::string& pickPath) {
  const std::string name = FileNameOf(pickPath);
  const size_t dot = name.rfind('.');
  if (dot != std::string::npos && name.size() - dot == 4)
    return pickPath.substr(0, pickPath.size() - 3) + "VEL";
  return pickPath + ".VEL";
}

bool ReadFirstLine(const std::string& path, std::string& line) {
  line.clear();
  if (path.empty() || path.find('\0') != std::string::npos) return false;
  // Only a regular file: a FIFO or a device would wait for a writer forever.
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(OpenRegularFile(path), &std::fclose);
  if (!file) return false;
  char buffer[4096];
  while (line.size() < kMaxLineBytes) {
    const size_t got = std::fread(buffer, 1, sizeof buffer, file.get());
    if (got == 0) break;
    const std::string_view chunk(buffer, got);
    const size_t end = chunk.find_first_of("\r\n");
    line.append(chunk.substr(0, end));
    if (end != std::string_view::npos) break;
  }
  if (line.size() > kMaxLineBytes) line.resize(kMaxLineBytes);
  line = TextFileToUtf8(line);
  return true;
}

bool HasFunction(const PickTable& table) {
  for (int i = 1; i <= kVelocityFunctions; ++i)
    if (table.At(i, 1) != 0) return true;
  return false;
}

void Conversion_NMO(ProgramState& state) {
  const std::string pickPath = state.form.Text(kVelocityModelFile);
  // A pick file that is a FIFO, a device or a socket (in /dev, say) is
  // unreadable, and no table is made beside it.
  if (IsSpecialFile(pickPath)) return;
  std::string line;
  ReadFirstLine(pickPath, line);  // unreadable: an empty line, so an empty table
  const PickTable table = ParsePickLine(line);
  if (!HasFunction(table)) {
    // A table of zeros would draw nothing and be taken silently by every
    // later build, even once the pick file is mended: write none, keep
    // Text21 on the pick file and say why.
    state.dialogs->MessageBox("No velocity function found on the first line of " + pickPath +
                                  " (cdp=, tnmo= and vnmo= must stand on one line)",
                              msg::kInformation, kDefaultTitle);
    return;
  }
  const std::string tablePath = VelocityTablePath(pickPath);
  std::string error;
  // A failed write keeps any old table, which Text21 then names as before.
  if (!WriteFileAtomically(tablePath, VelocityTableText(table), false, &error))
    state.dialogs->MessageBox("The velocity table " + tablePath + " could not be written: " + error,
                              msg::kInformation, kDefaultTitle);
  state.form.SetText(kVelocityModelFile, tablePath);
}

}  // namespace tavelo
