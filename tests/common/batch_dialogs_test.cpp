// Questions without a window: answers in order, then defaults, and a
// question that comes back after its default stops instead of looping.

#include <gtest/gtest.h>

#include <sstream>

#include "common/batch_dialogs.h"
#include "support/scripted_dialogs.h"

namespace tavelo {
namespace {

TEST(BatchDialogs, AnswersThenDefaultsAreLoggedInOrder) {
  std::ostringstream log;
  BatchDialogs d({"12", ""}, log);
  EXPECT_EQ(d.InputBox("Datum elevation ?", kDefaultTitle, " 0"), "12");
  EXPECT_EQ(d.InputBox("Maximale Amplitude", kDefaultTitle, " 3"), "");
  EXPECT_EQ(d.InputBox("Enter a plot width  value (mm)", kDefaultTitle, "200"), "200");
  EXPECT_EQ(d.MessageBox("Fold max=1 !", msg::kCritical, kDefaultTitle), msg::kOk);
  EXPECT_EQ(d.MessageBox("Save ?", msg::kYesNo, kDefaultTitle), msg::kYes);
  EXPECT_EQ(log.str(),
            "Datum elevation ? → 12\nMaximale Amplitude → \n"
            "Enter a plot width  value (mm) → 200\nFold max=1 !\nSave ?\n");
}

TEST(BatchDialogs, QuestionBackAfterItsDefaultStops) {
  std::ostringstream log;
  BatchDialogs d({"0"}, log);
  EXPECT_EQ(d.InputBox("Enter the fold maxi to display", kDefaultTitle, ""), "0");
  EXPECT_EQ(d.InputBox("Enter the fold maxi to display", kDefaultTitle, ""), "");
  EXPECT_THROW(d.InputBox("Enter the fold maxi to display", kDefaultTitle, ""), BatchStopped);
}

TEST(BatchDialogs, ChoosersAreCancelledAndKeepTheirFields) {
  std::ostringstream log;
  BatchDialogs d({}, log);
  d.fields().fileName = "*.bat";
  d.fields().color = 255;
  EXPECT_TRUE(d.ChooseFileToOpen());
  EXPECT_EQ(d.fields().fileName, "*.bat");
  EXPECT_TRUE(d.ChooseColor());
  EXPECT_EQ(d.fields().color, 255);
  d.fields().cancelError = true;
  EXPECT_FALSE(d.ChooseFileToOpen());
}

TEST(ScriptedDialogs, ChosenFileSetsNameAndTitle) {
  ScriptedDialogs d;
  d.files = {std::string("/data/LINE1.SU")};
  d.fields().title = "Korvane File selection";
  EXPECT_TRUE(d.ChooseFileToOpen());
  EXPECT_EQ(d.fields().fileName, "/data/LINE1.SU");
  EXPECT_EQ(d.fields().fileTitle, "LINE1.SU");
  EXPECT_EQ(d.requests.at(0).title, "Korvane File selection");
}

}  // namespace
}  // namespace tavelo
