#pragma once
// The parameters window on a program state with scripted dialogs (also the
// printer dialogs), every program handler attached as the window program
// does, and a fresh settings folder; helpers that type and click as a user.

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWidget>

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "support/scripted_dialogs.h"
#include "output/print_commands.h"
#include "app/window_app.h"
#include "program/startup.h"
#include "program/state.h"
#include "settings/form_fields.h"
#include "support/su_writer.h"
#include "ui/main_window.h"
#include "window_test_app.h"

namespace tavelo::test {

// Scripted answers also for the printer, page-setup and print dialogs:
// each takes the next queued change of the setup (nothing = cancelled).
class ScriptedPrinterDialogs : public ScriptedDialogs, public PrinterDialogs {
 public:
  using Change = std::function<void(PrinterSetup&)>;
  std::deque<std::optional<Change>> printerSetups, pageSetups, prints;
  std::vector<PrinterSetup> offered;  // what each dialog was shown

  bool ShowPrinterSetup(PrinterSetup& s) override { return Next(printerSetups, s); }
  bool ShowPageSetup(PrinterSetup& s) override { return Next(pageSetups, s); }
  bool ShowPrint(PrinterSetup& s) override { return Next(prints, s); }
  // The printer's unprintable edges, as a test sets them.
  UnprintableMargins unprintable;
  UnprintableMargins Unprintable(const PrinterSetup&) override { return unprintable; }

 private:
  bool Next(std::deque<std::optional<Change>>& queue, PrinterSetup& s) {
    offered.push_back(s);
    if (queue.empty()) return false;
    std::optional<Change> change = queue.front();
    queue.pop_front();
    if (!change) return false;
    (*change)(s);
    return true;
  }
};

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    UiApp();
    state.settingsFolder = TempDir();
    state.fontList = [] { return std::vector<std::string>{"Arial", "Courier New"}; };
    state.page.SetPrinterName("PDF");
    window = MakeWiredWindow(state);
  }

  // A small SU line (24 traces) with its history file beside it; started
  // as the command line would.
  void StartWithFile() {
    const std::string folder = TempDir();
    suPath = folder + "/LINE1.SU";
    auto traces = MakeTraces(24, 100, 4000, [](int s, int t) { return float((s + t) % 7 - 3); });
    ASSERT_TRUE(WriteSuFile(suPath, traces));
    ASSERT_TRUE(WriteBytes(folder + "/LINE1.txt", "sustack\r\nsunmo vnmo=1500\r\n"));
    Start(suPath);
  }
  void Start(const std::string& path) {
    Startup(state, path);
    window->SyncFromState();
  }
  // Starts on the small line and builds its page.
  void BuildPage() {
    StartWithFile();
    state.form.SetText(kPlotWidthMm, "100");
    state.form.SetText(kProfileHeightMm, "50");
    Click(kDisplayButton);
    ASSERT_EQ(state.page.PageCount(), 1);
  }

  template <typename W>
  W* Widget(FieldName name) {
    auto* w = qobject_cast<W*>(window->FieldWidget(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  void Click(FieldName name) { window->Dispatch(name, FieldEvent::Click); }

  static void Type(QWidget* w, int key, const QString& text) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QCoreApplication::sendEvent(w, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QCoreApplication::sendEvent(w, &release);
  }
  // Types at the end of the text, as after a click behind it.
  static void TypeText(QWidget* w, const QString& text) {
    Type(w, Qt::Key_End, "");
    for (QChar c : text) Type(w, c.toUpper().unicode(), QString(c));
  }
  static void MouseClick(QWidget* w) {
    const QPointF at(5, 5);
    QMouseEvent press(QEvent::MouseButtonPress, at, w->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(w, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, w->mapToGlobal(at), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &release);
  }
  static void DoubleClick(QWidget* w) {
    MouseClick(w);
    const QPointF at(5, 5);
    QMouseEvent dbl(QEvent::MouseButtonDblClick, at, w->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
    QCoreApplication::sendEvent(w, &dbl);
    QMouseEvent release(QEvent::MouseButtonRelease, at, w->mapToGlobal(at), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &release);
  }

  ScriptedPrinterDialogs dialogs;
  ProgramState state{dialogs};
  std::unique_ptr<MainWindow> window;
  std::string suPath;
};

}  // namespace tavelo::test
