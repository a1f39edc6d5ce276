// The Tools tab editor's commands, run through their menu items and buttons
// with scripted dialogs.

#include <gtest/gtest.h>

#include <filesystem>

#include "common/text_encoding.h"
#include "program/editor_commands.h"
#include "settings/form_fields.h"
#include "support/program_fixture.h"
#include "support/su_writer.h"

namespace tavelo {
namespace {

struct EditorFixture : test::ProgramFixture {
  EditorCommands commands{state};
  std::vector<std::string> printed;

  EditorFixture() {
    AttachEditorHandlers(state, commands);
    commands.printText = [this](const std::string& text) {
      printed.push_back(text);
      return true;
    };
  }
  void Fire(FieldName name) { state.form.Fire(name, FieldEvent::Click); }
  int Tab() { return state.form.Value("SSTab1"); }
  void Select(size_t start, size_t length) {
    commands.session().selStart = start;
    commands.session().selLength = length;
  }
};

TEST(EditorOpenFile, AsksWithTheProductsRequestAndLoadsTheChosenFile) {
  EditorFixture p;
  const std::string path = test::TempFile("LINE1.NMO");
  ASSERT_TRUE(test::WriteBytes(path, "cdp=100\r\ntnmo=0,1000\r\n"));
  p.state.editorText = "old";
  p.dialogs.fields().cancelError = true;  // as the graphics-program dialog leaves it
  p.dialogs.files.push_back(path);
  p.Fire(kOpenFileItem);

  ASSERT_EQ(p.dialogs.requests.size(), 1u);
  const CommonDialogFields& r = p.dialogs.requests[0];
  EXPECT_EQ(r.title, "Text selection");
  EXPECT_EQ(r.filter, "SU history File |*.TXT|Parameter NMO|*.NMO| batch|*.bat|*.NMO|All files|*.*|");
  EXPECT_EQ(r.fileName, "*.TXT");
  EXPECT_FALSE(r.cancelError);
  EXPECT_EQ(p.Tab(), 2);
  EXPECT_EQ(p.state.editorText, "cdp=100\r\ntnmo=0,1000\r\n");
  EXPECT_EQ(p.state.editorPath, path);
  EXPECT_FALSE(p.commands.IsModified());
}

TEST(EditorOpenFile, ACancelOrAnUnreadableFileKeepsTheText) {
  EditorFixture p;
  p.state.editorText = "kept";
  p.dialogs.files.push_back(std::nullopt);
  p.Fire(kOpenFileItem);
  EXPECT_EQ(p.Tab(), 2);  // the tab is shown all the same
  EXPECT_EQ(p.state.editorText, "kept");

  p.dialogs.files.push_back(test::TempDir() + "/missing.TXT");
  p.Fire(kOpenFileItem);
  EXPECT_EQ(p.state.editorText, "kept");
  p.dialogs.files.push_back(test::TempDir());  // a folder
  p.Fire(kOpenFileItem);
  EXPECT_EQ(p.state.editorText, "kept");
}

TEST(EditorSaveFile, WritesThePlainTextAtomicallyOrNothing) {
  EditorFixture p;
  p.state.editorText = "sunmo vnmo=1500\r\nsustack\r\n";
  const std::string path = test::TempFile("job.BAT");
  p.dialogs.files.push_back(path);
  p.Fire(kSaveFileItem);
  const CommonDialogFields& r = p.dialogs.requests.back();
  EXPECT_EQ(r.title, "Text selection");
  EXPECT_EQ(r.filter, "SU Batch File |*.BAT|Text files|*.txt|All files|*.*|");
  EXPECT_EQ(r.fileName, "");
  EXPECT_FALSE(r.cancelError);
  EXPECT_EQ(test::ReadBytes(path), "sunmo vnmo=1500\r\nsustack\r\n");
  EXPECT_EQ(p.state.editorPath, path);
  // Formatting chosen with "Font" never reaches the file.
  p.dialogs.fonts.push_back(FontChoice{"Courier New", 14});
  p.Fire(kEditorFontItem);
  p.Fire(kSaveFileItem);  // cancelled: nothing is written, no file left behind
  p.state.editorText = "changed";
  p.dialogs.files.push_back(std::nullopt);
  p.Fire(kSaveFileItem);
  EXPECT_EQ(test::ReadBytes(path), "sunmo vnmo=1500\r\nsustack\r\n");

  // A target that cannot be replaced (a folder) keeps what is there.
  const std::string folder = test::TempDir();
  ASSERT_TRUE(test::WriteBytes(folder + "/inside", "x"));
  p.dialogs.files.push_back(folder);
  EXPECT_FALSE(p.commands.SaveFile());
  EXPECT_EQ(test::ReadBytes(folder + "/inside"), "x");
  EXPECT_TRUE(p.commands.IsModified());
  const auto dir = std::filesystem::path(path).parent_path();
  for (const auto& entry : std::filesystem::directory_iterator(dir))
    EXPECT_EQ(entry.path().filename(), "job.BAT");  // no temporary file left
}

TEST(EditorSaveFile, APickFileOpenedEditedAndSavedKeepsItsBytes) {
  EditorFixture p;
  // Windows-1252 ("é" is E9) with CR LF line breaks, as pick files come.
  const std::string original = "* vitesses \xE9tude\r\ncdp=100\r\ntnmo=0,1000\r\nvnmo=1500,2100\r\n";
  const std::string path = test::TempFile("LINE1.NMO");
  ASSERT_TRUE(test::WriteBytes(path, original));
  p.dialogs.files.push_back(path);
  p.Fire(kOpenFileItem);
  EXPECT_EQ(p.state.editorText, "* vitesses \xC3\xA9tude\r\ncdp=100\r\ntnmo=0,1000\r\nvnmo=1500,2100\r\n");
  p.dialogs.answers = {"2100", "2200"};
  p.Fire(kReplaceTextItem);
  EXPECT_TRUE(p.commands.IsModified());
  p.dialogs.files.push_back(path);
  p.Fire(kSaveFileItem);
  EXPECT_EQ(test::ReadBytes(path), "* vitesses \xE9tude\r\ncdp=100\r\ntnmo=0,1000\r\nvnmo=1500,2200\r\n");
  EXPECT_FALSE(p.commands.IsModified());

  // A character Windows-1252 cannot hold is kept: the file becomes UTF-8.
  p.state.editorText += "\xE2\x86\x92\r\n";  // an arrow
  p.dialogs.files.push_back(path);
  p.Fire(kSaveFileItem);
  EXPECT_EQ(test::ReadBytes(path), p.state.editorText);

  // UTF-8 with a byte-order mark and plain line feeds stays so.
  const std::string utf8 = "\xEF\xBB\xBF" "cdp=100\nvnmo=1500\n";
  const std::string other = test::TempFile("picks.txt");
  ASSERT_TRUE(test::WriteBytes(other, utf8));
  p.dialogs.files.push_back(other);
  p.Fire(kOpenFileItem);
  p.dialogs.files.push_back(other);
  p.Fire(kSaveFileItem);
  EXPECT_EQ(test::ReadBytes(other), utf8);
}

TEST(EditorSaveFile, TheHistoryLoadedAtStartUpCountsAsUnmodified) {
  const std::string su = test::TempFile("LINE1.SU");
  ASSERT_TRUE(test::WriteSuFile(su, test::MakeTraces(4, 10, 4000)));
  const std::string history = su.substr(0, su.size() - 2) + "txt";
  ASSERT_TRUE(test::WriteBytes(history, "sunmo\r\nsustack\r\n"));
  EditorFixture p;
  p.Start(su);
  EXPECT_EQ(p.state.editorText, "sunmo\r\nsustack\r\n");
  EXPECT_FALSE(p.commands.IsModified());
  p.state.editorText += "suximage\r\n";
  EXPECT_TRUE(p.commands.IsModified());
}

TEST(EditorFindText, SelectsTheNextMatchAfterTheCaretOrBeeps) {
  EditorFixture p;
  p.state.editorText = "Sunmo vnmo=1500\r\nsunmo\r\nSunmo tnmo=0\r\n";
  p.dialogs.answers = {"Sunmo"};
  p.Fire(kFindTextItem);
  ASSERT_EQ(p.dialogs.asked.size(), 1u);
  EXPECT_EQ(p.dialogs.asked[0].prompt, "Type the text to find");
  EXPECT_EQ(p.dialogs.asked[0].title, "SU Batch editor");
  EXPECT_EQ(p.dialogs.asked[0].defaultText, "");
  EXPECT_EQ(p.Tab(), 2);
  // Not the match at the caret, nor the lower-case one: the third line.
  EXPECT_EQ(p.commands.session().selStart, 24u);
  EXPECT_EQ(p.commands.session().selLength, 5u);
  EXPECT_EQ(p.commands.SelectedText(), "Sunmo");
  EXPECT_EQ(p.dialogs.beeps, 0);

  p.dialogs.answers = {"Sunmo"};
  p.Fire(kFindTextItem);  // no match after this one
  EXPECT_EQ(p.dialogs.beeps, 1);
  EXPECT_EQ(p.commands.session().selStart, 24u);

  // The caret the widget reports is where the search starts.
  p.commands.readSelection = [](EditorSession& s) {
    s.selStart = 0;
    s.selLength = 0;
  };
  p.dialogs.answers = {"nmo"};
  p.Fire(kFindTextItem);
  EXPECT_EQ(p.commands.session().selStart, 2u);  // "Su|nmo"

  // An empty answer (or a cancel) stops at once.
  p.state.form.SetValue("SSTab1", 0);
  const int beeps = p.dialogs.beeps;
  const uint32_t focus = p.commands.session().focusSerial;
  p.dialogs.answers = {""};
  p.Fire(kFindTextItem);
  EXPECT_EQ(p.Tab(), 0);
  EXPECT_EQ(p.dialogs.beeps, beeps);
  EXPECT_EQ(p.commands.session().focusSerial, focus);
}

TEST(EditorReplaceText, ReplacesEveryOccurrenceAndPutsTheTextBack) {
  EditorFixture p;
  p.state.editorText = "abb";
  p.Select(1, 1);
  p.dialogs.answers = {"ab", "xa"};
  p.Fire(kReplaceTextItem);
  ASSERT_EQ(p.dialogs.asked.size(), 2u);
  EXPECT_EQ(p.dialogs.asked[0].prompt, "Enter text to be replaced");
  EXPECT_EQ(p.dialogs.asked[1].prompt, "Enter new text ");
  EXPECT_EQ(p.dialogs.asked[0].title, kDefaultTitle);
  EXPECT_EQ(p.Tab(), 2);
  EXPECT_EQ(p.state.editorText, "xxa");
  EXPECT_EQ(p.commands.session().selStart, 0u);

  p.dialogs.answers = {"a", "aa"};
  p.Fire(kReplaceTextItem);
  EXPECT_EQ(p.state.editorText, "xxaa");
  p.dialogs.answers = {"", "zz"};
  p.Fire(kReplaceTextItem);
  EXPECT_EQ(p.state.editorText, "xxaa");
  // Nothing found: the text and the selection stay.
  p.Select(2, 1);
  p.dialogs.answers = {"q", "r"};
  p.Fire(kReplaceTextItem);
  EXPECT_EQ(p.state.editorText, "xxaa");
  EXPECT_EQ(p.commands.session().selStart, 2u);
}

TEST(EditorFont, AppliesTheDialogsFontAlsoAfterACancel) {
  EditorFixture p;
  p.dialogs.fonts = {FontChoice{"Courier New", 12}, std::nullopt};
  p.Fire(kEditorFontItem);
  EXPECT_EQ(p.dialogs.requests.back().flags, 3);
  EXPECT_EQ(p.Tab(), 2);
  EXPECT_EQ(p.commands.session().font.name, "Courier New");
  EXPECT_EQ(p.commands.session().font.size, 12.0f);
  const uint32_t serial = p.commands.session().fontSerial;
  p.Fire(kEditorFontItem);
  EXPECT_EQ(p.commands.session().font.name, "Courier New");
  EXPECT_EQ(p.commands.session().fontSerial, serial + 1);
}

TEST(EditorPrint, PrintsTheSelectionOrTheWholeText) {
  EditorFixture p;
  p.state.editorText = "sunmo\r\nsustack\r\n";
  p.dialogs.printers = {PrinterChoice{"Plotter", 1}, PrinterChoice{"Plotter", 1}};
  p.Fire(kPrintTextItem);
  EXPECT_EQ(p.Tab(), 2);
  EXPECT_EQ(p.dialogs.requests.back().flags, 264);
  ASSERT_EQ(p.printed.size(), 1u);
  EXPECT_EQ(p.printed[0], "sunmo\r\nsustack\r\n");

  p.Select(7, 7);
  p.Fire(kPrintTextItem);
  EXPECT_EQ(p.dialogs.requests.back().flags, 265);  // "selection" preselected
  ASSERT_EQ(p.printed.size(), 2u);
  EXPECT_EQ(p.printed[1], "sustack");

  // A cancelled dialog prints nothing, and leaves the cancel switch as it was.
  p.dialogs.printers = {std::nullopt};
  p.Fire(kPrintTextItem);
  EXPECT_EQ(p.printed.size(), 2u);
  EXPECT_FALSE(p.dialogs.fields().cancelError);
}

TEST(EditorPrint, PrintHistoryLeavesTheTabAsItIs) {
  EditorFixture p;
  p.state.editorText = "history";
  p.state.form.SetValue("SSTab1", 1);
  p.dialogs.printers = {PrinterChoice{"Plotter", 2}};
  p.Fire(kPrintHistoryButton);
  EXPECT_EQ(p.Tab(), 1);
  ASSERT_EQ(p.printed.size(), 1u);
  EXPECT_EQ(p.printed[0], "history");
  EXPECT_EQ(p.dialogs.fields().printerCopies, 2);
}

TEST(EditorHowToUse, ShowsTheHelpTextInAnInformationBox) {
  EditorFixture p;
  p.Fire(kHowToUseButton);
  ASSERT_EQ(p.dialogs.shown.size(), 1u);
  const auto& box = p.dialogs.shown[0];
  EXPECT_EQ(box.style, msg::kInformation);
  EXPECT_EQ(box.title, "Korvane Printer 4.2");
  EXPECT_EQ(box.text, HowToUseText("\r\n"));
  // A heading, a blank line, then ten lines each ended by a line break.
  EXPECT_EQ(box.text.substr(0, 29), " How to use Tavelo Module\r\n\r\n");
  size_t breaks = 0;
  for (size_t at = box.text.find("\r\n"); at != std::string::npos; at = box.text.find("\r\n", at + 2)) ++breaks;
  EXPECT_EQ(breaks, 12u);
  EXPECT_TRUE(box.text.ends_with("paper margins ... !   \r\n"));
}

}  // namespace
}  // namespace tavelo
