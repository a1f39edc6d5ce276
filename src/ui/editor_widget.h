#pragma once
// The Tools tab editor (RichTextBox2): a plain-text box bound to
// state.editorText both ways, with line numbers, Qt's undo and redo, a
// "modified" mark and the font of the "Font" command.
//
// The text in the state keeps its own line breaks (CR LF as the program
// writes them, or what the file had); the box shows plain line feeds and
// writes edits back with the text's own breaks. Commands (find, replace,
// open, ...) work on the state; SyncFromState() shows what they changed:
// the text, the selection, the focus, the font.

#include <QPlainTextEdit>

#include <cstdint>
#include <string>

namespace tavelo {

struct EditorSession;
struct ProgramState;
class EditorCommands;

class EditorWidget : public QPlainTextEdit {
  Q_OBJECT
  Q_PROPERTY(bool modified READ IsModified NOTIFY modifiedChanged)

 public:
  // Installs the commands' hooks: the widget's selection is read before a
  // command, and printing goes to the printer the dialog chose, in this
  // box's font. The hooks are removed when the widget goes.
  EditorWidget(ProgramState& state, EditorCommands& commands, QWidget* parent = nullptr);
  ~EditorWidget() override;

  // Shows what changed in the state and the commands' session.
  void SyncFromState();

  // The text differs from the file it was last loaded from or saved to.
  bool IsModified() const { return modified_; }

  // Before the text is closed: when it is modified, asks (through the
  // program's dialogs) whether to save it. True when the text may go: saved,
  // not modified, or the user chose not to save; false to keep it open.
  bool MaybeSave();

  int LineNumberAreaWidth() const;

 signals:
  void modifiedChanged(bool modified);

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  friend class LineNumberArea;
  enum class Break : uint8_t { CrLf, Lf, Cr };

  void TextEdited();
  void ReadSelection(EditorSession& session) const;
  void ShowSelection();
  void ApplyFont();
  void UpdateModified();
  void UpdateLineNumberWidth();
  void UpdateLineNumberArea(const QRect& rect, int dy);
  void PaintLineNumbers(QPaintEvent* event);

  ProgramState& state_;
  EditorCommands& commands_;
  QWidget* lineNumbers_;

  std::string shown_;           // the state text the box shows
  Break break_ = Break::CrLf;   // line breaks edits are written back with
  int updating_ = 0;            // the box is being filled from the state
  bool modified_ = false;
  uint32_t selectionSeen_ = 0;
  uint32_t focusSeen_ = 0;
  uint32_t fontSeen_ = 0;
  uint32_t loadSeen_ = 0;
};

}  // namespace tavelo
