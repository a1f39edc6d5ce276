#include <QAction>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>

#include <gtest/gtest.h>

#include <memory>

#include "common/batch_dialogs.h"
#include "common/paths.h"
#include "program/handlers.h"
#include "program/startup.h"
#include "program/state.h"
#include "render/builder.h"
#include "support/su_writer.h"
#include "ui/field_binder.h"
#include "ui/main_window.h"
#include "ui/preview_widget.h"
#include "window_test_app.h"

namespace tavelo {
namespace {

using test::UiApp;

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    UiApp();
    state.settingsFolder = test::TempDir();
    state.fontList = [] { return std::vector<std::string>{"Arial"}; };
    AttachFieldHandlers(state);
    AttachBuildCommands(state);
    window = std::make_unique<MainWindow>(state);
  }

  // A small SU line (24 traces) with its history file beside it; started
  // as the command line would.
  void StartWithFile() {
    const std::string folder = test::TempDir();
    suPath = folder + "/LINE1.SU";
    auto traces = test::MakeTraces(24, 100, 4000, [](int s, int t) { return float((s + t) % 7 - 3); });
    ASSERT_TRUE(test::WriteSuFile(suPath, traces));
    ASSERT_TRUE(test::WriteBytes(folder + "/LINE1.txt", "sustack\r\nsunmo vnmo=1500\r\n"));
    Startup(state, suPath);
    window->SyncFromState();
  }

