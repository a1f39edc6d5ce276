// The handlers of the window's own parts as the root attaches them, on
// stand-in parts: what each field reaches, that nothing is reached once the
// window is gone, and on the tabs that the tab-change rule has run before
// the preview follows the tab.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/wiring.h"
#include "common/dialogs.h"
#include "output/print_commands.h"
#include "program/editor_commands.h"
#include "settings/form_fields.h"
#include "support/scripted_dialogs.h"

namespace tavelo {
namespace {

class RecordingPreview : public PreviewView {
 public:
  explicit RecordingPreview(std::vector<std::string>& events) : events_(events) {}
  void SetZoomPercent(int percent) override { events_.push_back("zoom " + std::to_string(percent)); }
  void SetZoomMode(int mode) override { events_.push_back("mode " + std::to_string(mode)); }
  void TogglePhysicalPage() override { events_.push_back("physical page"); }
  void SetShowGuides(bool show) override { events_.push_back(show ? "guides" : "no guides"); }

 private:
  std::vector<std::string>& events_;
};

class WindowWiring : public ::testing::Test {
 protected:
  void SetUp() override {
    AttachProgramHandlers(state);
    WindowParts parts;
    parts.commands = &commands;
    parts.preview = [this]() -> PreviewView* { return windowGone ? nullptr : &preview; };
    parts.bringToFront = [this] {
      if (!windowGone) events.push_back("front");
    };
    // What the tab-change rule leaves is noted when the preview follows.
    parts.showPreview = [this](bool shown) {
      if (windowGone) return;
      events.push_back(std::string(shown ? "shown" : "hidden") +
                       (state.form.Enabled(kEditorMenu) ? ", editor menu on" : ", editor menu off") +
                       (state.listsFilled ? ", lists filled" : ""));
    };
    AttachWindowHandlers(state, parts);
  }

  ScriptedDialogs dialogs;
  ProgramState state{dialogs};
  EditorCommands commands{state};
  std::vector<std::string> events;
  RecordingPreview preview{events};
  bool windowGone = false;
};

TEST_F(WindowWiring, ThePreviewFollowsTheTabAfterTheTabRule) {
  ASSERT_EQ(state.form.Value(kTabs), 0);
  state.form.SetValue(kTabs, 2);
  state.form.SetValue(kTabs, 1);
  state.form.SetValue(kTabs, 0);
  const std::vector<std::string> expected = {
      "hidden, editor menu on",
      "shown, editor menu off",
      "hidden, editor menu off, lists filled",
  };
  EXPECT_EQ(events, expected);
}

TEST_F(WindowWiring, EachPartIsReachedFromItsFieldsAndNothingOnceTheWindowIsGone) {
  state.form.SetText(kZoomPercent, "150 %");
  state.form.Fire(kZoomPercent, FieldEvent::Click);
  state.form.Fire(kPhysicalPage, FieldEvent::Click);
  state.form.SetValue(kShowGuides, 1);
  state.form.Fire(kAmplitudeColorsItem, FieldEvent::Click);
  const std::vector<std::string> expected = {"zoom 150", "physical page", "guides", "front"};
  EXPECT_EQ(events, expected);
  EXPECT_EQ(state.form.Value(kTabs), 0);  // bringing the window forward keeps the tab

  state.form.Fire(kHowToUseButton, FieldEvent::Click);  // the window's editor commands
  ASSERT_EQ(dialogs.shown.size(), 1u);
  EXPECT_EQ(dialogs.shown[0].style, msg::kInformation);

  windowGone = true;
  events.clear();
  state.form.Fire(kZoomPercent, FieldEvent::Click);
  state.form.Fire(kAmplitudeColorsItem, FieldEvent::Click);
  state.form.SetValue(kTabs, 1);
  EXPECT_TRUE(events.empty());
}

}  // namespace
}  // namespace tavelo
