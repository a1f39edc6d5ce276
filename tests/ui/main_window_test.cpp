// The parameters window bound to the form: fields both ways, the key
// filter, double clicks, tabs and menus, start-up as the window shows it,
// the minimum size, building, and closing with the settings saved.

#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QWindow>

#include <gtest/gtest.h>

#include "common/paths.h"
#include "program/handlers.h"
#include "settings/form_fields.h"
#include "settings/profile.h"
#include "ui/editor_widget.h"
#include "ui/field_binder.h"
#include "ui/preview_widget.h"
#include "window_fixture.h"

namespace tavelo {
namespace {

using MainWindowTest = test::WindowTest;

TEST_F(MainWindowTest, TextFieldsFollowTheFormAndTypingReachesItsHandlers) {
  auto* title = Widget<QLineEdit>(kPlotTitle);
  state.form.SetText(kPlotTitle, "Line 7");
  EXPECT_EQ(title->text(), "Line 7");

  // Typed text is written into the form, whose change handler runs and
  // whose rewrite is shown again: "007" becomes "7".
  auto* spacing = Widget<QLineEdit>(kTimeLineSpacingMs);
  state.form.SetText(kTimeLineSpacingMs, "");
  TypeText(spacing, "007");
  EXPECT_EQ(state.form.Text(kTimeLineSpacingMs), "7");
  EXPECT_EQ(spacing->text(), "7");

  TypeText(title, " stack");
  EXPECT_EQ(state.form.Text(kPlotTitle), "Line 7 stack");
}

TEST_F(MainWindowTest, KeyFilterEatsRefusedKeys) {
  auto* last = Widget<QLineEdit>(kFoldMaximum);
  state.form.SetText(kFoldMaximum, "24");
  TypeText(last, "a");
  Type(last, Qt::Key_Minus, "-");
  Type(last, Qt::Key_Space, " ");
  EXPECT_EQ(last->text(), "24");
  EXPECT_EQ(state.form.Text(kFoldMaximum), "24");
  EXPECT_EQ(dialogs.beeps, 3);

  // Backspace is allowed; navigation and Delete type nothing and pass.
  Type(last, Qt::Key_Backspace, "\b");
  EXPECT_EQ(state.form.Text(kFoldMaximum), "2");
  Type(last, Qt::Key_Home, "");
  Type(last, Qt::Key_Delete, "");
  EXPECT_EQ(state.form.Text(kFoldMaximum), "");
  EXPECT_EQ(dialogs.beeps, 3);

  // A decimal field takes the point.
  auto* factor = Widget<QLineEdit>(kTraceSizeFactor);
  state.form.SetText(kTraceSizeFactor, "1");
  TypeText(factor, ".5");
  EXPECT_EQ(state.form.Text(kTraceSizeFactor), "1.5");

  // The paper size refuses every key with its notice.
  auto* paper = Widget<QLineEdit>(kPaperSize);
  state.form.SetText(kPaperSize, " 210 x  297");
  TypeText(paper, "3");
  EXPECT_EQ(state.form.Text(kPaperSize), " 210 x  297");
  ASSERT_EQ(dialogs.shown.size(), 1u);
  EXPECT_EQ(dialogs.shown[0].text, "You must correct paper size in the main TAVELO module");
}

TEST_F(MainWindowTest, DoubleClickAndKeyReleaseFireTheirEvents) {
  state.form.SetText(kFirstTrace, "1");
  state.form.SetText(kLastTrace, "240");
  state.form.SetText(kTraceSpacingM, "12.5");
  state.form.SetText(kScaleDenominator, "20000");
  DoubleClick(Widget<QLineEdit>(kTraceSpacingM));
  EXPECT_EQ(state.form.Text(kPlotWidthMm), " 150");
  EXPECT_EQ(Widget<QLineEdit>(kPlotWidthMm)->text(), " 150");

  state.form.SetText(kPlotWidthMm, "300");
  DoubleClick(Widget<QLineEdit>(kPlotWidthMm));
  EXPECT_EQ(state.form.Text(kScaleDenominator), "10000");

  int keyUps = 0, clicks = 0;
  state.form.On(PaletteField(120), FieldEvent::KeyUp, [&] { ++keyUps; });
  state.form.On(PaletteField(120), FieldEvent::Click, [&] { ++clicks; });
  TypeText(Widget<QLineEdit>(PaletteField(120)), "12");
  EXPECT_EQ(keyUps, 3);  // End, 1, 2: every released key
  DoubleClick(Widget<QLineEdit>(PaletteField(120)));
  EXPECT_EQ(clicks, 1);  // the release after the double click is no click
}

TEST_F(MainWindowTest, ChecksListsAndColourBoxesFollowTheForm) {
  auto* fold = Widget<FieldCheckBox>(kFoldDrawing);
  EXPECT_EQ(fold->text(), "Fold drawing");
  state.form.SetValue(kFoldDrawing, 2);
  EXPECT_EQ(fold->checkState(), Qt::PartiallyChecked);
  fold->click();  // a greyed box goes off, then on
  EXPECT_EQ(state.form.Value(kFoldDrawing), 0);
  EXPECT_EQ(fold->checkState(), Qt::Unchecked);
  fold->click();
  EXPECT_EQ(state.form.Value(kFoldDrawing), 1);
  EXPECT_EQ(fold->checkState(), Qt::Checked);

  ShowTab(state, 0);  // fills the lists
  auto* type = Widget<QComboBox>(kDisplayType);
  ASSERT_EQ(type->count(), 6);
  EXPECT_EQ(type->itemText(5), "Amplitude color+ wiggle");
  EXPECT_EQ(type->currentIndex(), 0);
  emit type->activated(3);
  EXPECT_EQ(state.form.ListIndex(kDisplayType), 3);
  EXPECT_EQ(state.settings.DisplayType, "color");
  EXPECT_EQ(type->currentIndex(), 3);

  auto* box = Widget<QLineEdit>(PaletteField(101));
  state.form.SetBackColor(PaletteField(101), 255 + 256 * 128);
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
  state.form.On(kOpenFileItem, FieldEvent::Click, [&] { ++opened; });
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
  EXPECT_EQ(Widget<QLineEdit>(kSuFilePath)->text().toStdString(), suPath);
  EXPECT_EQ(Widget<QLineEdit>(kPlotTitle)->text(), "LINE1.SU");
  EXPECT_EQ(Widget<QLineEdit>(kLastTrace)->text(), "24");
  EXPECT_EQ(window->Tabs()->currentIndex(), 0);
  EXPECT_EQ(window->Editor()->toPlainText(), "sustack\nsunmo vnmo=1500\n");

  // Typing keeps the text's own CR LF breaks.
  QPlainTextEdit* editor = window->Editor();
  ASSERT_NE(editor, nullptr);
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
  state.form.SetText(kPlotWidthMm, "100");
  state.form.SetText(kProfileHeightMm, "50");
  const uint64_t before = state.page.Generation();

  Widget<QPushButton>(kDisplayButton)->click();
  EXPECT_EQ(state.page.PageCount(), 1);
  EXPECT_GT(state.page.Generation(), before);
  EXPECT_EQ(window->Preview()->ShownGeneration(), state.page.Generation());
  EXPECT_EQ(window->Tabs()->currentIndex(), 1);
  EXPECT_FALSE(window->Progress()->isVisible());
  EXPECT_TRUE(Widget<QPushButton>(kDisplayButton)->isEnabled());

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
  Widget<QPushButton>(kLoadSuFileButton)->click();
  EXPECT_EQ(state.page.PageCount(), 0);
  EXPECT_EQ(window->Preview()->ShownGeneration(), state.page.Generation());
}

TEST_F(MainWindowTest, ABuildInProgressHoldsLoadingAndClosing) {
  StartWithFile();
  window->show();
  state.building = true;  // as while DoDocument runs
  window->SyncFromState();
  EXPECT_FALSE(Widget<QPushButton>(kDisplayButton)->isEnabled());
  EXPECT_FALSE(Widget<QPushButton>(kLoadSuFileButton)->isEnabled());

  window->Dispatch(kLoadSuFileButton, FieldEvent::Click);
  DoubleClick(Widget<QLineEdit>(kSuFilePath));
  EXPECT_TRUE(dialogs.requests.empty());  // no file dialog opened

  const std::string settings = state.settingsFolder + "/TAVELO3.ini";
  window->close();
  EXPECT_TRUE(window->isVisible());
  EXPECT_FALSE(FileExists(settings));

  // The build ends: the close asked for goes through and saves.
  state.building = false;
  window->Dispatch(kPlotTitle, FieldEvent::KeyUp);
  EXPECT_TRUE(Widget<QPushButton>(kLoadSuFileButton)->isEnabled());
  QCoreApplication::processEvents();
  EXPECT_FALSE(window->isVisible());
  EXPECT_TRUE(FileExists(settings));
}

TEST_F(MainWindowTest, StartedWithoutAFileTheWindowShowsTheLoadedSettings) {
  ASSERT_TRUE(test::WriteBytes(state.settingsFolder + "/TAVELO3.ini",
                               "[Draw_Parameter]\r\nEchelle=15000\r\nOrient1=Nord\r\nfold=1\r\n"
                               "couleur4=255\r\n"));
  ASSERT_TRUE(test::WriteBytes(state.settingsFolder + "/Korvane.ini", "[KORVANE]\r\nLangue=F\r\n"));
  Start("");
  EXPECT_EQ(Widget<QLineEdit>(kScaleDenominator)->text(), "15000");
  EXPECT_EQ(Widget<QLineEdit>(kLeftOrientation)->text(), "Nord");
  EXPECT_EQ(Widget<FieldCheckBox>(kFoldDrawing)->checkState(), Qt::Checked);
  // Start-up ends before the page and file steps: the form's own texts stay.
  EXPECT_EQ(Widget<QLineEdit>(kPaperSize)->text(), "");
  EXPECT_EQ(Widget<QLineEdit>(kSuFilePath)->text(), "");
  EXPECT_EQ(Widget<QLabel>(kLanguageCaption)->text(), "English");
  EXPECT_EQ(Widget<QLineEdit>(kPrinterName)->text(), "");
  EXPECT_EQ(Widget<QComboBox>(kFontList)->count(), 0);
  EXPECT_EQ(window->Tabs()->currentIndex(), 0);
}

TEST_F(MainWindowTest, AMissingFileKeepsItsFieldsAndTheRestOfStartUpRuns) {
  ASSERT_TRUE(test::WriteBytes(state.settingsFolder + "/Korvane.ini", "[KORVANE]\r\nLangue=F\r\n"));
  state.form.SetText(kPlotTitle, "title");
  // A left margin of 5.03 mm is shown, and kept, as a whole 5 mm.
  state.page.SetLeftMargin(5.03 * 56.7);
  Start(test::TempDir() + "/MISSING.SU");
  EXPECT_EQ(Widget<QLineEdit>(kSuFilePath)->text(), "");
  EXPECT_EQ(Widget<QLineEdit>(kPlotTitle)->text(), "title");
  EXPECT_EQ(Widget<QLineEdit>(kShownFileName)->text(), "");
  EXPECT_EQ(Widget<QLineEdit>(kPaperSize)->text(), " 210 x  297");
  EXPECT_EQ(Widget<QLabel>(kLanguageCaption)->text(), "Français");
  EXPECT_EQ(Widget<QLineEdit>(kLeftMarginMm)->text(), "5");
  EXPECT_DOUBLE_EQ(state.page.LeftMargin(), 283.5);
  EXPECT_EQ(Widget<QLineEdit>(kPrinterName)->text(), "PDF");
  EXPECT_EQ(Widget<QComboBox>(kFontList)->count(), 2);
  EXPECT_EQ(Widget<QComboBox>(kZoomMode)->currentText(), "WholePage");
  EXPECT_EQ(Widget<QComboBox>(kZoomPercent)->currentText(), "25%");
  EXPECT_FALSE(Widget<QComboBox>(kZoomPercent)->isEnabled());
  EXPECT_EQ(window->Preview()->ZoomMode(), PreviewWidget::WholePage);
  EXPECT_TRUE(dialogs.shown.empty());  // no "No printer"
}

TEST_F(MainWindowTest, AWindowDraggedSmallSpringsBackToTheSmallestSize) {
  window->show();
  window->resize(5000 / 15, 5000 / 15);
  EXPECT_EQ(window->width(), 10320 / 15);
  EXPECT_EQ(window->height() * 15 >= 9100, true);
  EXPECT_LT((window->height() - 1) * 15, 9100);
  window->resize(1200, 900);
  EXPECT_EQ(window->size(), QSize(1200, 900));
}

TEST_F(MainWindowTest, AWindowMadeSmallWithoutTheSizeHintSpringsBackToo) {
  window->show();
  QCoreApplication::processEvents();
  // The platform window resized directly, as an X server without window
  // manager does it: the minimum-size hint is not applied.
  window->windowHandle()->resize(300, 200);
  for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
  EXPECT_GE(window->width(), kMinWindowWidth);
  EXPECT_GE(window->height(), kMinWindowHeight);
}

TEST_F(MainWindowTest, TypedLettersBeepInTheTraceRange) {
  StartWithFile();
  auto* last = Widget<QLineEdit>(kLastTrace);
  const int beeps = dialogs.beeps;
  TypeText(last, "a");
  EXPECT_EQ(dialogs.beeps, beeps + 1);
  EXPECT_EQ(last->text(), "24");
  // Every numeric field of the window filters its keys.
  for (FieldName name : {kFirstTrace, kPlotWidthMm, kProfileHeightMm, kTimeToDrawMs, kTimeLineSpacingMs, kLeftMarginMm, kSectionTopMm, kLabelSpacing, kFoldMaximum,
                           kDatum, kFoldTopMm, kElevationTopMm, kStaticsTopMm, kFirstLabel, kHistoryTopMm, kDiagramHeightMm, kDiagramLineWidth,
                           kScaleDenominator, kTraceSizeFactor, kTraceSpacingM, kNoiseAmplitude}) {
    const std::string before = state.form.Text(name);
    TypeText(Widget<QLineEdit>(name), "x");
    EXPECT_EQ(state.form.Text(name), before) << name;
  }
  EXPECT_EQ(dialogs.beeps, beeps + 22);
}

TEST_F(MainWindowTest, ClosingSavesBothSettingsFilesAndSaveAndExitKeepsTheWindow) {
  StartWithFile();
  window->show();
  const std::string tavelo = state.settingsFolder + "/TAVELO3.ini";
  const std::string korvane = state.settingsFolder + "/Korvane.ini";

  state.form.SetText(kSectionTopMm, "100");
  Widget<QPushButton>(kSaveAndExitButton)->click();
  EXPECT_TRUE(window->isVisible());
  EXPECT_NE(test::ReadBytes(tavelo).find("tavelo4=5670"), std::string::npos);
  EXPECT_NE(test::ReadBytes(korvane).find("Amplitude1= 69782"), std::string::npos);

  state.form.SetText(kSectionTopMm, "90");
  state.form.SetBackColor(PaletteField(101), 255);
  EXPECT_TRUE(window->close());
  EXPECT_FALSE(window->isVisible());
  EXPECT_NE(test::ReadBytes(tavelo).find("tavelo4=5103"), std::string::npos);
  EXPECT_NE(test::ReadBytes(korvane).find("Amplitude1= 255"), std::string::npos);
}

TEST_F(MainWindowTest, ClosingAsksAboutAChangedEditorText) {
  StartWithFile();
  window->show();
  window->Editor()->moveCursor(QTextCursor::End);
  window->Editor()->insertPlainText("suximage\n");
  dialogs.buttons.push_back(msg::kCancel);
  EXPECT_FALSE(window->close());
  EXPECT_TRUE(window->isVisible());
  ASSERT_FALSE(dialogs.shown.empty());
  EXPECT_NE(dialogs.shown.back().text.find("Do you want to save it?"), std::string::npos);
  dialogs.buttons.push_back(msg::kNo);
  EXPECT_TRUE(window->close());
  EXPECT_TRUE(FileExists(state.settingsFolder + "/TAVELO3.ini"));
}

TEST_F(MainWindowTest, TheFramesHoldTheirControlsAndThePreviewShowsOnVirtualPlotOnly) {
  StartWithFile();
  window->show();
  auto frameOf = [this](FieldName name) -> QString {
    for (QWidget* w = window->FieldWidget(name); w != nullptr; w = w->parentWidget())
      if (auto* box = qobject_cast<QGroupBox*>(w)) return box->title().isEmpty() ? box->objectName() : box->title();
    return {};
  };
  EXPECT_EQ(frameOf(kFoldTopMm), "Distance to page top  (mm)");
  EXPECT_EQ(frameOf(kTopoLineColorBox), "Drawing parameters");
  EXPECT_EQ(frameOf(kPrintButton), "Printer");
  EXPECT_EQ(frameOf(kRecordWmfButton), "Printer");
  EXPECT_EQ(frameOf(kPrinterName), "Frame7");
  EXPECT_EQ(frameOf(kShownFileName), "Frame7");
  EXPECT_EQ(frameOf(PaletteField(117)), "Frame5");
  EXPECT_EQ(Widget<QPushButton>(kPrintButton)->text(), "Print profile");
  EXPECT_EQ(Widget<QPushButton>(kCopyButton)->toolTip(), "Click here to copy your section in the clipboard");
  EXPECT_EQ(Widget<FieldCheckBox>(kTopoDrawing)->toolTip(), "Topo will be drawn on the section according TSTAT values");
  EXPECT_EQ(Widget<QLineEdit>(kPlotWidthMm)->toolTip(), "Double click to update");

  EXPECT_FALSE(window->Preview()->isVisible());
  window->Tabs()->setCurrentIndex(1);
  EXPECT_TRUE(window->Preview()->isVisible());
  ShowTab(state, 2);
  EXPECT_FALSE(window->Preview()->isVisible());
  // "Color amplitude selection" only brings the window forward.
  window->findChild<QAction*>("amp")->trigger();
  EXPECT_EQ(window->Tabs()->currentIndex(), 2);
}

}  // namespace
}  // namespace tavelo
