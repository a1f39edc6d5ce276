#include "program/editor_commands.h"

#include <algorithm>

#include "common/safe_file.h"
#include "common/text_encoding.h"
#include "editor/text_commands.h"
#include "program/handlers.h"
#include "program/startup.h"
#include "settings/form_fields.h"

namespace tavelo {
namespace {

constexpr int kToolsTab = 2;
constexpr std::string_view kBom = "\xEF\xBB\xBF";

EditorEncoding EncodingOf(std::string_view bytes) {
  if (bytes.substr(0, kBom.size()) == kBom) return EditorEncoding::Utf8WithBom;
  return IsValidUtf8(bytes) ? EditorEncoding::Utf8 : EditorEncoding::Windows1252;
}

EditorEncoding EncodingOfFile(const std::string& path) {
  const std::optional<std::string> bytes = ReadWholeFile(path);
  return bytes ? EncodingOf(*bytes) : EditorEncoding::Utf8;
}

}  // namespace

std::string HowToUseText(const std::string& lineBreak) {
  static constexpr const char* kLines[] = {
      "- Select the file to print  ",
      "- Enter the positions of elements (plot, fold, topo...)    ",
      "- Check carefully the paper size and plot size, and paper margin  ",
      "- All parameters will be saved in the INI file",
      "When done click on OK display to see the plot ",
      "Start to try display with few (<200 traces) to verify parameters  ",
      "before to print large sections.",
      "To print large sections, you need to have a printer driver allowing large paper size installed   ",
      "If you have no trace label, check the header, try odd/even value for stacked traces!",
      " If your plot is not complete look like garbage, check the SIZE of your plot, the size of paper margins ... !   ",
  };
  std::string text = " How to use Tavelo Module" + lineBreak + lineBreak;
  for (const char* line : kLines) text += line + lineBreak;
  return text;
}

EditorCommands::EditorCommands(ProgramState& state) : state_(state) {
  session_.cleanText = state_.editorText;
  session_.path = state_.editorPath;
  if (!session_.path.empty()) session_.encoding = EncodingOfFile(session_.path);
}

void EditorCommands::TextLoaded(const std::string& path, EditorEncoding encoding) {
  session_.path = path;
  session_.cleanText = state_.editorText;
  session_.encoding = encoding;
  session_.selStart = 0;
  session_.selLength = 0;
  ++session_.selectionSerial;
  ++session_.loadSerial;
}

void EditorCommands::NoteLoadedFile() {
  if (state_.editorPath != session_.path)
    TextLoaded(state_.editorPath, EncodingOfFile(state_.editorPath));
}

void EditorCommands::ClampSelection() {
  const size_t size = state_.editorText.size();
  session_.selStart = std::min(session_.selStart, size);
  session_.selLength = std::min(session_.selLength, size - session_.selStart);
}

void EditorCommands::PullSelection() {
  NoteLoadedFile();
  if (readSelection) readSelection(session_);
  ClampSelection();
}

bool EditorCommands::IsModified() {
  NoteLoadedFile();
  return state_.editorText != session_.cleanText;
}

std::string EditorCommands::SelectedText() const {
  const std::string& text = state_.editorText;
  const size_t start = std::min(session_.selStart, text.size());
  return text.substr(start, std::min(session_.selLength, text.size() - start));
}

bool EditorCommands::OpenFile() {
  static constexpr const char* kPattern = "*.TXT";
  CommonDialogFields& f = state_.dialogs->fields();
  f.cancelError = false;
  f.title = "Text selection";
  f.filter = "SU history File |*.TXT|Parameter NMO|*.NMO| batch|*.bat|*.NMO|All files|*.*|";
  f.fileName = kPattern;
  state_.dialogs->ChooseFileToOpen();
  const std::string chosen = f.fileName;
  ShowTab(state_, kToolsTab);
  // A cancel leaves the pattern as the name: nothing to load, the text stays.
  if (chosen == kPattern || chosen.empty()) return false;
  const std::optional<std::string> bytes = ReadWholeFile(chosen);
  if (!bytes || !LoadEditorFile(state_, chosen)) return false;
  TextLoaded(chosen, EncodingOf(*bytes));
  return true;
}

bool EditorCommands::SaveTo(const std::string& path) {
  if (path.empty()) return false;
  std::string bytes;
  EditorEncoding encoding = session_.encoding;
  if (encoding == EditorEncoding::Windows1252) {
    bool lossless = false;
    bytes = Utf8ToWindows1252(state_.editorText, &lossless);
    // A character Windows-1252 cannot hold would be lost: keep it in UTF-8.
    if (!lossless) encoding = EditorEncoding::Utf8;
  }
  if (encoding == EditorEncoding::Utf8) bytes = state_.editorText;
  if (encoding == EditorEncoding::Utf8WithBom) bytes = std::string(kBom) + state_.editorText;
  if (!WriteFileAtomically(path, bytes, false, nullptr, DeviceTargets::WriteInPlace)) return false;
  state_.editorPath = path;
  session_.path = path;
  session_.cleanText = state_.editorText;
  session_.encoding = encoding;
  return true;
}

bool EditorCommands::SaveFile() {
  NoteLoadedFile();
  CommonDialogFields& f = state_.dialogs->fields();
  f.cancelError = false;
  f.title = "Text selection";
  f.filter = "SU Batch File |*.BAT|Text files|*.txt|All files|*.*|";
  f.fileName.clear();
  state_.dialogs->ChooseFileToSave();
  // A cancel leaves the name empty: nothing is written.
  return SaveTo(f.fileName);
}

void EditorCommands::FindText() {
  const std::string searched = state_.dialogs->InputBox("Type the text to find", "SU Batch editor", "");
  if (searched.empty()) return;
  ShowTab(state_, kToolsTab);
  PullSelection();
  if (auto found = FindAfterCaret(state_.editorText, searched, session_.selStart)) {
    session_.selStart = *found;
    session_.selLength = searched.size();
    ++session_.selectionSerial;
  } else {
    state_.dialogs->Beep();
  }
  ++session_.focusSerial;
}

void EditorCommands::ReplaceText() {
  ShowTab(state_, kToolsTab);
  Dialogs& d = *state_.dialogs;
  const std::string searched = d.InputBox("Enter text to be replaced", kDefaultTitle, "");
  const std::string replacement = d.InputBox("Enter new text ", kDefaultTitle, "");
  PullSelection();
  std::string text = state_.editorText;
  ReplaceAll(text, searched, replacement);
  if (text == state_.editorText) return;
  // The whole text is put back, as plain text: the caret goes to the start.
  state_.editorText = std::move(text);
  session_.selStart = 0;
  session_.selLength = 0;
  ++session_.selectionSerial;
}

void EditorCommands::ChooseFont() {
  ShowTab(state_, kToolsTab);
  CommonDialogFields& f = state_.dialogs->fields();
  f.flags = 3;  // screen and printer fonts
  state_.dialogs->ChooseFont();
  // A cancel leaves the fields as the last use left them; those apply.
  session_.font.name = f.fontName;
  session_.font.size = f.fontSize;
  ++session_.fontSerial;
}

void EditorCommands::Print(bool showToolsTab) {
  if (showToolsTab) ShowTab(state_, kToolsTab);
  PullSelection();
  const bool selection = session_.selLength > 0;
  CommonDialogFields& f = state_.dialogs->fields();
  // 256: a device to print on, 8: no page-number fields, 1: "selection" chosen.
  f.flags = 264 | (selection ? 1 : 0);
  // Asked as a failure for this call only, so a cancelled dialog prints
  // nothing instead of printing on the printer chosen before.
  const bool cancelError = f.cancelError;
  f.cancelError = true;
  const bool chosen = state_.dialogs->ChoosePrinter();
  f.cancelError = cancelError;
  if (!chosen || !printText) return;
  printText(selection ? SelectedText() : state_.editorText);
}

void EditorCommands::HowToUse() {
  state_.dialogs->MessageBox(HowToUseText(state_.lineBreak), msg::kInformation, kDefaultTitle);
}

void AttachEditorHandlers(ProgramState& state, EditorCommands& commands) {
  Form& form = state.form;
  EditorCommands* c = &commands;
  // A cancelled or failed open or save leaves the text and its file as they were.
  form.On(kOpenFileItem, FieldEvent::Click, [c] { (void)c->OpenFile(); });
  form.On(kSaveFileItem, FieldEvent::Click, [c] { (void)c->SaveFile(); });
  form.On(kFindTextItem, FieldEvent::Click, [c] { c->FindText(); });
  form.On(kReplaceTextItem, FieldEvent::Click, [c] { c->ReplaceText(); });
  form.On(kEditorFontItem, FieldEvent::Click, [c] { c->ChooseFont(); });
  form.On(kPrintTextItem, FieldEvent::Click, [c] { c->Print(true); });
  form.On(kPrintHistoryButton, FieldEvent::Click, [c] { c->Print(false); });
  form.On(kHowToUseButton, FieldEvent::Click, [c] { c->HowToUse(); });
}

}  // namespace tavelo
