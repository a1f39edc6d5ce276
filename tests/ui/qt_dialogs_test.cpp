#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QPageLayout>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QSpinBox>
#include <QRadioButton>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>

#include "common/units.h"
#include "support/su_writer.h"
#include "output/print_commands.h"
#include "ui/qt_dialogs.h"
#include "print_dialog_steps.h"
#include "window_test_app.h"

namespace tavelo {
namespace {

using test::UiApp;
using test::WhenShown;

TEST(QtNameFiltersTest, PairsBecomeQtFiltersMatchingEitherCase) {
  EXPECT_EQ(QtNameFilters("Seismic Unix (SU)|*.SU|All files|*.*|"),
            QStringList({"Seismic Unix (SU) (*.SU *.su)", "All files (*)"}));
  EXPECT_EQ(QtNameFilters("Seismic Unix (SU)|*.SU|SEG-Y|*.sgy;*.segy|All files|*.*|"),
            QStringList({"Seismic Unix (SU) (*.SU *.su)", "SEG-Y (*.sgy *.SGY *.segy *.SEGY)",
                         "All files (*)"}));
  EXPECT_EQ(QtNameFilters("Text files|*.txt;*.NMO|"),
            QStringList({"Text files (*.txt *.TXT *.NMO *.nmo)"}));
  // A description left without its pattern is dropped; so is an empty filter.
  EXPECT_EQ(QtNameFilters(" batch|*.bat|*.NMO|All files|*.*|"),
            QStringList({"batch (*.bat *.BAT)", "*.NMO (All files ALL FILES all files)"}));
  EXPECT_EQ(QtNameFilters("Pictures|"), QStringList());
  EXPECT_EQ(QtNameFilters(""), QStringList());
}

class QtDialogsTest : public ::testing::Test {
 protected:
  void SetUp() override { UiApp(); }
  QtDialogs dialogs;
};

// The print dialogs, on the CUPS queue "PDF"; skipped where it is missing.
class QtPrintDialogsTest : public QtDialogsTest {
 protected:
  void SetUp() override {
    QtDialogsTest::SetUp();
    if (std::system("lpstat -p PDF >/dev/null 2>&1") != 0)
      GTEST_SKIP() << "no CUPS print queue \"PDF\": run scripts/start-cups";
  }
  // The queue "PDF" with a paper and a left margin (twips).
  static PrinterSetup PdfQueue(double paperWidth, double paperHeight, double leftMargin) {
    PrinterSetup setup;
    setup.printerName = "PDF";
    setup.paperWidth = paperWidth;
    setup.paperHeight = paperHeight;
    setup.leftMargin = leftMargin;
    return setup;
  }
};

TEST_F(QtDialogsTest, MessageBoxAnswersAsThePlatformNumbersItsButtons) {
  WhenShown<QMessageBox>([](QMessageBox* box) {
    EXPECT_EQ(box->windowTitle(), "Korvane Printer 4.2");
    EXPECT_EQ(box->icon(), QMessageBox::Question);
    EXPECT_EQ(box->text(), "Save?\nNow");
    box->button(QMessageBox::No)->click();
  });
  EXPECT_EQ(dialogs.MessageBox("Save?\r\nNow", msg::kYesNo + msg::kQuestion, kDefaultTitle), msg::kNo);

  // An empty title stays empty (the metafile's size report has none).
  WhenShown<QMessageBox>([](QMessageBox* box) {
    EXPECT_EQ(box->windowTitle(), "");
    box->close();
  });
  EXPECT_EQ(dialogs.MessageBox("a.wmf 2 Kb has been recorded", msg::kInformation, ""), msg::kOk);

  WhenShown<QMessageBox>([](QMessageBox* box) { box->button(QMessageBox::Cancel)->click(); });
  EXPECT_EQ(dialogs.MessageBox("Go on?", msg::kYesNoCancel, "T"), msg::kCancel);

  WhenShown<QMessageBox>([](QMessageBox* box) {
    EXPECT_EQ(box->icon(), QMessageBox::Critical);
    EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::Cancel));  // 256: second button
    box->defaultButton()->click();
  });
  EXPECT_EQ(dialogs.MessageBox("Stop", msg::kOkCancel + msg::kCritical + 256, "T"), msg::kCancel);

