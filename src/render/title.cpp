#include "render/title.h"

#include "common/numeric.h"
#include "common/paths.h"
#include "program/startup.h"

namespace tavelo {

namespace {
constexpr const char* kBatchPattern = "*.bat";
}  // namespace

void DrawTitle(ProgramState& state) {
  PageDocument& page = state.page;
  page.SetTextX(page.LeftMargin());
  page.SetTextY(850.5);  // 15 mm from the paper's edge, whatever the margin
  page.SetFontSize(14);
  page.DrawText(state.form.Text("Text1"));
}

void DrawOrientationTexts(ProgramState& state) {
  PageDocument& page = state.page;
  PlotSettings& settings = state.settings;
  settings.LeftOrientation = state.form.Text("Text13");
  settings.RightOrientation = state.form.Text("Text14");
  if (settings.LeftOrientation.empty() && settings.RightOrientation.empty()) return;

  // The velocity panels sit right above the section.
  const double above = state.form.Checked("velocity") ? 2100 : 800;
  page.SetTextY(state.layout.SectionTop - above);
  page.SetTextX(page.LeftMargin());
  page.DrawText(settings.LeftOrientation);
  page.SetTextX(page.LeftMargin() + state.layout.SectionWidth - 1000);
  page.DrawText(settings.RightOrientation);
}

std::string HistoryLowerCase(std::string_view text) {
  std::string out(text);
  for (size_t i = 0; i < out.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(out[i]);
    if (c >= 'A' && c <= 'Z') {
      out[i] = static_cast<char>(c + 32);
      continue;
    }
    if (i + 1 >= out.size()) break;
    const unsigned char next = static_cast<unsigned char>(out[i + 1]);
    if (c == 0xC3 && next >= 0x80 && next <= 0x9E && next != 0x97) {
      out[i + 1] = static_cast<char>(next + 0x20);  // À..Þ (not ×)
      ++i;
    } else if (c == 0xC5 && (next == 0x92 || next == 0xA0 || next == 0xBD)) {
      out[i + 1] = static_cast<char>(next + 1);  // Œ Š Ž
      ++i;
    } else if (c == 0xC5 && next == 0xB8) {
      out[i] = static_cast<char>(0xC3);  // Ÿ -> ÿ
      out[i + 1] = static_cast<char>(0xBF);
      ++i;
    }
  }
  return out;
}

void DrawHistoryBlock(ProgramState& state) {
  PageDocument& page = state.page;
  // The history shares the elevation graph's distance to the page top.
  const double top =
      ToInt32(state.form.Number("Text19") * kTwipsPerMm + page.TopMargin()).value_or(page.TopMargin());
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
      LoadEditorFile(state, f.fileName);
  }

  page.SetTextX(page.LeftMargin());
  page.SetTextY(top);
  page.SetFontSize(8);
  page.DrawText(HistoryLowerCase(state.editorText));
}

}  // namespace tavelo
