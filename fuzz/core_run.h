#pragma once
// One page built from an SU file through the core, as the command line
// builds it: batch dialogs (every question takes its default, a question
// that comes back stops the build), the start-up without the window, a few
// window fields set, then "OK  Display". Shared by the fuzz targets, the
// mutation driver and the reliability tests, so all three exercise the
// same path. Header-only so the test suite can use it without a library.

#include <cstdint>
#include <iosfwd>
#include <ostream>
#include <sstream>
#include <streambuf>
#include <string>

#include "app/wiring.h"
#include "common/batch_dialogs.h"
#include "data/su_trace_file.h"
#include "program/startup.h"
#include "program/state.h"
#include "program/su_file_fields.h"
#include "render/builder.h"
#include "settings/form_fields.h"

namespace tavelo::reliability {

// The window fields a run changes after start-up, drawn from 16 bits so a
// fuzzer or a mutation can reach every display type and overlay.
struct BuildOptions {
  int displayType = 0;    // combo1 index 0..5
  bool fold = false, topo = false, elevation = false, statics = false;
  bool velocity = false, inverse = false, cdp = false, time = false;
  bool history = false, dead = false, equalize = true, station = false;
  std::string velocityFile;  // Text21 when the velocity box is checked
};

inline BuildOptions OptionsFromBits(uint16_t bits) {
  BuildOptions o;
  o.displayType = (bits & 7) % 6;
  o.fold = bits & (1u << 3);
  o.topo = bits & (1u << 4);
  o.elevation = bits & (1u << 5);
  o.statics = bits & (1u << 6);
  o.velocity = bits & (1u << 7);
  o.inverse = bits & (1u << 8);
  o.cdp = bits & (1u << 9);
  o.time = bits & (1u << 10);
  o.history = bits & (1u << 11);
  o.dead = bits & (1u << 12);
  o.equalize = !(bits & (1u << 13));
  o.station = bits & (1u << 14);
  return o;
}

enum class Outcome {
  Page,     // the page was built (PageCount 1)
  Refused,  // the file checks refused it, with their message
  Stopped,  // a question came back after its default answer: stopped, with a line
  NoPage,   // the build ended without a page
};

struct BuildResult {
  Outcome outcome = Outcome::NoPage;
  std::string message;  // the refusal or stop reason
  size_t operations = 0;
};

namespace detail {
struct NullBuffer : std::streambuf {
  int overflow(int c) override { return c; }
};
}  // namespace detail

// `settingsDir` holds (or will hold) TAVELO3.ini and Korvane.ini; nothing is
// saved there. `log` receives the questions and messages (nowhere when null).
inline BuildResult BuildPage(const std::string& suPath, const std::string& settingsDir,
                             const BuildOptions& options, std::ostream* log = nullptr) {
  detail::NullBuffer nullBuffer;
  std::ostream nullStream(&nullBuffer);
  BatchDialogs dialogs({}, log ? *log : nullStream);
  ProgramState state(dialogs);
  state.settingsFolder = settingsDir;
  state.fontList = [] { return std::vector<std::string>{"Arial", "Courier New"}; };

  BuildResult result;
  try {
    if (!CheckSuFile(suPath, dialogs)) {
      result.outcome = Outcome::Refused;
      result.message = dialogs.messages().empty() ? "refused" : dialogs.messages().back();
      return result;
    }
    AttachProgramHandlers(state);
    Startup(state, suPath);
    Form& form = state.form;
    if (!form.Items(kDisplayType).empty()) form.SetListIndex(kDisplayType, options.displayType);
    form.SetValue(kFoldDrawing, options.fold);
    form.SetValue(kTopoDrawing, options.topo);
    form.SetValue(kElevationDiagram, options.elevation);
    form.SetValue(kStaticsPanel, options.statics);
    form.SetValue(kInverseTraces, options.inverse);
    form.SetValue(kCdpNumbering, options.cdp);
    form.SetValue(kTimeSection, options.time);
    form.SetValue(kPrintHistory, options.history);
    form.SetValue(kDeadTraces, options.dead);
    form.SetValue(kEqualization, options.equalize);
    form.SetValue(kStationNumbers, options.station);
    if (options.velocity && !options.velocityFile.empty()) {
      form.SetText(kVelocityModelFile, options.velocityFile);
      form.SetValue(kVelocityDrawing, 1);
    }
    DoDocument(state);
  } catch (const BatchStopped& stop) {
    result.outcome = Outcome::Stopped;
    result.message = stop.what();
    return result;
  }
  result.operations = state.page.ops().size();
  result.outcome = state.page.PageCount() == 1 ? Outcome::Page : Outcome::NoPage;
  return result;
}

inline const char* OutcomeName(Outcome o) {
  switch (o) {
    case Outcome::Page: return "page";
    case Outcome::Refused: return "refused";
    case Outcome::Stopped: return "stopped";
    case Outcome::NoPage: return "no page";
  }
  return "?";
}

}  // namespace tavelo::reliability
