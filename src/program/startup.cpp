#include "program/startup.h"

#include "common/numeric.h"
#include "common/paths.h"
#include "common/safe_file.h"
#include "common/text_encoding.h"
#include "data/segy_reader.h"
#include "program/handlers.h"
#include "program/su_file_fields.h"
#include "settings/form_fields.h"

namespace tavelo {

std::string HistoryFileName(const std::string& suPath) {
  const std::string built = (suPath.size() >= 2 ? suPath.substr(0, suPath.size() - 2) : std::string()) + "txt";
  std::string found = FindFileIgnoringCase(built);
  return found.empty() ? built : found;
}

bool LoadEditorFile(ProgramState& state, const std::string& path) {
  const std::optional<std::string> bytes = ReadWholeFile(path);
  if (!bytes) return false;
  state.editorText = TextFileToUtf8(*bytes);
  state.editorPath = path;
  return true;
}

bool SegyTextStandsIn(const ProgramState& state) {
  const std::string& path = state.su.ActiveFilePath;
  return !FileExists(HistoryFileName(path)) && segy::CheckFile(path).segy;
}

bool LoadSegyTextualHeader(ProgramState& state) {
  if (!SegyTextStandsIn(state)) return false;
  std::optional<std::string> text = segy::SegyTextualHeader(state.su.ActiveFilePath);
  if (!text) return false;
  state.editorText = std::move(*text);
  state.editorPath.clear();  // not a file of its own: a save asks for a name
  state.form.SetCaption(kHistoryCaption, "SEG-Y textual header of " + state.su.ActiveFilePath);
  return true;
}

void Startup(ProgramState& state, const std::string& commandLine) {
  Form& form = state.form;
  SuTraceFile& su = state.su;
  PageDocument& page = state.page;

  su.ActiveFilePath = commandLine;
  su.DataFolder = FolderOf(su.ActiveFilePath);
  state.settingsFiles.Open(state.settingsFolder.empty() ? DefaultSettingsFolder()
                                                        : state.settingsFolder);
  LoadSettings(state.settingsFiles, state.settings, state.palette, form);
  if (su.ActiveFilePath.size() <= 4) return;

  if (auto description = DescribeSuFile(su.ActiveFilePath)) ShowTraceSpacing(form, *description);
  state.lineBreak = "\r\n";

  const auto widthMm = ToInt32(page.PageWidth() / kTwipsPerMm);
  const auto heightMm = ToInt32(page.PageHeight() / kTwipsPerMm);
  form.SetText(kLeftMarginMm, DecimalText(RoundTo(page.LeftMargin() / kTwipsPerMm, 2)));
  auto mm = [](int16_t twips) { return IntegerText(static_cast<int64_t>(RoundHalfEven(twips / kTwipsPerMm))); };
  form.SetText(kSectionTopMm, mm(state.settings.SectionTop));
  form.SetText(kFoldTopMm, mm(state.settings.FoldTop));
  form.SetText(kElevationTopMm, mm(state.settings.ElevationTop));
  form.SetText(kStaticsTopMm, mm(state.settings.StaticsTop));
  form.SetText(kFirstLabel, IntegerText(state.settings.FirstLabel));
  if (widthMm && heightMm) form.SetText(kPaperSize, SignedText(*widthMm) + " x " + SignedText(*heightMm));

  if (FileExists(su.ActiveFilePath)) {
    form.SetText(kSuFilePath, su.ActiveFilePath);
    form.SetText(kPlotTitle, FileNameOf(su.ActiveFilePath));
    form.SetText(kShownFileName, su.ActiveFilePath);
    ReadFileDescription(su, form, *state.dialogs);
  }

  form.SetText(kDiagramHeightMm, DecimalText(state.settings.DiagramHeight / kTwipsPerMm));
  form.SetText(kDiagramLineWidth, IntegerText(state.settings.DiagramLineWidth));
  form.SetBackColor(kFoldFillColorBox, state.settings.FoldFillColor);
  form.SetBackColor(kTopoLineColorBox, state.settings.TopoLineColor);
  form.SetBackColor(kStaticLineColorBox, state.settings.StaticLineColor);
  form.SetBackColor(kFoldLineColorBox, state.settings.FoldLineColor);

  form.SetListIndex(kZoomPercent, 0);
  form.SetListIndex(kZoomMode, 3);

  const std::vector<std::string> fonts = state.fontList ? state.fontList() : std::vector<std::string>{};
  if (fonts.empty()) {
    state.dialogs->MessageBox("No printer", msg::kCritical, kDefaultTitle);
    form.SetText(kPrinterName, "No printer");
  } else {
    for (const std::string& f : fonts) form.AddItem(kFontList, f);
    form.SetText(kPrinterName, page.PrinterName());
  }

  const std::string& lang = state.settings.LanguageCode;
  if (lang == "F") form.SetCaption(kLanguageCaption, "Français");
  else if (lang == "I") form.SetCaption(kLanguageCaption, "Italian");
  else if (lang == "S") form.SetCaption(kLanguageCaption, "Espanol");
  else if (lang == "G") form.SetCaption(kLanguageCaption, "Deutsch");

  const std::string history = HistoryFileName(su.ActiveFilePath);
  if (FileExists(history) && LoadEditorFile(state, history)) form.SetCaption(kHistoryCaption, history);
  else if (FileExists(su.ActiveFilePath)) (void)LoadSegyTextualHeader(state);  // SU: no header text

  ShowTab(state, 0);
}

}  // namespace tavelo
