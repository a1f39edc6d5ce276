// Record_WMF, Cp and Cor as the buttons run them, with scripted dialogs.

#include "output/metafile_commands.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>

#include "output/wmf_writer.h"
#include "settings/form_fields.h"
#include "support/program_fixture.h"
#include "support/su_writer.h"
#include "support/gui_app.h"

namespace tavelo {
namespace {

std::string ClipboardWmf() {
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  if (!data) return {};
  return data->data(QStringLiteral("image/x-wmf")).toStdString();
}

class MetafileCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    test::EnsureGuiApp();
    dir_ = test::TempDir();
    fx_.state.su.ActiveFilePath = dir_ + "/line1.su";
    PageDocument& page = fx_.state.page;
    page.BeginDocument();
    page.SetTextX(1440);
    page.SetTextY(1440);
    page.DrawText("Section");
    page.DrawLine(1440, 3000, 9000, 3000);
    page.EndDocument();
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
  }
  const ScriptedDialogs::Shown& LastShown() const { return fx_.dialogs.shown.back(); }

  test::ProgramFixture fx_;
  std::string dir_;
};

TEST_F(MetafileCommands, RecordSavesToTheProposedNameReportsItsSizeAndFillsTheClipboard) {
  fx_.form().Fire(kRecordWmfButton, FieldEvent::Click);
  ASSERT_EQ(fx_.dialogs.asked.size(), 1u);
  EXPECT_EQ(fx_.dialogs.asked[0].prompt, "Enter the file name");
  EXPECT_EQ(fx_.dialogs.asked[0].title, "WMF file option");
  EXPECT_EQ(fx_.dialogs.asked[0].defaultText, dir_ + "/line1.wmf");

  const std::string saved = test::ReadBytes(dir_ + "/line1.wmf");
  ASSERT_FALSE(saved.empty());
  EXPECT_EQ(saved, WmfBytes(fx_.state.page));
  ASSERT_EQ(fx_.dialogs.shown.size(), 1u);  // no question for a new file
  EXPECT_EQ(LastShown().text, dir_ + "/line1.wmf" + " " + std::to_string(RecordedKilobytes(
                                                                 static_cast<int64_t>(saved.size()))) +
                                  " Kb has been recorded");
  EXPECT_EQ(LastShown().style, 64);
  EXPECT_EQ(LastShown().title, "");

  EXPECT_EQ(ClipboardWmf(), saved);
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  ASSERT_NE(data, nullptr);
  EXPECT_TRUE(data->hasImage());
  EXPECT_TRUE(data->data(QStringLiteral("image/svg+xml")).contains("Section"));
}

TEST_F(MetafileCommands, KilobytesRoundHalvesToEvenAndAreNotCutTo16Bits) {
  EXPECT_EQ(RecordedKilobytes(1500), 2);
  EXPECT_EQ(RecordedKilobytes(2500), 2);
  EXPECT_EQ(RecordedKilobytes(3500), 4);
  EXPECT_EQ(RecordedKilobytes(499), 0);
  EXPECT_EQ(RecordedKilobytes(35120), 35);
  EXPECT_EQ(RecordedKilobytes(40'000'000), 40000);  // a large section's metafile
}

TEST_F(MetafileCommands, ReplacingAsksFirstAndNoLeavesFileAndClipboard) {
  // The proposed name finds the file whatever its letter case.
  const std::string existing = dir_ + "/LINE1.WMF";
  ASSERT_TRUE(test::WriteBytes(existing, "old picture"));
  fx_.dialogs.buttons.push_back(7);  // No
  fx_.form().Fire(kRecordWmfButton, FieldEvent::Click);
  EXPECT_EQ(fx_.dialogs.asked[0].defaultText, existing);
  ASSERT_EQ(fx_.dialogs.shown.size(), 1u);
  EXPECT_EQ(LastShown().text, existing + " alreday exists, replace this file ?");
  EXPECT_EQ(LastShown().style, 32 + 4);
  EXPECT_EQ(LastShown().title, "Korvane Printer 4.2");
  EXPECT_EQ(test::ReadBytes(existing), "old picture");
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "before");
  EXPECT_TRUE(ClipboardWmf().empty());

  fx_.dialogs.buttons.push_back(6);  // Yes
  fx_.form().Fire(kRecordWmfButton, FieldEvent::Click);
  EXPECT_EQ(test::ReadBytes(existing), WmfBytes(fx_.state.page));
  EXPECT_NE(LastShown().text.find(" Kb has been recorded"), std::string::npos);
}

