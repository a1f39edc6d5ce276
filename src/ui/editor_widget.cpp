#include "ui/editor_widget.h"

#include <QFontDatabase>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextCursor>

#include <algorithm>

#include "common/dialogs.h"
#include "editor/text_commands.h"
#include "output/text_print.h"
#include "program/editor_commands.h"
#include "program/state.h"

namespace tavelo {

// The strip left of the text showing the line numbers.
class LineNumberArea : public QWidget {
 public:
  explicit LineNumberArea(EditorWidget* editor) : QWidget(editor), editor_(editor) {}
  QSize sizeHint() const override { return {editor_->LineNumberAreaWidth(), 0}; }

 protected:
  void paintEvent(QPaintEvent* event) override { editor_->PaintLineNumbers(event); }

 private:
  EditorWidget* editor_;
};

namespace {

QString ShownText(const std::string& text) {
  QString shown = QString::fromStdString(text);
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return shown;
}

}  // namespace

EditorWidget::EditorWidget(ProgramState& state, EditorCommands& commands, QWidget* parent)
    : QPlainTextEdit(parent), state_(state), commands_(commands), lineNumbers_(new LineNumberArea(this)) {
  setObjectName(QStringLiteral("RichTextBox2"));
  setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  setLineWrapMode(QPlainTextEdit::NoWrap);

  const EditorSession& session = commands_.session();
  selectionSeen_ = session.selectionSerial;
  focusSeen_ = session.focusSerial;
  fontSeen_ = session.fontSerial;
  loadSeen_ = session.loadSerial;

  commands_.readSelection = [this](EditorSession& s) { ReadSelection(s); };
  commands_.printText = [this](const std::string& text) {
    const CommonDialogFields& f = state_.dialogs->fields();
    const QFont printFont = font();
    return PrintTextOnPrinter(text, f.printerName, f.printerCopies, &printFont);
  };

  connect(this, &QPlainTextEdit::textChanged, this, [this] { TextEdited(); });
  connect(this, &QPlainTextEdit::blockCountChanged, this, [this] { UpdateLineNumberWidth(); });
  connect(this, &QPlainTextEdit::updateRequest, this,
          [this](const QRect& rect, int dy) { UpdateLineNumberArea(rect, dy); });
  UpdateLineNumberWidth();
  SyncFromState();
}

EditorWidget::~EditorWidget() {
  commands_.readSelection = nullptr;
  commands_.printText = nullptr;
}

void EditorWidget::SyncFromState() {
  // First: a text loaded outside the commands (the history) counts as a load.
  const bool modified = commands_.IsModified();
  const EditorSession& session = commands_.session();
  const bool loaded = session.loadSerial != loadSeen_;
  loadSeen_ = session.loadSerial;

  if (shown_ != state_.editorText) {
    shown_ = state_.editorText;
    if (shown_.find("\r\n") != std::string::npos || shown_.find_first_of("\r\n") == std::string::npos)
      break_ = Break::CrLf;  // CR LF, the program's own line break, also for new text
    else
      break_ = shown_.find('\n') != std::string::npos ? Break::Lf : Break::Cr;
    ++updating_;
    if (loaded || document()->isEmpty()) {
      setPlainText(ShownText(shown_));  // another file: its own undo history
    } else {
      // One edit the user can undo; the text comes back plain, so formatting
      // applied before is gone.
      QTextCursor cursor(document());
      cursor.beginEditBlock();
      cursor.select(QTextCursor::Document);
      cursor.insertText(ShownText(shown_), QTextCharFormat());
      cursor.endEditBlock();
    }
    --updating_;
  }
  if (session.selectionSerial != selectionSeen_) {
    selectionSeen_ = session.selectionSerial;
    ShowSelection();
  }
  if (session.fontSerial != fontSeen_) {
    fontSeen_ = session.fontSerial;
    ApplyFont();
  }
  if (session.focusSerial != focusSeen_) {
    focusSeen_ = session.focusSerial;
    setFocus(Qt::OtherFocusReason);
  }
  if (modified != modified_) {
    modified_ = modified;
    emit modifiedChanged(modified_);
  }
}

void EditorWidget::TextEdited() {
  if (updating_ > 0) return;
  // The raw text: toPlainText() would also turn non-breaking spaces into blanks.
  QString text = document()->toRawText();
  text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
  text.replace(QChar::LineSeparator, QLatin1Char('\n'));
  std::string utf8 = text.toStdString();
  if (break_ == Break::CrLf) {
    std::string crlf;
    crlf.reserve(utf8.size() + utf8.size() / 16);
    for (char c : utf8) {
      if (c == '\n') crlf.push_back('\r');
      crlf.push_back(c);
    }
    utf8 = std::move(crlf);
  } else if (break_ == Break::Cr) {
    std::replace(utf8.begin(), utf8.end(), '\n', '\r');
  }
  // A change of format only leaves the text as it was.
  if (utf8 != shown_) {
    shown_ = utf8;
    state_.editorText = std::move(utf8);
  }
  UpdateModified();
}

void EditorWidget::UpdateModified() {
  const bool modified = commands_.IsModified();
  if (modified == modified_) return;
  modified_ = modified;
  emit modifiedChanged(modified_);
}

void EditorWidget::ReadSelection(EditorSession& session) const {
  // Not showing the state's text yet: the box's positions would not fit it.
  if (shown_ != state_.editorText) return;
  const QTextCursor cursor = textCursor();
  const auto start = static_cast<size_t>(cursor.selectionStart());
  const auto end = static_cast<size_t>(cursor.selectionEnd());
  session.selStart = EditorOffsetToByte(shown_, start);
  session.selLength = EditorOffsetToByte(shown_, end) - session.selStart;
}

void EditorWidget::ShowSelection() {
  const EditorSession& session = commands_.session();
  const int last = std::max(0, document()->characterCount() - 1);
  auto toEditor = [&](size_t byte) {
    return std::min(static_cast<int>(std::min<size_t>(ByteToEditorOffset(shown_, byte), INT32_MAX)), last);
  };
  QTextCursor cursor(document());
  cursor.setPosition(toEditor(session.selStart));
  cursor.setPosition(toEditor(session.selStart + session.selLength), QTextCursor::KeepAnchor);
  setTextCursor(cursor);
  ensureCursorVisible();
}

void EditorWidget::ApplyFont() {
  const EditorFont& chosen = commands_.session().font;
  QTextCharFormat format;
  if (!chosen.name.empty()) format.setFontFamilies(QStringList{QString::fromStdString(chosen.name)});
  if (chosen.size > 0 && chosen.size < 2000) format.setFontPointSize(chosen.size);
  // With a selection it is formatted; without, the text typed next is.
  mergeCurrentCharFormat(format);
}

bool EditorWidget::MaybeSave() {
  UpdateModified();
  if (!modified_) return true;
  const int answer = state_.dialogs->MessageBox(
      "The text in the editor has been changed." + state_.lineBreak + "Do you want to save it?",
      msg::kYesNoCancel | msg::kQuestion, kDefaultTitle);
  if (answer == msg::kNo) return true;
  if (answer != msg::kYes) return false;
  const bool saved = commands_.SaveFile();
  SyncFromState();
  return saved;
}

int EditorWidget::LineNumberAreaWidth() const {
  int digits = 1;
  for (int lines = std::max(1, blockCount()); lines >= 10; lines /= 10) ++digits;
  return 6 + fontMetrics().horizontalAdvance(QLatin1Char('9')) * digits;
}

void EditorWidget::UpdateLineNumberWidth() { setViewportMargins(LineNumberAreaWidth(), 0, 0, 0); }

void EditorWidget::UpdateLineNumberArea(const QRect& rect, int dy) {
  if (dy != 0)
    lineNumbers_->scroll(0, dy);
  else
    lineNumbers_->update(0, rect.y(), lineNumbers_->width(), rect.height());
  if (rect.contains(viewport()->rect())) UpdateLineNumberWidth();
}

void EditorWidget::resizeEvent(QResizeEvent* event) {
  QPlainTextEdit::resizeEvent(event);
  const QRect area = contentsRect();
  lineNumbers_->setGeometry(QRect(area.left(), area.top(), LineNumberAreaWidth(), area.height()));
}

void EditorWidget::PaintLineNumbers(QPaintEvent* event) {
  QPainter painter(lineNumbers_);
  painter.fillRect(event->rect(), palette().color(QPalette::AlternateBase));
  painter.setPen(palette().color(QPalette::PlaceholderText));
  QTextBlock block = firstVisibleBlock();
  int number = block.blockNumber() + 1;
  qreal top = blockBoundingGeometry(block).translated(contentOffset()).top();
  const int lineHeight = fontMetrics().height();
  while (block.isValid() && top <= event->rect().bottom()) {
    const qreal bottom = top + blockBoundingRect(block).height();
    if (block.isVisible() && bottom >= event->rect().top())
      painter.drawText(0, static_cast<int>(top), lineNumbers_->width() - 3, lineHeight, Qt::AlignRight,
                       QString::number(number));
    block = block.next();
    top = bottom;
    ++number;
  }
}

}  // namespace tavelo
