#include "render/title.h"

#include "common/numeric.h"
#include "common/text_case.h"
#include "common/paths.h"
#include "program/startup.h"
#include "settings/form_fields.h"

namespace tavelo {

namespace {
constexpr const char* kBatchPattern = "*.bat";
}  // namespace

void DrawTitle(ProgramState& state) {
  PageDocument& page = state.page;
  page.SetTextX(page.LeftMargin());
  page.SetTextY(850.5);  // 15 mm from the paper's edge, whatever the margin
  page.SetFontSize(14);
  page.DrawText(state.form.Text(kPlotTitle));
}

void DrawOrientationTexts(ProgramState& state) {
  PageDocument& page = state.page;
  PlotSettings& settings = state.settings;
  settings.LeftOrientation = state.form.Text(kLeftOrientation);
  settings.RightOrientation = state.form.Text(kRightOrientation);
  if (settings.LeftOrientation.empty() && settings.RightOrientation.empty()) return;

  // The velocity panels sit right above the section.
  const double above = state.form.Checked(kVelocityDrawing) ? 2100 : 800;
  page.SetTextY(state.layout.SectionTop - above);
  page.SetTextX(page.LeftMargin());
  page.DrawText(settings.LeftOrientation);
  page.SetTextX(page.LeftMargin() + state.layout.SectionWidth - 1000);
  page.DrawText(settings.RightOrientation);
}

std::string HistoryLowerCase(std::string_view text) { return Utf8ToLower(text); }

void DrawHistoryBlock(ProgramState& state) {
  PageDocument& page = state.page;
  // The history shares the elevation graph's distance to the page top.
  const double top =
      ToInt32(state.form.Number(kElevationTopMm) * kTwipsPerMm + page.TopMargin()).value_or(page.TopMargin());
  const std::string historyFile = HistoryFileName(state.su.ActiveFilePath);

  // A SEG-Y file's textual header, loaded into the editor with the file,
  // stands in for a missing history file.
  if (FileExists(historyFile) != 1 && !SegyTextStandsIn(state)) {
    // No history beside the SU file: print a batch file instead.
    CommonDialogFields& f = state.dialogs->fields();
    f.title = "Korvane Batch file";
    f.filter = "Seismic Unix batch|*.bat|All files|*.*|";
    f.filterIndex = 1;
    f.initialFolder = state.su.DataFolder;
    f.fileName = kBatchPattern;
    f.flags = 4096;
    // A cancel leaves the pattern as the name; it is not a file to load.
    if (state.dialogs->ChooseFileToOpen() && f.fileName != kBatchPattern)
      (void)LoadEditorFile(state, f.fileName);  // unreadable: no history block
  }

  page.SetTextX(page.LeftMargin());
  page.SetTextY(top);
  page.SetFontSize(8);
  page.DrawText(HistoryLowerCase(state.editorText));
}

}  // namespace tavelo
