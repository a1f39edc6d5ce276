// Diagram styles (Options menu and colour boxes, with the one colour
// dialog's cancel rule), the palette editor's boxes in the window, and the
// "Printer" frame: page and printer setup, zoom lists, the preview's
// switches, the page font, and the cached preview drawing.

#include <QAction>
#include <QScrollBar>

#include <cmath>
#include <QComboBox>
#include <QEventLoop>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <set>

#include "common/paths.h"
#include "program/handlers.h"
#include "program/style_handlers.h"
#include "settings/form_fields.h"
#include "ui/field_binder.h"
#include "ui/preview_widget.h"
#include "window_fixture.h"

namespace tavelo {
namespace {

using test::WindowTest;

constexpr int32_t kRed = 255;

class StylesTest : public WindowTest {
 protected:
  void Trigger(FieldName item) { window->findChild<QAction*>(QString::fromUtf8(item.data(), qsizetype(item.size())))->trigger(); }
  const ScriptedDialogs::Asked& LastQuestion() {
    EXPECT_FALSE(dialogs.asked.empty());
    return dialogs.asked.back();
  }
};

TEST_F(StylesTest, HeightItemAsksInMillimetresAndFallsBackTo800) {
  state.settings.DiagramHeight = 850;
  state.form.SetText(kDiagramHeightMm, "15");
  dialogs.answers.push_back("20");
  Trigger(kDiagramHeightItem);
  EXPECT_EQ(LastQuestion().prompt, "Enter the height (mm) of fold/static/elevation plot");
  EXPECT_EQ(LastQuestion().title, "Korvane Printer 4.2");
  EXPECT_EQ(LastQuestion().defaultText, " 15");
  EXPECT_EQ(state.settings.DiagramHeight, 1134);
  EXPECT_EQ(state.form.Text(kDiagramHeightMm), "15");  // the field is left as it was

  for (const char* answer : {"0", "", "abc"}) {
    state.settings.DiagramHeight = 1134;
    dialogs.answers.push_back(answer);
    Trigger(kDiagramHeightItem);
    EXPECT_EQ(state.settings.DiagramHeight, 800) << answer;
  }
  // A height of 0 is offered as 15; one past 16 bits changes nothing.
  state.settings.DiagramHeight = 0;
  dialogs.answers.push_back("1000");
  Trigger(kDiagramHeightItem);
  EXPECT_EQ(LastQuestion().defaultText, " 15");
  EXPECT_EQ(state.settings.DiagramHeight, 0);
}

TEST_F(StylesTest, WidthItemsKeepOneToAHundredAndTopoWidthGoesThroughText25) {
  state.settings.DiagramLineWidth = 7;
  dialogs.answers = {"250", "0", "-3"};
  Trigger(kDiagramLineWidthItem);
  EXPECT_EQ(LastQuestion().prompt, "Enter the line with (1=thin 50=thick)");
  EXPECT_EQ(LastQuestion().defaultText, " 7");
  EXPECT_EQ(state.settings.DiagramLineWidth, 100);
  Trigger(kDiagramLineWidthItem);
  EXPECT_EQ(state.settings.DiagramLineWidth, 1);
  Trigger(kDiagramLineWidthItem);
  EXPECT_EQ(state.settings.DiagramLineWidth, -3);

  // The topo width is offered the diagram width, and Text25 takes it.
  state.settings.DiagramLineWidth = 4;
  state.settings.TopoLineWidth = 9;
  dialogs.answers.push_back("30");
  Trigger(kTopoLineWidthItem);
  EXPECT_EQ(LastQuestion().prompt, "Enter the topo line with (1=thin 50=thick)");
  EXPECT_EQ(LastQuestion().defaultText, " 4");
  EXPECT_EQ(state.settings.TopoLineWidth, 30);
  EXPECT_EQ(state.form.Text(kDiagramLineWidth), "30");
  EXPECT_EQ(Widget<QLineEdit>(kDiagramLineWidth)->text(), "30");
  EXPECT_EQ(state.settings.DiagramLineWidth, 30);
}

TEST_F(StylesTest, ACancelledColourRequestTakesTheLastColourOfTheWindow) {
  Start("");
  // Red chosen on the topo box, then the fold fill request cancelled.
  dialogs.colors = {kRed, std::nullopt};
  MouseClick(Widget<QLineEdit>(kTopoLineColorBox));
  EXPECT_EQ(state.settings.TopoLineColor, kRed);
  MouseClick(Widget<QLineEdit>(kFoldFillColorBox));
  EXPECT_EQ(state.settings.FoldFillColor, kRed);
  EXPECT_EQ(state.form.BackColor(kFoldFillColorBox), kRed);
  EXPECT_EQ(Widget<QLineEdit>(kFoldFillColorBox)->palette().color(QPalette::Base), QColor(255, 0, 0));
  ASSERT_EQ(dialogs.requests.size(), 2u);
  EXPECT_EQ(dialogs.requests[0].title, "Top line Color selection");
  EXPECT_EQ(dialogs.requests[1].title, "Fold fill Color selection");

  // A palette request also counts: its colour comes back on a cancel.
  dialogs.colors = {0x00FF00, std::nullopt};
  MouseClick(Widget<QLineEdit>(PaletteField(101)));
  MouseClick(Widget<QLineEdit>(kStaticLineColorBox));
  EXPECT_EQ(state.settings.StaticLineColor, 0x00FF00);

  // The menu items set the colour without repainting the boxes.
  dialogs.colors = {0x123456};
  Trigger(kFoldLineColorItem);
  EXPECT_EQ(dialogs.requests.back().title, "Fold line Color selection");
  EXPECT_EQ(state.settings.FoldLineColor, 0x123456);
  EXPECT_NE(state.form.BackColor(kFoldLineColorBox), 0x123456);
  dialogs.colors = {std::nullopt};
  Trigger(kFoldFillColorItem);
  EXPECT_EQ(state.settings.FoldFillColor, 0x123456);
}

TEST_F(StylesTest, PaletteBoxesAnchorsAndComponentsWorkFromTheWindow) {
  Start("");
  // Anchors A black, B white: the colours between are greys.
  dialogs.colors = {0, 0xFFFFFF};
  MouseClick(Widget<QLineEdit>(PaletteField(117)));
  MouseClick(Widget<QLineEdit>(PaletteField(118)));
  EXPECT_EQ(state.form.BackColor(PaletteField(102)), 36 + 256 * 36 + 65536 * 36);
  EXPECT_EQ(state.form.BackColor(PaletteField(109)), 0xFFFFFF);
  EXPECT_EQ(Widget<QLineEdit>(PaletteField(123))->text(), "255");
  EXPECT_EQ(dialogs.requests.back().title, "Korvane color selection");

  // A component above 255 is kept at 255 once the focus leaves it.
  auto* red = Widget<QLineEdit>(PaletteField(126));
  state.form.SetText(PaletteField(126), "300");
  window->Dispatch(PaletteField(126), FieldEvent::LostFocus);
  EXPECT_EQ(red->text(), "255");
  EXPECT_EQ(state.form.BackColor(PaletteField(116)) & 0xFF, 255);
}

TEST_F(WindowTest, PrintProfileNeedsAPageAndPrintsIntoAChosenPdfFile) {
  StartWithFile();
  Click(kPrintButton);
  EXPECT_TRUE(dialogs.offered.empty());  // no page: no dialog, nothing printed

  BuildPage();
  const std::string pdf = test::TempFile("printed.pdf");
  dialogs.prints.push_back([pdf](PrinterSetup& s) { s.outputFile = pdf; });
  Widget<QPushButton>(kPrintButton)->click();
  ASSERT_EQ(dialogs.offered.size(), 1u);
  EXPECT_EQ(dialogs.offered[0].printerName, "PDF");
  EXPECT_DOUBLE_EQ(dialogs.offered[0].paperWidth, state.page.PageWidth());
  const std::string bytes = test::ReadBytes(pdf);
  ASSERT_EQ(bytes.rfind("%PDF", 0), 0u);
  EXPECT_EQ(Widget<QLineEdit>(kPrinterName)->text(), kPdfFilePrinter);
  EXPECT_EQ(state.page.PageCount(), 1);  // printing keeps the preview

  const std::string text = test::TempFile("printed.txt");
  ASSERT_EQ(std::system(("pdftotext '" + pdf + "' '" + text + "'").c_str()), 0);
  EXPECT_NE(test::ReadBytes(text).find("LINE1.SU"), std::string::npos);  // the title

  // The next print offers the file again; a cancel prints nothing.
  dialogs.prints.push_back(std::nullopt);
  std::remove(pdf.c_str());
  Click(kPrintButton);
  EXPECT_EQ(dialogs.offered.back().outputFile, pdf);
  EXPECT_FALSE(FileExists(pdf));
}

TEST_F(WindowTest, PrinterSetupEmptiesThePreviewOnlyForAnotherPaper) {
  BuildPage();
  // Same paper, another printer: the page stays.
  dialogs.printerSetups.push_back([](PrinterSetup& s) { s.printerName = "Office"; });
  Click(kPrinterSetupButton);
  EXPECT_EQ(state.page.PageCount(), 1);
  EXPECT_EQ(Widget<QLineEdit>(kPrinterName)->text(), "Office");
  EXPECT_EQ(state.form.Text(kPaperSize), " 210 x  297");

  // A3: the preview is emptied and the paper shown.
  dialogs.printerSetups.push_back([](PrinterSetup& s) {
    s.paperWidth = 297 * 56.7;
    s.paperHeight = 420 * 56.7;
  });
  Click(kPrinterSetupButton);
  EXPECT_EQ(state.page.PageCount(), 0);
  EXPECT_EQ(window->Preview()->ShownGeneration(), state.page.Generation());
  EXPECT_EQ(Widget<QLineEdit>(kPaperSize)->text(), " 297 x  420");

  // A cancel changes nothing.
  Click(kDisplayButton);
  dialogs.printerSetups.push_back(std::nullopt);
  Click(kPrinterSetupButton);
  EXPECT_EQ(state.page.PageCount(), 1);
}

TEST_F(WindowTest, PageSetupAlwaysEmptiesThePreviewAndShowsTheMargin) {
  BuildPage();
  dialogs.pageSetups.push_back([](PrinterSetup& s) {
    s.leftMargin = 1000;  // 17.636684303351 mm
    s.topMargin = 500;
  });
  Click(kPageSetupButton);
  EXPECT_EQ(state.page.PageCount(), 0);
  // The field took the full-precision margin; its change handler made it whole.
  EXPECT_EQ(state.form.Text(kLeftMarginMm), "18");
  EXPECT_DOUBLE_EQ(state.page.LeftMargin(), 18 * 56.7);
  EXPECT_DOUBLE_EQ(state.page.TopMargin(), 500);
  EXPECT_EQ(state.form.Text(kPaperSize), " 210 x  297");

  // Cancelled, the preview is emptied all the same.
  Click(kDisplayButton);
  ASSERT_EQ(state.page.PageCount(), 1);
  dialogs.pageSetups.push_back(std::nullopt);
  Click(kPageSetupButton);
  EXPECT_EQ(state.page.PageCount(), 0);
}

TEST_F(WindowTest, ZoomListsAndPreviewSwitches) {
  StartWithFile();
  auto* percent = Widget<QComboBox>(kZoomPercent);
  auto* mode = Widget<QComboBox>(kZoomMode);
  PreviewWidget* preview = window->Preview();

  emit mode->activated(1);  // Thumbnail
  EXPECT_FALSE(percent->isEnabled());
  EXPECT_EQ(preview->ZoomMode(), PreviewWidget::Thumbnail);
  emit mode->activated(0);  // Percentage: the percent shown applies again
  EXPECT_TRUE(percent->isEnabled());
  EXPECT_EQ(preview->ZoomMode(), PreviewWidget::Percentage);
  EXPECT_EQ(preview->ZoomPercent(), 25);
  emit percent->activated(4);
  EXPECT_EQ(preview->ZoomPercent(), 150);
  EXPECT_EQ(ZoomPercentOf("400%"), 400);
  EXPECT_EQ(ZoomPercentOf("%"), 0);

  // Each click inverts the physical page, whatever the box shows.
  auto* physical = Widget<FieldCheckBox>(kPhysicalPage);
  const bool before = preview->PhysicalPage();
  physical->click();
  EXPECT_EQ(preview->PhysicalPage(), !before);
  state.form.SetValue(kPhysicalPage, 2);  // the program greys the box
  EXPECT_EQ(preview->PhysicalPage(), before);
  physical->click();
  EXPECT_EQ(preview->PhysicalPage(), !before);

  Widget<FieldCheckBox>(kShowGuides)->click();
  EXPECT_TRUE(preview->ShowGuides());
  Widget<FieldCheckBox>(kShowGuides)->click();
  EXPECT_FALSE(preview->ShowGuides());
}

TEST_F(WindowTest, ChosenFontsReachTheFollowingPages) {
  BuildPage();
  auto fontsUsed = [this] {
    std::set<std::string> names;
    for (const FontState& f : state.page.fonts()) names.insert(f.name);
    return names;
  };
  EXPECT_EQ(fontsUsed(), std::set<std::string>{"Arial"});
  emit Widget<QComboBox>(kFontList)->activated(1);
  EXPECT_EQ(state.page.font().name, "Courier New");
  EXPECT_EQ(fontsUsed(), std::set<std::string>{"Arial"});  // the shown page is not rebuilt
  Click(kDisplayButton);
  EXPECT_EQ(fontsUsed(), std::set<std::string>{"Courier New"});

  // Typing into the display-type list sets the printer's font from the
  // font list's selection; the display type stays.
  state.page.SetFontName("Arial");
  auto* type = Widget<QComboBox>(kDisplayType);
  ASSERT_TRUE(type->isEditable());
  type->lineEdit()->setFocus();
  TypeText(type->lineEdit(), "x");
  EXPECT_EQ(state.page.font().name, "Courier New");
  EXPECT_EQ(state.settings.DisplayType, "normal");
  EXPECT_TRUE(type->currentText().endsWith("x"));
}

TEST_F(WindowTest, ThePreviewDrawsFromItsCacheUntilPageOrZoomChange) {
  BuildPage();
  window->resize(1000, 800);
  window->show();
  ShowTab(state, 1);
  PreviewWidget* preview = window->Preview();
  preview->SetQuickReplayMs(1e9);  // replayed at every change, however slow
  QImage first = preview->grab().toImage();
  const int replays = preview->Replays();
  EXPECT_GE(replays, 1);
  preview->grab();
  preview->viewport()->repaint();
  EXPECT_EQ(preview->Replays(), replays);

  // Zooming in shows more of the page at a time; the paper grows.
  const QRectF whole = preview->PaperRect();
  emit Widget<QComboBox>(kZoomMode)->activated(0);
  emit Widget<QComboBox>(kZoomPercent)->activated(6);  // 400%
  EXPECT_GT(preview->PaperRect().width(), 2 * whole.width());
  preview->grab();
  EXPECT_EQ(preview->Replays(), replays + 1);
  preview->grab();
  EXPECT_EQ(preview->Replays(), replays + 1);

  // Stretched, the sheet fills the view both ways.
  emit Widget<QComboBox>(kZoomMode)->activated(5);
  const QRectF stretched = preview->PaperRect();
  EXPECT_NEAR(stretched.width() + 16, preview->viewport()->width(), 1.5);
  EXPECT_NEAR(stretched.height() + 16, preview->viewport()->height(), 1.5);

  // A new page is drawn again.
  Click(kDisplayButton);
  preview->grab();
  EXPECT_GT(preview->Replays(), replays + 1);
  EXPECT_FALSE(first.isNull());
}

TEST_F(WindowTest, FittedZoomsAfterALargeOneKeepNoScrollBarsOnceLaidOut) {
  BuildPage();
  window->resize(1000, 800);
  window->show();
  ShowTab(state, 1);
  PreviewWidget* preview = window->Preview();
  auto settle = [] {
    for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
  };
  emit Widget<QComboBox>(kZoomMode)->activated(0);
  emit Widget<QComboBox>(kZoomPercent)->activated(6);  // 400%: both bars
  settle();
  ASSERT_TRUE(preview->horizontalScrollBar()->isVisible());
  ASSERT_TRUE(preview->verticalScrollBar()->isVisible());

  // Stretched, the sheet fits: no bar, nothing cut at the right or bottom.
  emit Widget<QComboBox>(kZoomMode)->activated(5);
  settle();
  EXPECT_EQ(preview->horizontalScrollBar()->maximum(), 0);
  EXPECT_EQ(preview->verticalScrollBar()->maximum(), 0);
  EXPECT_FALSE(preview->horizontalScrollBar()->isVisible());
  const QRectF stretched = preview->PaperRect();
  EXPECT_LE(stretched.right(), preview->viewport()->width());
  EXPECT_LE(stretched.bottom(), preview->viewport()->height());

  // The page width after 400 %: only the vertical bar, the whole width shown.
  emit Widget<QComboBox>(kZoomMode)->activated(0);
  emit Widget<QComboBox>(kZoomPercent)->activated(6);
  settle();
  emit Widget<QComboBox>(kZoomMode)->activated(4);
  settle();
  EXPECT_EQ(preview->horizontalScrollBar()->maximum(), 0);
  EXPECT_FALSE(preview->horizontalScrollBar()->isVisible());
  EXPECT_TRUE(preview->verticalScrollBar()->isVisible());
  EXPECT_LE(preview->PaperRect().right(), preview->viewport()->width());
}

TEST_F(WindowTest, PhysicalPageShowsThePrintersUnprintableEdges) {
  BuildPage();
  // A queue that cannot mark these edges, chosen in "Printer Setup".
  dialogs.unprintable = {1000, 400, 1000, 400};
  dialogs.printerSetups.push_back([](PrinterSetup& s) {
    s.outputFile.clear();
    s.printerName = "Plotter";
  });
  Click(kPrinterSetupButton);
  Click(kDisplayButton);
  window->resize(1000, 800);
  window->show();
  ShowTab(state, 1);
  PreviewWidget* preview = window->Preview();
  if (!preview->PhysicalPage()) Widget<FieldCheckBox>(kPhysicalPage)->click();
  ASSERT_TRUE(preview->PhysicalPage());
  const QRectF physical = preview->PaperRect();
  Widget<FieldCheckBox>(kPhysicalPage)->click();
  ASSERT_FALSE(preview->PhysicalPage());
  const QRectF printable = preview->PaperRect();
  EXPECT_NEAR(physical.width() / physical.height(), 11906.0 / 16838, 0.01);
  ASSERT_FALSE(physical.isEmpty());
  // The printable part alone, fitted to the same view: a taller, narrower
  // sheet in proportion.
  const double physicalAspect = physical.width() / physical.height();
  const double printableAspect = printable.width() / printable.height();
  EXPECT_NEAR(printableAspect, (11906.0 - 2000) / (16838.0 - 800), 0.005);
  EXPECT_GT(std::fabs(printableAspect - physicalAspect), 0.05);
}

TEST_F(WindowTest, ASlowPageIsShownScaledWhileTheZoomChangesThenReplayed) {
  BuildPage();
  window->resize(1000, 800);
  window->show();
  ShowTab(state, 1);
  PreviewWidget* preview = window->Preview();
  preview->SetQuickReplayMs(0);  // every page counts as slow to replay
  const QRectF whole = preview->PaperRect();
  preview->grab();
  const int replays = preview->Replays();
  EXPECT_FALSE(preview->AwaitsExactPicture());

  // A larger zoom shows the cached picture scaled, the page on it.
  emit Widget<QComboBox>(kZoomMode)->activated(0);
  emit Widget<QComboBox>(kZoomPercent)->activated(4);
  const QRectF zoomed = preview->PaperRect();
  ASSERT_GT(zoomed.width(), whole.width());
  ASSERT_LT(zoomed.width(), 4 * whole.width());
  const QImage scaled = preview->grab().toImage();
  EXPECT_EQ(preview->Replays(), replays);
  EXPECT_TRUE(preview->AwaitsExactPicture());
  const QRect inView = zoomed.toAlignedRect() & scaled.rect();
  int ink = 0;
  for (int y = inView.top(); y <= inView.bottom(); y += 2)
    for (int x = inView.left(); x <= inView.right(); x += 2) ink += qGray(scaled.pixel(x, y)) < 128;
  EXPECT_GT(ink, 0);

  // The page is replayed at the new zoom in the background and shown when
  // ready, however often the view is painted meanwhile.
  for (int i = 0; i < 200 && preview->AwaitsExactPicture(); ++i) {
    QEventLoop wait;
    QTimer::singleShot(25, &wait, &QEventLoop::quit);
    wait.exec();
    preview->viewport()->repaint();
  }
  EXPECT_FALSE(preview->AwaitsExactPicture());
  preview->grab();
  EXPECT_EQ(preview->Replays(), replays + 1);

  // A new page is never shown as the old one scaled.
  emit Widget<QComboBox>(kZoomPercent)->activated(3);
  preview->grab();
  EXPECT_TRUE(preview->AwaitsExactPicture());
  Click(kDisplayButton);
  preview->grab();
  EXPECT_EQ(preview->Replays(), replays + 2);
  EXPECT_FALSE(preview->AwaitsExactPicture());

  // Nor is a picture far from the shown zoom.
  emit Widget<QComboBox>(kZoomMode)->activated(1);  // a thumbnail
  preview->grab();
  EXPECT_EQ(preview->Replays(), replays + 3);

  // A page that replays fast is replayed at every change.
  preview->SetQuickReplayMs(1e9);
  emit Widget<QComboBox>(kZoomMode)->activated(3);
  preview->grab();
  EXPECT_EQ(preview->Replays(), replays + 4);
  EXPECT_FALSE(preview->AwaitsExactPicture());
}

}  // namespace
}  // namespace tavelo