TEST_F(MetafileCommands, FailuresShowTheErrorAndKeepTheOldFile) {
  // A folder that is a file, and an empty answer (a cancelled input box).
  ASSERT_TRUE(test::WriteBytes(dir_ + "/plain", "x"));
  fx_.dialogs.answers.push_back(dir_ + "/plain/page.wmf");
  fx_.form().Fire(kRecordWmfButton, FieldEvent::Click);
  EXPECT_EQ(LastShown().text, "Error nb  76  Path not found happens");
  EXPECT_EQ(LastShown().style, 16);
  EXPECT_EQ(LastShown().title, "Korvane Printer 4.2");
  fx_.dialogs.answers.push_back("");
  fx_.form().Fire(kRecordWmfButton, FieldEvent::Click);
  EXPECT_EQ(LastShown().text, "Error nb  52  Bad file name or number happens");

  if (geteuid() == 0) GTEST_SKIP() << "permissions do not bind the superuser";
  const std::string locked = dir_ + "/locked";
  ASSERT_EQ(::mkdir(locked.c_str(), 0755), 0);
  ASSERT_TRUE(test::WriteBytes(locked + "/page.wmf", "old picture"));
  ASSERT_EQ(::chmod(locked.c_str(), 0555), 0);
  fx_.dialogs.answers.push_back(locked + "/page.wmf");
  fx_.dialogs.buttons.push_back(6);  // Yes, replace
  fx_.form().Fire(kRecordWmfButton, FieldEvent::Click);
  ::chmod(locked.c_str(), 0755);
  EXPECT_EQ(LastShown().text, "Error nb  70  Permission denied happens");
  EXPECT_EQ(test::ReadBytes(locked + "/page.wmf"), "old picture");
}

TEST_F(MetafileCommands, CopyPutsThePageOnTheClipboard) {
  fx_.form().Fire(kCopyButton, FieldEvent::Click);
  EXPECT_EQ(ClipboardWmf(), WmfBytes(fx_.state.page));
  EXPECT_TRUE(fx_.dialogs.shown.empty());
}

// The lines a started "graphics program" has written, waiting a little for
// a detached start.
int StartsLogged(const std::string& log, int expected) {
  int lines = 0;
  for (int i = 0; i < 100 && lines < expected; ++i) {
    if (i > 0) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const std::string text = test::ReadBytes(log);
    lines = static_cast<int>(std::count(text.begin(), text.end(), '\n'));
  }
  return lines;
}

TEST_F(MetafileCommands, GraphicsProgramIsLocatedOnceThenStartedDirectly) {
  const std::string log = dir_ + "/started.log";
  const std::string program = dir_ + "/draw-tool";
  ASSERT_TRUE(test::WriteBytes(program, "#!/bin/sh\necho \"$#\" >> '" + log + "'\n"));
  ASSERT_EQ(::chmod(program.c_str(), 0755), 0);
  ASSERT_EQ(fx_.state.settings.GraphicsProgramPath, " ");

  fx_.dialogs.files.push_back(program);
  fx_.form().Fire(kGraphicsProgramButton, FieldEvent::Click);
  ASSERT_EQ(fx_.dialogs.shown.size(), 1u);
  EXPECT_EQ(LastShown().text, "You must locate your program");
  EXPECT_EQ(LastShown().style, 64);
  EXPECT_EQ(LastShown().title, "Korvane Printer 4.2");
  ASSERT_EQ(fx_.dialogs.requests.size(), 1u);
  const CommonDialogFields& request = fx_.dialogs.requests[0];
  EXPECT_EQ(request.title, "Graphical tool selection");
  EXPECT_EQ(request.fileName, "*.EXE");
  EXPECT_EQ(request.filter.rfind("*.EXE|", 0), 0u);
  EXPECT_TRUE(request.cancelError);
  EXPECT_FALSE(fx_.dialogs.fields().cancelError);  // later requests are not affected
  EXPECT_EQ(fx_.state.settings.GraphicsProgramPath, program);
  EXPECT_EQ(StartsLogged(log, 1), 1);
  EXPECT_EQ(test::ReadBytes(log), "0\n");  // no arguments

  fx_.form().Fire(kGraphicsProgramButton, FieldEvent::Click);
  EXPECT_EQ(fx_.dialogs.shown.size(), 1u);
  EXPECT_EQ(fx_.dialogs.requests.size(), 1u);
  EXPECT_EQ(StartsLogged(log, 2), 2);
}

TEST_F(MetafileCommands, CancellingTheLocateDialogChangesAndStartsNothing) {
  fx_.dialogs.files.push_back(std::nullopt);
  fx_.form().Fire(kGraphicsProgramButton, FieldEvent::Click);
  EXPECT_EQ(fx_.dialogs.requests.size(), 1u);
  EXPECT_EQ(fx_.state.settings.GraphicsProgramPath, " ");
  EXPECT_FALSE(fx_.dialogs.fields().cancelError);

  // A set path that names no program is skipped without a message.
  fx_.state.settings.GraphicsProgramPath = dir_ + "/no-such-program";
  fx_.form().Fire(kGraphicsProgramButton, FieldEvent::Click);
  EXPECT_EQ(fx_.dialogs.shown.size(), 1u);
  EXPECT_EQ(fx_.dialogs.requests.size(), 1u);
}

}  // namespace
}  // namespace tavelo
