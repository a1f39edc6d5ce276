#pragma once
// The one program state: the single shared records (active SU file, plot
// settings, palette, layout, window fields, page, editor text) passed by
// reference instead of living in globals. The window and the command line
// are two faces on it.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/dialogs.h"
#include "data/su_trace_file.h"
#include "page/page_document.h"
#include "program/layout.h"
#include "settings/form.h"
#include "settings/plot_settings.h"

namespace tavelo {

struct ProgramState {
  explicit ProgramState(Dialogs& d) : dialogs(&d) {}
  ProgramState(const ProgramState&) = delete;
  ProgramState& operator=(const ProgramState&) = delete;

  Dialogs* dialogs;
  Form form;
  SuTraceFile su;
  PlotSettings settings;
  AmplitudePalette palette;
  PlotLayout layout;
  PageDocument page;
  SettingsFiles settingsFiles;
  std::string settingsFolder;

  std::string editorText;                 // the Tools tab editor (history, batch, picks)
  std::string editorPath;                 // file last loaded into or saved from it
  std::string lineBreak = "\r\n";          // LineBreak
  bool listsFilled = false;                // ListsFilled
  int drawingMode = 0;                     // display index kept by the build

  // Hooks the window sets: progress of a long build (value, maximum), and
  // event processing once per trace column so the window stays responsive.
  std::function<void(int64_t value, int64_t maximum)> progress;
  std::function<void()> processEvents;
  bool building = false;                   // a build is running
  // Printer and fonts as the platform reports them at start-up.
  std::function<std::vector<std::string>()> fontList;
};

}  // namespace tavelo