  template <typename W>
  W* Widget(const char* name) {
    auto* w = qobject_cast<W*>(window->FieldWidget(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
  }

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
  static void DoubleClick(QWidget* w) {
    const QPointF at(5, 5);
    QMouseEvent press(QEvent::MouseButtonPress, at, w->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(w, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, w->mapToGlobal(at), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &release);
    QMouseEvent dbl(QEvent::MouseButtonDblClick, at, w->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
    QCoreApplication::sendEvent(w, &dbl);
    QCoreApplication::sendEvent(w, &release);
  }

  ScriptedDialogs dialogs;
  ProgramState state{dialogs};
  std::unique_ptr<MainWindow> window;
  std::string suPath;
};

TEST_F(MainWindowTest, TextFieldsFollowTheFormAndTypingReachesItsHandlers) {
  auto* title = Widget<QLineEdit>("Text1");
  state.form.SetText("Text1", "Line 7");
  EXPECT_EQ(title->text(), "Line 7");

  // Typed text is written into the form, whose change handler runs and
  // whose rewrite is shown again: "007" becomes "7".
  auto* spacing = Widget<QLineEdit>("Text7");
  state.form.SetText("Text7", "");
  TypeText(spacing, "007");
  EXPECT_EQ(state.form.Text("Text7"), "7");
  EXPECT_EQ(spacing->text(), "7");

  TypeText(title, " stack");
  EXPECT_EQ(state.form.Text("Text1"), "Line 7 stack");
}

TEST_F(MainWindowTest, KeyFilterEatsRefusedKeys) {
  auto* last = Widget<QLineEdit>("Text15");
  state.form.SetText("Text15", "24");
  TypeText(last, "a");
  Type(last, Qt::Key_Minus, "-");
  Type(last, Qt::Key_Space, " ");
  EXPECT_EQ(last->text(), "24");
  EXPECT_EQ(state.form.Text("Text15"), "24");
  EXPECT_EQ(dialogs.beeps, 3);

  // Backspace is allowed; navigation and Delete type nothing and pass.
  Type(last, Qt::Key_Backspace, "\b");
  EXPECT_EQ(state.form.Text("Text15"), "2");
  Type(last, Qt::Key_Home, "");
  Type(last, Qt::Key_Delete, "");
  EXPECT_EQ(state.form.Text("Text15"), "");
  EXPECT_EQ(dialogs.beeps, 3);

  // A decimal field takes the point.
  auto* factor = Widget<QLineEdit>("Text12");
  state.form.SetText("Text12", "1");
  TypeText(factor, ".5");
  EXPECT_EQ(state.form.Text("Text12"), "1.5");

  // The paper size refuses every key with its notice.
  auto* paper = Widget<QLineEdit>("Text11");
  state.form.SetText("Text11", " 210 x  297");
  TypeText(paper, "3");
  EXPECT_EQ(state.form.Text("Text11"), " 210 x  297");
  ASSERT_EQ(dialogs.shown.size(), 1u);
  EXPECT_EQ(dialogs.shown[0].text, "You must correct paper size in the main TAVELO module");
}

TEST_F(MainWindowTest, DoubleClickAndKeyReleaseFireTheirEvents) {
  state.form.SetText("Text2", "1");
  state.form.SetText("Text3", "240");
  state.form.SetText("Text32", "12.5");
  state.form.SetText("Text33", "20000");
  DoubleClick(Widget<QLineEdit>("Text32"));
  EXPECT_EQ(state.form.Text("Text4"), " 150");
  EXPECT_EQ(Widget<QLineEdit>("Text4")->text(), " 150");

  state.form.SetText("Text4", "300");
  DoubleClick(Widget<QLineEdit>("Text4"));
  EXPECT_EQ(state.form.Text("Text33"), "10000");

  int keyUps = 0, clicks = 0;
  state.form.On("Text120", FieldEvent::KeyUp, [&] { ++keyUps; });
  state.form.On("Text120", FieldEvent::Click, [&] { ++clicks; });
  TypeText(Widget<QLineEdit>("Text120"), "12");
  EXPECT_EQ(keyUps, 3);  // End, 1, 2: every released key
  DoubleClick(Widget<QLineEdit>("Text120"));
  EXPECT_EQ(clicks, 1);  // the release after the double click is no click
}

TEST_F(MainWindowTest, ChecksListsAndColourBoxesFollowTheForm) {
  auto* fold = Widget<FieldCheckBox>("fold");
  EXPECT_EQ(fold->text(), "Fold drawing");
  state.form.SetValue("fold", 2);
  EXPECT_EQ(fold->checkState(), Qt::PartiallyChecked);
  fold->click();  // a greyed box goes off, then on
  EXPECT_EQ(state.form.Value("fold"), 0);
  EXPECT_EQ(fold->checkState(), Qt::Unchecked);
  fold->click();
  EXPECT_EQ(state.form.Value("fold"), 1);
  EXPECT_EQ(fold->checkState(), Qt::Checked);

  ShowTab(state, 0);  // fills the lists
  auto* type = Widget<QComboBox>("combo1");
  ASSERT_EQ(type->count(), 6);
  EXPECT_EQ(type->itemText(5), "Amplitude color+ wiggle");
  EXPECT_EQ(type->currentIndex(), 0);
  emit type->activated(3);
  EXPECT_EQ(state.form.ListIndex("combo1"), 3);
  EXPECT_EQ(state.settings.DisplayType, "color");
  EXPECT_EQ(type->currentIndex(), 3);

  auto* box = Widget<QLineEdit>("Text101");
  state.form.SetBackColor("Text101", 255 + 256 * 128);
  EXPECT_EQ(box->palette().color(QPalette::Base), QColor(255, 128, 0));
  EXPECT_TRUE(box->isReadOnly());
}

TEST_F(MainWindowTest, TabsFollowSSTab1AndTheEditorMenuFollowsTheTab) {
  QTabWidget* tabs = window->Tabs();
  ASSERT_EQ(tabs->count(), 3);
  EXPECT_EQ(tabs->tabText(1), "Virtual plot");
  auto* editorMenu = window->menuBar()->findChild<QMenu*>("editeur");
  ASSERT_NE(editorMenu, nullptr);

  ShowTab(state, 2);
  EXPECT_EQ(tabs->currentIndex(), 2);
  EXPECT_TRUE(editorMenu->menuAction()->isEnabled());

  tabs->setCurrentIndex(1);  // as a click on the tab
  EXPECT_EQ(state.form.Value("SSTab1"), 1);
  EXPECT_FALSE(editorMenu->menuAction()->isEnabled());

  // Menu items fire the event named after them.
  int opened = 0;
  state.form.On("of", FieldEvent::Click, [&] { ++opened; });
  auto* open = window->findChild<QAction*>("of");
  ASSERT_NE(open, nullptr);
  open->trigger();
  EXPECT_EQ(opened, 0);  // disabled off the Tools tab
  ShowTab(state, 2);
  open->trigger();
  EXPECT_EQ(opened, 1);
}

TEST_F(MainWindowTest, StartUpFillsTheWindowAndTheEditorKeepsLineBreaks) {
  StartWithFile();
  EXPECT_EQ(Widget<QLineEdit>("Text16")->text().toStdString(), suPath);
  EXPECT_EQ(Widget<QLineEdit>("Text1")->text(), "LINE1.SU");
  EXPECT_EQ(Widget<QLineEdit>("Text3")->text(), "24");
  EXPECT_EQ(window->Tabs()->currentIndex(), 0);
  EXPECT_EQ(window->Editor()->toPlainText(), "sustack\nsunmo vnmo=1500\n");

  // Typing keeps the text's own CR LF breaks.
  QPlainTextEdit* editor = window->Editor();
  editor->moveCursor(QTextCursor::End);
  editor->insertPlainText("suximage\n");
  EXPECT_EQ(state.editorText, "sustack\r\nsunmo vnmo=1500\r\nsuximage\r\n");

  // The program's own changes are shown.
  state.editorText = "x\ny";
  window->SyncFromState();
  EXPECT_EQ(editor->toPlainText(), "x\ny");
  editor->moveCursor(QTextCursor::End);
  editor->insertPlainText("\nz");
  EXPECT_EQ(state.editorText, "x\ny\nz");
}

TEST_F(MainWindowTest, OkDisplayBuildsThePageAndShowsItInThePreview) {
  StartWithFile();
  state.form.SetText("Text4", "100");
  state.form.SetText("Text5", "50");
  const uint64_t before = state.page.Generation();

  Widget<QPushButton>("Command1")->click();
  EXPECT_EQ(state.page.PageCount(), 1);
  EXPECT_GT(state.page.Generation(), before);
  EXPECT_EQ(window->Preview()->ShownGeneration(), state.page.Generation());
  EXPECT_EQ(window->Tabs()->currentIndex(), 1);
  EXPECT_FALSE(window->Progress()->isVisible());
  EXPECT_TRUE(Widget<QPushButton>("Command1")->isEnabled());

  // The painted preview shows ink on white paper.
  window->resize(900, 700);
  window->show();
  const QImage shot = window->Preview()->grab().toImage();
  const QRectF paper = window->Preview()->PaperRect();
  ASSERT_FALSE(paper.isEmpty());
  EXPECT_EQ(shot.pixelColor(paper.center().toPoint() + QPoint(0, int(paper.height() / 2) - 4)),
            QColor(Qt::white));
  bool ink = false;
  for (int y = int(paper.top()); y < int(paper.bottom()) && !ink; y += 2)
    for (int x = int(paper.left()); x < int(paper.right()) && !ink; x += 2)
      ink = qGray(shot.pixel(x, y)) < 128;
  EXPECT_TRUE(ink);

  // Loading a file empties the preview.
  dialogs.files.push_back(suPath);
  Widget<QPushButton>("Command2")->click();
  EXPECT_EQ(state.page.PageCount(), 0);
  EXPECT_EQ(window->Preview()->ShownGeneration(), state.page.Generation());
}

TEST_F(MainWindowTest, ABuildInProgressHoldsLoadingAndClosing) {
  StartWithFile();
  window->show();
  state.building = true;  // as while DoDocument runs
  window->SyncFromState();
  EXPECT_FALSE(Widget<QPushButton>("Command1")->isEnabled());
  EXPECT_FALSE(Widget<QPushButton>("Command2")->isEnabled());

  window->Dispatch("Command2", FieldEvent::Click);
  DoubleClick(Widget<QLineEdit>("Text16"));
  EXPECT_TRUE(dialogs.requests.empty());  // no file dialog opened

  const std::string settings = state.settingsFolder + "/TAVELO3.ini";
  window->close();
  EXPECT_TRUE(window->isVisible());
  EXPECT_FALSE(FileExists(settings));

  // The build ends: the close asked for goes through and saves.
  state.building = false;
  window->Dispatch("Text1", FieldEvent::KeyUp);
  EXPECT_TRUE(Widget<QPushButton>("Command2")->isEnabled());
  QCoreApplication::processEvents();
  EXPECT_FALSE(window->isVisible());
  EXPECT_TRUE(FileExists(settings));
}

}  // namespace
}  // namespace tavelo
