#pragma once
// The Tools tab editor's commands ("Editor" and "utility" menus, "Print
// History", "How to use Tavelo") as operations on the program state through
// the Dialogs interface, so they run and are tested without a window.
//
// The editor text itself is state.editorText; what a rich-text box would
// keep beside it (the selection, the chosen font, whether the text differs
// from its file) lives in one EditorSession held by EditorCommands. The
// editor widget reads the session after a command and writes its selection
// into it before one (readSelection).

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "program/state.h"

namespace tavelo {

// How the text's file was encoded; a save writes it back the same way, so a
// Windows-1252 pick file stays readable by the programs that made it.
enum class EditorEncoding : uint8_t { Utf8, Utf8WithBom, Windows1252 };

// The font chosen with "Font", for the selection or the text typed next.
struct EditorFont {
  std::string name;
  float size = 0;  // points; 0: keep the size
};

struct EditorSession {
  // Selection as byte offsets into state.editorText (SelStart, SelLength).
  size_t selStart = 0;
  size_t selLength = 0;

  EditorFont font;

  // Bumped when a command sets the selection, asks for the keyboard focus,
  // chooses a font or loads a file, so a widget knows what to show again.
  uint32_t selectionSerial = 0;
  uint32_t focusSerial = 0;
  uint32_t fontSerial = 0;
  uint32_t loadSerial = 0;

  // The text as last loaded from or saved to `path`, for the modified mark.
  std::string cleanText;
  std::string path;
  EditorEncoding encoding = EditorEncoding::Utf8;
};

class EditorCommands {
 public:
  explicit EditorCommands(ProgramState& state);
  EditorCommands(const EditorCommands&) = delete;
  EditorCommands& operator=(const EditorCommands&) = delete;

  EditorSession& session() { return session_; }
  const EditorSession& session() const { return session_; }

  // "open file" (of): the open dialog, then the file replaces the text.
  // False when cancelled or unreadable (the text is kept).
  [[nodiscard]] bool OpenFile();
  // "save file" (sf): the save dialog, then an atomic plain-text write.
  // False when cancelled or not written (any old file is kept).
  [[nodiscard]] bool SaveFile();
  // "Find text" (df): the next match after the caret is selected; a beep
  // when there is none.
  void FindText();
  // "Replace text" (rtx): two input boxes, then ReplaceAll on the text.
  void ReplaceText();
  // "Font" (ft): the font dialog; its font is recorded for the widget.
  void ChooseFont();
  // "Print" (pt, showing the Tools tab) and "Print History" (Command5, not):
  // the selection, or the whole text when nothing is selected.
  void Print(bool showToolsTab);
  // "How to use Tavelo" (Command3).
  void HowToUse();

  // Writes the text to `path` as plain text, atomically, in the encoding
  // its file came in. On success the text counts as saved.
  [[nodiscard]] bool SaveTo(const std::string& path);

  // The text differs from what was last loaded or saved.
  bool IsModified();
  // The selected part of the text (empty when nothing is selected).
  std::string SelectedText() const;

  // Set by the editor widget: writes the widget's selection into the session.
  std::function<void(EditorSession&)> readSelection;
  // Set by the window: prints plain text on the printer the dialog fields
  // name (Dialogs::fields().printerName, printerCopies). True when printed.
  std::function<bool(const std::string& text)> printText;

 private:
  void PullSelection();
  void ClampSelection();
  // Notices a text loaded outside these commands (the history at start-up).
  void NoteLoadedFile();
  void TextLoaded(const std::string& path, EditorEncoding encoding);

  ProgramState& state_;
  EditorSession session_;
};

// The help text of "How to use Tavelo", lines joined by `lineBreak`.
std::string HowToUseText(const std::string& lineBreak);

// Attaches the editor commands to their menu items and buttons (of, sf, df,
// rtx, ft, pt, Command5, Command3). `commands` must outlive the form's use.
void AttachEditorHandlers(ProgramState& state, EditorCommands& commands);

}  // namespace tavelo