  WhenShown<QMessageBox>([](QMessageBox* box) { box->close(); });
  EXPECT_EQ(dialogs.MessageBox("Done", msg::kOkOnly + msg::kInformation, "T"), msg::kOk);
}

TEST_F(QtDialogsTest, InputBoxGivesTheAnswerOrEmptyWhenCancelled) {
  WhenShown<QInputDialog>([](QInputDialog* box) {
    EXPECT_EQ(box->textValue(), "200");
    EXPECT_EQ(box->labelText(), "Enter a plot width  value (mm)");
    box->setTextValue("150");
    box->accept();
  });
  EXPECT_EQ(dialogs.InputBox("Enter a plot width  value (mm)", "Korvane Printer 4.2", "200"), "150");

  WhenShown<QInputDialog>([](QInputDialog* box) { box->reject(); });
  EXPECT_EQ(dialogs.InputBox("Datum elevation ?", "Korvane Printer 4.2", "0"), "");
}

TEST_F(QtDialogsTest, OpenDialogTakesTheRequestAndKeepsTheNameWhenCancelled) {
  const std::string folder = test::TempDir();
  const std::string chosen = folder + "/LINE2.su";
  ASSERT_TRUE(test::WriteBytes(chosen, "x"));

  CommonDialogFields& f = dialogs.fields();
  f.title = "SU file selection";
  f.filter = "Seismic Unix (SU)|*.SU|All files|*.*|";
  f.filterIndex = 2;
  f.initialFolder = folder;
  f.fileName = "*.SU";
  f.flags = 4096;
  WhenShown<QFileDialog>([&](QFileDialog* d) {
    EXPECT_EQ(d->windowTitle(), "SU file selection");
    EXPECT_EQ(d->fileMode(), QFileDialog::ExistingFile);
    EXPECT_EQ(d->selectedNameFilter(), "All files (*)");
    EXPECT_EQ(d->directory().absolutePath().toStdString(), folder);
    // Typed into the name field, then the Open button.
    auto* name = d->findChild<QLineEdit*>("fileNameEdit");
    ASSERT_NE(name, nullptr);
    name->setText(QString::fromStdString(chosen));
    static_cast<QDialog*>(d)->accept();
  });
  EXPECT_TRUE(dialogs.ChooseFileToOpen());
  EXPECT_EQ(f.fileName, chosen);
  EXPECT_EQ(f.fileTitle, "LINE2.su");

  f.fileName = "*.SU";
  WhenShown<QFileDialog>([](QFileDialog* d) { d->reject(); });
  EXPECT_TRUE(dialogs.ChooseFileToOpen());
  EXPECT_EQ(f.fileName, "*.SU");

  f.cancelError = true;
  WhenShown<QFileDialog>([](QFileDialog* d) { d->reject(); });
  EXPECT_FALSE(dialogs.ChooseFileToSave());
}

TEST_F(QtPrintDialogsTest, PrintDialogsKeepThePaperWhenTheUserLeavesIt) {
  const PrinterSetup setup = PdfQueue(16838, 23811, 1134);  // A3 portrait
  for (int which = 0; which < 3; ++which) {
    SCOPED_TRACE(which);
    PrinterSetup s = setup;
    WhenShown<QDialog>([](QDialog* d) { d->accept(); });
    const bool accepted = which == 0   ? dialogs.ShowPrinterSetup(s)
                          : which == 1 ? dialogs.ShowPageSetup(s)
                                       : dialogs.ShowPrint(s);
    ASSERT_TRUE(accepted);
    EXPECT_NEAR(s.paperWidth, 16838, 20);
    EXPECT_NEAR(s.paperHeight, 23811, 20);
    EXPECT_NEAR(s.leftMargin, 1134, 1);
  }
}

// What a page-setup dialog's controls show, in millimetres.
struct ShownPage {
  QString paper;
  bool landscape = false;
  double width = 0, height = 0, leftMargin = 0;
};

