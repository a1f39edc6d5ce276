// The editor widget bound to the program state: text both ways with the
// text's own line breaks, the commands' selection, font and undo, the
// modified mark and the question before unsaved text goes.

#include <gtest/gtest.h>

#include <QApplication>
#include <QTextBlock>
#include <QTextCursor>

#include "support/scripted_dialogs.h"
#include "program/editor_commands.h"
#include "program/handlers.h"
#include "program/state.h"
#include "settings/form_fields.h"
#include "support/su_writer.h"
#include "ui/editor_widget.h"
#include "support/gui_app.h"

namespace tavelo {
namespace {

struct WidgetFixture {
  ScriptedDialogs dialogs;
  ProgramState state{dialogs};
  EditorCommands commands{state};

  explicit WidgetFixture(std::string text = {}) {
    test::EnsureGuiApp();
    AttachFieldHandlers(state);
    AttachEditorHandlers(state, commands);
    state.editorText = std::move(text);
  }
  void Fire(FieldName name) { state.form.Fire(name, FieldEvent::Click); }
};

TEST(EditorWidget, ShowsTheTextAndWritesEditsBackWithItsOwnLineBreaks) {
  WidgetFixture f("sunmo\r\nsustack\r\n");
  EditorWidget editor(f.state, f.commands);
  EXPECT_EQ(editor.toPlainText(), "sunmo\nsustack\n");
  QTextCursor cursor(editor.document());
  cursor.movePosition(QTextCursor::End);
  editor.setTextCursor(cursor);
  editor.insertPlainText(QStringLiteral("suximage\n"));
  EXPECT_EQ(f.state.editorText, "sunmo\r\nsustack\r\nsuximage\r\n");

  // A file with line feeds keeps them; a new text takes CR LF.
  f.state.editorText = "cdp=1\nvnmo=1500\n";
  editor.SyncFromState();
  editor.moveCursor(QTextCursor::End);
  editor.insertPlainText(QStringLiteral("x\n"));
  EXPECT_EQ(f.state.editorText, "cdp=1\nvnmo=1500\nx\n");
  f.state.editorText.clear();
  editor.SyncFromState();
  editor.insertPlainText(QStringLiteral("a\nb"));
  EXPECT_EQ(f.state.editorText, "a\r\nb");
}

TEST(EditorWidget, ShowsTheMatchFindSelectsAndReadsTheCaretItShows) {
  // Before the matches: a CR LF, a two-byte and a four-byte character.
  WidgetFixture f("\xC3\xA9t\xC3\xA9\r\n\xF0\x9D\x84\x9E Sunmo\r\nSunmo");
  EditorWidget editor(f.state, f.commands);
  f.dialogs.answers = {"Sunmo"};
  f.Fire(kFindTextItem);
  editor.SyncFromState();
  EXPECT_EQ(editor.textCursor().selectedText(), "Sunmo");
  EXPECT_EQ(editor.textCursor().selectionStart(), 7);  // é t é ¶ 𝄞(2) blank

  // The next search starts from the widget's caret, wherever the user put it.
  f.dialogs.answers = {"Sunmo"};
  f.Fire(kFindTextItem);
  editor.SyncFromState();
  EXPECT_EQ(editor.textCursor().selectionStart(), 13);
  QTextCursor cursor(editor.document());
  cursor.setPosition(1);
  cursor.setPosition(3, QTextCursor::KeepAnchor);
  editor.setTextCursor(cursor);
  std::string printed;
  f.commands.printText = [&printed](const std::string& text) {
    printed = text;
    return true;
  };
  f.dialogs.printers = {PrinterChoice{"p", 1}};
  f.Fire(kPrintTextItem);
  EXPECT_EQ(printed, "t\xC3\xA9");
  EXPECT_EQ(f.dialogs.requests.back().flags, 265);

  // A text the box does not show yet: its caret does not apply to it.
  editor.moveCursor(QTextCursor::End);
  f.state.editorText = "Sunmo Sunmo";
  f.commands.session().selStart = 0;
  f.dialogs.answers = {"Sunmo"};
  f.Fire(kFindTextItem);
  EXPECT_EQ(f.commands.session().selStart, 6u);
}

TEST(EditorWidget, AReplacementCanBeUndoneAndDropsTheFormatting) {
  WidgetFixture f("vnmo=1500\r\nvnmo=1600\r\n");
  EditorWidget editor(f.state, f.commands);
  editor.selectAll();
  f.dialogs.fonts = {FontChoice{"Courier New", 20}};
  f.Fire(kEditorFontItem);
  editor.SyncFromState();
  EXPECT_EQ(editor.document()->firstBlock().begin().fragment().charFormat().fontPointSize(), 20);
  EXPECT_EQ(f.state.editorText, "vnmo=1500\r\nvnmo=1600\r\n");  // the text is plain

  f.dialogs.answers = {"vnmo", "tnmo"};
  f.Fire(kReplaceTextItem);
  editor.SyncFromState();
  EXPECT_EQ(editor.toPlainText(), "tnmo=1500\ntnmo=1600\n");
  EXPECT_NE(editor.document()->firstBlock().begin().fragment().charFormat().fontPointSize(), 20);
  editor.undo();
  EXPECT_EQ(f.state.editorText, "vnmo=1500\r\nvnmo=1600\r\n");
}

TEST(EditorWidget, MarksModifiedTextAndAsksBeforeItGoes) {
  const std::string path = test::TempFile("job.BAT");
  ASSERT_TRUE(test::WriteBytes(path, "sunmo\r\n"));
  WidgetFixture f;
  EditorWidget editor(f.state, f.commands);
  std::vector<bool> marks;
  QObject::connect(&editor, &EditorWidget::modifiedChanged, [&marks](bool m) { marks.push_back(m); });
  f.dialogs.files.push_back(path);
  f.Fire(kOpenFileItem);
  editor.SyncFromState();
  EXPECT_FALSE(editor.property("modified").toBool());
  EXPECT_TRUE(editor.MaybeSave());
  EXPECT_TRUE(f.dialogs.shown.empty());  // nothing to ask

  editor.moveCursor(QTextCursor::End);
  editor.insertPlainText(QStringLiteral("sustack"));
  EXPECT_TRUE(editor.IsModified());
  ASSERT_FALSE(marks.empty());
  EXPECT_TRUE(marks.back());

  f.dialogs.buttons = {msg::kCancel, msg::kNo};
  EXPECT_FALSE(editor.MaybeSave());
  EXPECT_EQ(f.dialogs.shown.back().style, msg::kYesNoCancel | msg::kQuestion);
  EXPECT_TRUE(editor.MaybeSave());
  EXPECT_EQ(test::ReadBytes(path), "sunmo\r\n");

  // Yes, then a cancelled save dialog: the text stays open.
  f.dialogs.buttons = {msg::kYes};
  f.dialogs.files.push_back(std::nullopt);
  EXPECT_FALSE(editor.MaybeSave());
  f.dialogs.buttons = {msg::kYes};
  f.dialogs.files.push_back(path);
  EXPECT_TRUE(editor.MaybeSave());
  EXPECT_EQ(test::ReadBytes(path), "sunmo\r\nsustack");
  EXPECT_FALSE(editor.IsModified());
  EXPECT_FALSE(marks.back());
}

TEST(EditorWidget, LineNumbersMakeRoomForTheLongestNumber) {
  WidgetFixture f("a");
  EditorWidget editor(f.state, f.commands);
  const int narrow = editor.LineNumberAreaWidth();
  std::string text;
  for (int i = 0; i < 1200; ++i) text += "line\r\n";
  f.state.editorText = text;
  editor.SyncFromState();
  EXPECT_GT(editor.LineNumberAreaWidth(), narrow);
}

TEST(EditorWidget, TheCommandsOutliveTheWidget) {
  WidgetFixture f("abc");
  {
    EditorWidget editor(f.state, f.commands);
  }
  EXPECT_FALSE(f.commands.readSelection);
  EXPECT_FALSE(f.commands.printText);
  f.dialogs.answers = {"b"};
  f.Fire(kFindTextItem);
  EXPECT_EQ(f.commands.session().selStart, 1u);
}

}  // namespace
}  // namespace tavelo
