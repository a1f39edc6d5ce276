#pragma once
// The bodies of the fuzz targets. Each takes one input, runs it through
// the code under test and checks what must hold for every input; a broken
// rule aborts with a line saying which. libFuzzer calls them from
// fuzz/fuzz_*.cpp; the test suite replays the saved corpus and the inputs
// of past failures through the same functions.
//
// TAVELO_SOURCE_DIR must name the source tree (for the sample settings).

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "byte_reader.h"
#include "support/scripted_dialogs.h"
#include "common/numeric.h"
#include "core_run.h"
#include "editor/text_commands.h"
#include "output/wmf_writer.h"
#include "overlays/nmo_conversion.h"
#include "overlays/velocity.h"
#include "page/page_document.h"
#include "settings/form_fields.h"
#include "settings/plot_settings.h"
#include "settings/profile.h"

namespace tavelo::reliability {

[[noreturn]] inline void Fail(const char* target, const std::string& what) {
  std::fprintf(stderr, "%s: %s\n", target, what.c_str());
  std::fflush(stderr);
  std::abort();
}

// A folder of this process for the files a target writes: in memory when
// /dev/shm is there (a run's file writes then cost no disk), removed at exit.
inline const std::string& WorkFolder() {
  static const std::string folder = [] {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path base = fs::is_directory("/dev/shm", ec) && ::access("/dev/shm", W_OK) == 0
                        ? fs::path("/dev/shm")
                        : fs::temp_directory_path(ec);
    std::string pattern = (base / "tavelo-fuzz-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) Fail("setup", "cannot make a work folder");
    static const std::string made = pattern;
    std::atexit([] {
      std::error_code e;
      std::filesystem::remove_all(made, e);
    });
    return pattern;
  }();
  return folder;
}

inline void WritePlain(const std::string& path, std::string_view bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) Fail("setup", "cannot write " + path);
  if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

inline bool FileExistsPlain(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f) std::fclose(f);
  return f != nullptr;
}

inline std::string ReadPlain(const std::string& path) {
  std::string bytes;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return bytes;
  char buffer[4096];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.append(buffer, got);
  std::fclose(f);
  return bytes;
}

// ---------------------------------------------------------------------------
// SU bytes -> describing read -> page. Input: 2 bytes of options (display
// type and overlays, see OptionsFromBits), then the SU file.

inline int FuzzSuBuild(const uint8_t* data, size_t size) {
  struct Setup {
    std::string settings, suPath, velPath;
    Setup() {
      const std::string& work = WorkFolder();
      settings = work + "/settings";
      std::filesystem::create_directories(settings);
      for (const char* name : {"TAVELO3.ini", "Korvane.ini"})
        WritePlain(settings + "/" + name, ReadPlain(std::string(TAVELO_SOURCE_DIR) + "/sample/" + name));
      suPath = work + "/line.su";
      // Velocity functions at CDPs the mutated and synthetic lines carry.
      velPath = work + "/line.VEL";
      WritePlain(velPath, VelocityTableText(ParsePickLine(
          "cdp=1,101,150,250 tnmo=0.1,0.5 vnmo=1500,1800 tnmo=0.2,0.6,1.2 vnmo=1550,1900,2600 "
          "tnmo=0,0.3 vnmo=0,1700 tnmo=0.4,0.4 vnmo=2000,2000")));
    }
  };
  static const Setup setup;
  ByteReader in(data, size);
  const uint16_t bits = in.U16();
  const std::string_view su = in.Rest();
  WritePlain(setup.suPath, su);

  BuildOptions options = OptionsFromBits(bits);
  options.velocityFile = setup.velPath;
  const BuildResult result = BuildPage(setup.suPath, setup.settings, options);
  switch (result.outcome) {
    case Outcome::Refused:
      if (!su.empty()) Fail("su_build", "a file that is there and not empty was refused: " + result.message);
      break;
    case Outcome::Stopped:
      if (result.message.empty()) Fail("su_build", "stopped without a reason");
      break;
    case Outcome::NoPage:
      Fail("su_build", "the build ended without a page and without a reason");
    case Outcome::Page:
      if (su.empty()) Fail("su_build", "an empty file was built");
      if (result.operations == 0) Fail("su_build", "a page without its frame");
      break;
  }
  return 0;
}

// ---------------------------------------------------------------------------
// Profile files. Input: TAVELO3.ini text, a 0 byte, Korvane.ini bytes.

namespace detail {

struct KeyName {
  std::string section, key;
  bool operator<(const KeyName& o) const {
    return section != o.section ? section < o.section : key < o.key;
  }
};

inline std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

inline std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// Every section/key name the text seems to hold (a rough reading of its
// own: a name it gets wrong only makes the comparison look at a default).
inline std::vector<KeyName> KeyNames(std::string_view text) {
  std::vector<KeyName> names;
  std::string section;
  size_t start = 0;
  while (start <= text.size()) {
    size_t stop = text.find_first_of("\r\n", start);
    if (stop == std::string_view::npos) stop = text.size();
    const std::string_view line = TrimBlanks(text.substr(start, stop - start));
    if (!line.empty() && line.front() == '[') {
      const size_t close = line.rfind(']');
      if (close != std::string_view::npos && close > 0)
        section = std::string(TrimBlanks(line.substr(1, close - 1)));
    } else if (!line.empty() && line.front() != ';') {
      const size_t eq = line.find('=');
      if (eq != std::string_view::npos && eq > 0 && !section.empty())
        names.push_back({section, std::string(TrimBlanks(line.substr(0, eq)))});
    }
    start = stop + 1;
  }
  return names;
}

// The keys SaveSettings writes, lower case, by file.
inline bool WrittenByUs(const KeyName& k, bool korvane) {
  if (korvane) {
    if (Lower(k.section) != "korvane") return false;
    const std::string key = Lower(k.key);
    for (int i = 1; i <= 16; ++i)
      if (key == "amplitude" + std::to_string(i)) return true;
    return false;
  }
  if (Lower(k.section) != "draw_parameter") return false;
  static const char* const kKeys[] = {
      "line1", "line2", "tavelo1", "tavelo2", "tavelo3", "tavelo4", "couleur1", "couleur2",
      "couleur3", "couleur4", "graphical_prog", "enlarge", "large_plot", "haut_plot",
      "haut_fold", "time_plot", "time_line", "echelle", "label_spacing", "first_label",
      "type_display", "nbfold", "orient1", "orient2", "egal", "fold", "inverse", "topo",
      "time", "dead", "velocity", "history", "cdp", "station", "statics", "elevation", "noise2"};
  const std::string key = Lower(k.key);
  for (const char* name : kKeys)
    if (key == name) return true;
  return false;
}

// Load both texts, save (in memory: the files have no path), return the bytes.
inline std::pair<std::string, std::string> LoadAndSave(std::string_view tavelo,
                                                       std::string_view korvane) {
  ScriptedDialogs dialogs;
  ProgramState state(dialogs);
  state.settingsFiles.tavelo.LoadFromText(tavelo);
  state.settingsFiles.korvane.LoadFromText(korvane);
  LoadSettings(state.settingsFiles, state.settings, state.palette, state.form);
  (void)SaveSettings(state.settingsFiles, state.settings, state.form);  // in memory: no file
  return {state.settingsFiles.tavelo.ToBytes(), state.settingsFiles.korvane.ToBytes()};
}

}  // namespace detail

inline int FuzzProfile(const uint8_t* data, size_t size) {
  using namespace detail;
  ByteReader in(data, size);
  const std::string tavelo = in.Text(1u << 16);
  const std::string korvane(in.Rest());

  // Read and written back unchanged, a file comes back byte for byte.
  for (const std::string* text : {&tavelo, &korvane}) {
    ProfileFile file;
    file.LoadFromText(*text);
    if (file.ToBytes() != *text) Fail("profile", "an unchanged file is not written back as read");
  }

  const auto [tavelo2, korvane2] = LoadAndSave(tavelo, korvane);
  // No key of the main application (or any other we do not write) is lost
  // or changed by a save.
  for (int which = 0; which < 2; ++which) {
    ProfileFile before, after;
    before.LoadFromText(which ? korvane : tavelo);
    after.LoadFromText(which ? korvane2 : tavelo2);
    for (const KeyName& k : KeyNames(which ? korvane : tavelo)) {
      if (WrittenByUs(k, which == 1)) continue;
      const std::string missing = "\x01 missing";
      if (before.Get(k.section, k.key, missing) != after.Get(k.section, k.key, missing))
        Fail("profile", "the save changed [" + k.section + "] " + k.key);
    }
  }
  // Starting and closing again settles: the settings do not drift. (One
  // more round may still change a value, as the default blank of
  // "Graphical_Prog" is written but read back without its blank.)
  const auto [tavelo3, korvane3] = LoadAndSave(tavelo2, korvane2);
  const auto [tavelo4, korvane4] = LoadAndSave(tavelo3, korvane3);
  if (tavelo4 != tavelo3) Fail("profile", "TAVELO3.ini changes on every start and close");
  if (korvane4 != korvane3) Fail("profile", "Korvane.ini changes on every start and close");
  return 0;
}

// ---------------------------------------------------------------------------
// Pick-file conversion. Input: the pick file.

inline int FuzzPicks(const uint8_t* data, size_t size) {
  static const std::string picks = WorkFolder() + "/line1.NMO";
  static const std::string table = WorkFolder() + "/line1.VEL";
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  WritePlain(picks, bytes);
  std::remove(table.c_str());

  ScriptedDialogs dialogs;
  ProgramState state(dialogs);
  state.form.SetText(kVelocityModelFile, picks);
  Conversion_NMO(state);
  std::string first;
  ReadFirstLine(picks, first);
  if (!HasFunction(ParsePickLine(first))) {
    // No function: no table, Text21 left on the pick file, one message.
    if (state.form.Text(kVelocityModelFile) != picks) Fail("picks", "Text21 left the pick file without a table");
    if (FileExistsPlain(table)) Fail("picks", "a table written for a pick file without functions");
    if (dialogs.shown.size() != 1) Fail("picks", "no message for a pick file without functions");
    return 0;
  }
  if (state.form.Text(kVelocityModelFile) != table) Fail("picks", "Text21 does not name the table file");

  // 20 lines of 31 numbers, each ended by CR LF.
  const std::string written = ReadPlain(table);
  size_t lines = 0, start = 0;
  while (start < written.size()) {
    const size_t end = written.find("\r\n", start);
    if (end == std::string::npos) Fail("picks", "a table line without its CR LF");
    size_t numbers = 0;
    for (size_t i = start; i < end; ++i)
      if (written[i] != ' ' && (i == start || written[i - 1] == ' ')) ++numbers;
    if (numbers != static_cast<size_t>(kVelocityRows)) Fail("picks", "a table line without 31 numbers");
    ++lines;
    start = end + 2;
  }
  if (lines != static_cast<size_t>(kVelocityFunctions)) Fail("picks", "a table file without 20 lines");

  // What the panels read back is what the pick line said.
  std::string line;
  ReadFirstLine(picks, line);
  const PickTable expected = ParsePickLine(line);
  const VelocityTable read = ReadVelocityTable(table);
  for (int f = 1; f <= kVelocityFunctions; ++f)
    for (int r = 1; r <= kVelocityRows; ++r)
      if (read.At(f, r) != expected.At(f, r)) Fail("picks", "the table file reads back other values");

  // The same bytes as a table file of their own: read without harm.
  ReadVelocityTable(picks);
  return 0;
}

// ---------------------------------------------------------------------------
// ReplaceAll and the editor's positions. Input: searched text, 0, the
// replacement, 0, two bytes of caret, then the text.

namespace detail {

// The plain replace loop with the documented bounds, one replacement at a time.
inline std::string ReplaceAllReference(std::string text, std::string_view a, std::string_view b,
                                       size_t& count) {
  count = 0;
  if (a.empty()) return text;
  size_t resume = CharLengthAt(b, 0);
  if (b.empty()) resume = 0;
  else if (b.find(a, resume) != std::string_view::npos) resume = b.size();
  const size_t limit = text.size() + 1;
  size_t p = 0;
  for (;;) {
    const size_t found = text.find(a, p);
    if (found == std::string::npos) break;
    text.replace(found, a.size(), b);
    p = found + resume;
    if (++count > limit) Fail("replace_all", "the bounded loop does not end");
  }
  return text;
}

}  // namespace detail

inline int FuzzReplaceAll(const uint8_t* data, size_t size) {
  ByteReader in(data, size);
  const std::string searched = in.Text(16);
  const std::string replacement = in.Text(32);
  const size_t caret = in.U16();
  const std::string text(in.Rest().substr(0, 4096));

  std::string replaced = text;
  const size_t count = ReplaceAll(replaced, searched, replacement);
  size_t expectedCount = 0;
  const std::string expected = detail::ReplaceAllReference(text, searched, replacement, expectedCount);
  if (replaced != expected || count != expectedCount)
    Fail("replace_all", "ReplaceAll differs from the one-at-a-time loop");

  if (auto found = FindAfterCaret(text, searched, caret)) {
    if (*found <= caret || text.compare(*found, searched.size(), searched) != 0)
      Fail("replace_all", "find returned a place that is not a match after the caret");
  }
  const size_t byte = EditorOffsetToByte(text, caret);
  if (byte > text.size()) Fail("replace_all", "an editor offset past the text");
  const size_t units = ByteToEditorOffset(text, byte);
  if (units > caret) Fail("replace_all", "editor offsets do not come back");
  if (EditorOffsetToByte(text, units) != byte) Fail("replace_all", "editor offsets do not round-trip");
  return 0;
}

// ---------------------------------------------------------------------------
// The metafile writer on any display list. Input: a script of drawing calls.

namespace detail {

inline uint32_t Le32(const std::string& b, size_t at) {
  return static_cast<uint32_t>(static_cast<unsigned char>(b[at])) |
         (static_cast<uint32_t>(static_cast<unsigned char>(b[at + 1])) << 8) |
         (static_cast<uint32_t>(static_cast<unsigned char>(b[at + 2])) << 16) |
         (static_cast<uint32_t>(static_cast<unsigned char>(b[at + 3])) << 24);
}
inline uint16_t Le16(const std::string& b, size_t at) {
  return static_cast<uint16_t>(static_cast<unsigned char>(b[at]) |
                               (static_cast<unsigned char>(b[at + 1]) << 8));
}

// The placeable header, the metafile header and a chain of records that
// ends with the end-of-file record exactly at the end of the bytes.
inline void CheckMetafile(const std::string& wmf) {
  if (wmf.size() < 22 + 18 + 6) Fail("wmf", "shorter than its headers");
  if (Le32(wmf, 0) != 0x9AC6CDD7u) Fail("wmf", "no placeable key");
  uint16_t sum = 0;
  for (size_t i = 0; i < 20; i += 2) sum ^= Le16(wmf, i);
  if (sum != Le16(wmf, 20)) Fail("wmf", "placeable checksum wrong");
  if (Le16(wmf, 22 + 2) != 9) Fail("wmf", "metafile header size is not 9 words");
  if (static_cast<uint64_t>(Le32(wmf, 22 + 6)) * 2 != wmf.size() - 22)
    Fail("wmf", "metafile size does not match the bytes");
  const uint32_t largest = Le32(wmf, 22 + 12);
  size_t at = 22 + 18;
  uint32_t lastSize = 0;
  uint16_t lastFunction = 0xFFFF;
  while (at < wmf.size()) {
    if (wmf.size() - at < 6) Fail("wmf", "a record cut short");
    const uint32_t words = Le32(wmf, at);
    if (words < 3 || words > (wmf.size() - at) / 2) Fail("wmf", "a record size out of the file");
    if (words > largest) Fail("wmf", "a record larger than the header's largest");
    lastSize = words;
    lastFunction = Le16(wmf, at + 4);
    at += static_cast<size_t>(words) * 2;
  }
  if (lastSize != 3 || lastFunction != 0) Fail("wmf", "does not end with the end-of-file record");
}

// A long point list from a few bytes: a zigzag with a random step.
inline std::vector<double> GeneratedPoints(ByteReader& in) {
  const size_t count = in.U16() + static_cast<size_t>(in.Byte() % 2) * 32768;
  const double x0 = in.Coordinate(), y0 = in.Coordinate();
  const double dx = static_cast<int8_t>(in.Byte()) / 4.0, dy = static_cast<int8_t>(in.Byte()) * 3.0;
  std::vector<double> xy;
  xy.reserve(count * 2);
  for (size_t i = 0; i < count; ++i) {
    xy.push_back(x0 + dx * static_cast<double>(i));
    xy.push_back(y0 + ((i & 1) ? dy : -dy));
  }
  return xy;
}

}  // namespace detail

inline int FuzzMetafile(const uint8_t* data, size_t size) {
  ByteReader in(data, size);
  PageDocument page;
  if (in.Bool()) {
    const double w = in.Bool() ? in.RawFloat() : 100.0 * in.U16();
    const double h = in.Bool() ? in.RawFloat() : 100.0 * in.U16();
    page.SetPaperSize(w, h);
  }
  page.SetLeftMargin(in.Coordinate());
  page.SetTopMargin(in.Coordinate());
  page.BeginDocument();
  for (int step = 0; step < 400 && !in.empty(); ++step) {
    switch (in.Byte() % 14) {
      case 0: page.SetFontName(in.Text(40)); break;
      case 1: page.SetFontSize(in.Bool() ? in.RawFloat() : in.Byte() / 2.0); page.SetFontBold(in.Bool()); break;
      case 2: page.SetPenColor(static_cast<Color>(in.U32())); page.SetPenWidth(in.Coordinate() - 12000); break;
      case 3: page.SetBrushColor(static_cast<Color>(in.U32())); page.SetBrushStyle(in.Byte() % 3); break;
      case 4: page.SetTextX(in.Coordinate()); page.SetTextY(in.Coordinate()); page.DrawText(in.Text(300)); break;
      case 5: {
        const double x1 = in.Coordinate(), y1 = in.Coordinate(), x2 = in.Coordinate(), y2 = in.Coordinate();
        page.DrawLine(x1, y1, x2, y2);
        break;
      }
      case 6: case 7: {
        std::vector<double> xy(in.Byte());
        for (double& v : xy) v = in.Coordinate();
        if (in.Bool()) page.DrawPolyline(std::span<const double>(xy));
        else page.DrawPolygon(std::span<const double>(xy));
        break;
      }
      case 8: {
        const std::vector<double> xy = detail::GeneratedPoints(in);
        if (in.Bool()) page.DrawPolyline(std::span<const double>(xy));
        else page.DrawPolygon(std::span<const double>(xy));
        break;
      }
      case 9: {
        const double x = in.Coordinate(), y = in.Coordinate();
        const double w = in.Coordinate() - 12000, h = in.Coordinate() - 12000;
        std::vector<Color> colors(in.U16() % 6000);
        // Any 32-bit pattern is a colour: wrap in unsigned arithmetic.
        const uint32_t base = in.U32();
        for (size_t k = 0; k < colors.size(); ++k)
          colors[k] = static_cast<Color>(base + static_cast<uint32_t>(k * 977));
        page.DrawCells(x, y, w, h, colors);
        break;
      }
      case 10: page.DrawPolylineText(in.Text(200)); break;
      case 11: page.DrawPolygonText(in.Text(200)); break;
      case 12:
        page.SetShapeX1(in.Coordinate()); page.SetShapeY1(in.Coordinate());
        page.SetShapeX2(in.Coordinate()); page.SetShapeY2(in.Coordinate());
        page.DrawShape(in.Byte() % 3);
        break;
      case 13:
        if (in.Byte() % 8 == 0) page.BeginDocument();
        break;
    }
  }
  page.EndDocument();
  const std::string wmf = WmfBytes(page);
  if (!wmf.empty()) detail::CheckMetafile(wmf);
  else if (WmfUnitsPerInch(page.PageWidth(), page.PageHeight()) != 0)
    Fail("wmf", "no metafile for a paper that fits one");
  if (DumpPage(page).rfind("page ", 0) != 0) Fail("wmf", "a dump without its page line");
  return 0;
}

}  // namespace tavelo::reliability

#include "segy_target.h"