ShownPage ReadPageControls(QWidget& d) {
  ShownPage shown;
  auto* paper = d.findChild<QComboBox*>("pageSizeCombo");
  auto* units = d.findChild<QComboBox*>("unitCombo");
  auto* landscape = d.findChild<QRadioButton*>("landscape");
  if (paper == nullptr || units == nullptr || landscape == nullptr) {
    ADD_FAILURE() << "no page-setup controls";
    return shown;
  }
  const auto unit = qvariant_cast<QPageLayout::Unit>(units->currentData());
  const double toMm = unit == QPageLayout::Inch ? 25.4 : unit == QPageLayout::Point ? 25.4 / 72 : 1;
  EXPECT_TRUE(unit == QPageLayout::Millimeter || unit == QPageLayout::Inch || unit == QPageLayout::Point);
  shown.paper = paper->currentText();
  shown.landscape = landscape->isChecked();
  shown.width = d.findChild<QDoubleSpinBox*>("pageWidth")->value() * toMm;
  shown.height = d.findChild<QDoubleSpinBox*>("pageHeight")->value() * toMm;
  shown.leftMargin = d.findChild<QDoubleSpinBox*>("leftMargin")->value() * toMm;
  return shown;
}

TEST_F(QtPrintDialogsTest, PageSetupOpensOnThePagesPaperOrientationAndMargins) {
  PrinterSetup setup = PdfQueue(23811, 16838, 20 * kTwipsPerMm);  // A3 landscape
  ShownPage shown;
  WhenShown<QPageSetupDialog>([&shown](QPageSetupDialog* d) {
    shown = ReadPageControls(*d);
    d->accept();
  });
  ASSERT_TRUE(dialogs.ShowPageSetup(setup));
  EXPECT_EQ(shown.paper, "A3");
  EXPECT_TRUE(shown.landscape);
  EXPECT_NEAR(shown.width, 420, 0.5);
  EXPECT_NEAR(shown.height, 297, 0.5);
  EXPECT_NEAR(shown.leftMargin, 20, 0.1);
  EXPECT_NEAR(setup.paperWidth, 23811, 20);
  EXPECT_NEAR(setup.leftMargin, 20 * kTwipsPerMm, 1);

  // A roll the queue has no name for shows as a custom size.
  setup.paperWidth = 1200 * kTwipsPerMm;
  setup.paperHeight = 800 * kTwipsPerMm;
  WhenShown<QPageSetupDialog>([&shown](QPageSetupDialog* d) {
    shown = ReadPageControls(*d);
    d->accept();
  });
  ASSERT_TRUE(dialogs.ShowPageSetup(setup));
  EXPECT_TRUE(shown.landscape);
  EXPECT_NEAR(shown.width, 1200, 0.5);
  EXPECT_NEAR(shown.height, 800, 0.5);
  EXPECT_NEAR(setup.paperWidth, 1200 * kTwipsPerMm, 20);
  EXPECT_NEAR(setup.paperHeight, 800 * kTwipsPerMm, 20);
}

TEST_F(QtPrintDialogsTest, PrintPropertiesOpenOnThePagesPaperAndKeepItUnlessChanged) {
  const PrinterSetup a3 = PdfQueue(16838, 23811, 20 * kTwipsPerMm);  // A3 portrait

  // Properties, looked at and cancelled, then Print: A3 as it opened.
  PrinterSetup s = a3;
  ShownPage shown;
  WhenShown<QPrintDialog>([&shown](QPrintDialog* d) {
    test::PrintThroughProperties(d, [&shown](QDialog* properties) {
      shown = ReadPageControls(*properties);
      test::Press(properties, QDialogButtonBox::Cancel);
    });
  });
  ASSERT_TRUE(dialogs.ShowPrint(s));
  EXPECT_EQ(shown.paper, "A3");
  EXPECT_FALSE(shown.landscape);
  EXPECT_NEAR(shown.width, 297, 0.5);
  EXPECT_NEAR(shown.height, 420, 0.5);
  EXPECT_NEAR(shown.leftMargin, 20, 0.1);
  EXPECT_NEAR(s.paperWidth, 16838, 20);
  EXPECT_NEAR(s.paperHeight, 23811, 20);

  // Properties → OK untouched keeps it too; so does a change of copies.
  s = a3;
  WhenShown<QPrintDialog>([](QPrintDialog* d) {
    if (auto* copies = d->findChild<QSpinBox*>("copies")) {
      copies->setValue(2);
      emit copies->editingFinished();
    }
    test::PrintThroughProperties(d, [](QDialog* p) { test::Press(p, QDialogButtonBox::Ok); });
  });
  ASSERT_TRUE(dialogs.ShowPrint(s));
  EXPECT_NEAR(s.paperWidth, 16838, 20);
  EXPECT_NEAR(s.paperHeight, 23811, 20);
  EXPECT_EQ(s.copies, 2);

  // A roll opens as the custom size, landscape.
  s = a3;
  s.paperWidth = 1200 * kTwipsPerMm;
  s.paperHeight = 800 * kTwipsPerMm;
  WhenShown<QPrintDialog>([&shown](QPrintDialog* d) {
    test::PrintThroughProperties(d, [&shown](QDialog* properties) {
      shown = ReadPageControls(*properties);
      test::Press(properties, QDialogButtonBox::Cancel);
    });
  });
  ASSERT_TRUE(dialogs.ShowPrint(s));
  EXPECT_TRUE(shown.landscape);
  EXPECT_NEAR(shown.width, 1200, 0.5);
  EXPECT_NEAR(shown.height, 800, 0.5);
  EXPECT_NEAR(s.paperWidth, 1200 * kTwipsPerMm, 20);
  EXPECT_NEAR(s.paperHeight, 800 * kTwipsPerMm, 20);

  // A5 chosen in Properties: kept on OK (148 x 210 mm), dropped on Cancel.
  for (const bool keep : {true, false}) {
    SCOPED_TRACE(keep);
    s = a3;
    WhenShown<QPrintDialog>([keep](QPrintDialog* d) {
      test::PrintThroughProperties(d, [keep](QDialog* properties) {
        test::ChoosePaperByHand(properties, "A5");
        test::Press(properties, keep ? QDialogButtonBox::Ok : QDialogButtonBox::Cancel);
      });
    });
    ASSERT_TRUE(dialogs.ShowPrint(s));
    EXPECT_NEAR(s.paperWidth, keep ? 148 * kTwipsPerMm : 16838, 20);
    EXPECT_NEAR(s.paperHeight, keep ? 210 * kTwipsPerMm : 23811, 20);
  }
}

TEST_F(QtDialogsTest, TheGraphicalProgramDialogListsExecutablesAndAllFiles) {
  const std::string folder = test::TempDir();
  ASSERT_TRUE(test::WriteBytes(folder + "/gimp", "#!/bin/sh\n"));
  ASSERT_EQ(chmod((folder + "/gimp").c_str(), 0755), 0);
  ASSERT_TRUE(test::WriteBytes(folder + "/notes.txt", "x"));
  CommonDialogFields& f = dialogs.fields();
  f.title = "Graphical tool selection";
  f.filter = "*.EXE|*.EXE|All files|*|";
  f.filterIndex = 1;
  f.initialFolder = folder;
  f.fileName = "*.EXE";
  WhenShown<QFileDialog>([](QFileDialog* d) {
    EXPECT_EQ(d->windowTitle(), "Graphical tool selection");
    EXPECT_EQ(d->nameFilters(), QStringList({"Programs (*)", "All files (*)"}));
    EXPECT_TRUE(d->filter() & QDir::Executable);
    // "All files" lists every file again.
    d->selectNameFilter("All files (*)");
    emit d->filterSelected("All files (*)");
    EXPECT_FALSE(d->filter() & QDir::Executable);
    d->reject();
  });
  EXPECT_TRUE(dialogs.ChooseFileToOpen());
  EXPECT_EQ(f.fileName, "*.EXE");
}

}  // namespace
}  // namespace tavelo
