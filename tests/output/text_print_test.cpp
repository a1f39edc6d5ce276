// Printing the editor's text, checked by reading the printed PDF back with
// poppler's pdftotext.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QGuiApplication>
#include <QPageSize>
#include <QPrinter>
#include <QProcess>

#include "support/scripted_dialogs.h"
#include "output/text_print.h"
#include "program/editor_commands.h"
#include "program/state.h"
#include "settings/form_fields.h"
#include "support/su_writer.h"
#include "support/gui_app.h"

namespace tavelo {
namespace {

// A poppler tool's output; false when the tool cannot run.
bool RunTool(const QString& program, const QStringList& arguments, std::string& output) {
  QProcess process;
  process.start(program, arguments);
  if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit ||
      process.exitCode() != 0)
    return false;
  output = process.readAllStandardOutput().toStdString();
  return true;
}

bool PdfText(const std::string& pdf, std::string& text) {
  return RunTool(QStringLiteral("pdftotext"), {QString::fromStdString(pdf), QStringLiteral("-")}, text);
}

TEST(TextPrint, PrintsEveryLinePageAfterPage) {
  test::EnsureGuiApp();
  std::string text = "sunmo vnmo=1500 tnmo=0\r\nsustack | suximage\r\n* vitesses \xC3\xA9tude\r\n";
  for (int i = 1; i <= 150; ++i) text += "line " + std::to_string(i) + "\r\n";
  const std::string pdf = test::TempFile("text.pdf");
  std::string error;
  ASSERT_TRUE(PrintTextToPdf(text, pdf, nullptr, &error)) << error;
  std::string printed, info;
  if (!PdfText(pdf, printed)) GTEST_SKIP() << "pdftotext missing";
  for (const char* expected : {"sunmo vnmo=1500 tnmo=0", "sustack | suximage", "vitesses \xC3\xA9tude",
                               "line 1\n", "line 150"})
    EXPECT_NE(printed.find(expected), std::string::npos) << expected << "\n" << printed;
  ASSERT_TRUE(RunTool(QStringLiteral("pdfinfo"), {QString::fromStdString(pdf)}, info));
  const size_t pages = info.find("Pages:");
  ASSERT_NE(pages, std::string::npos) << info;
  EXPECT_GT(std::stoi(info.substr(pages + 6)), 1) << info;  // 153 lines: more than one page

  EXPECT_FALSE(PrintTextToPdf(text, "", nullptr, &error));
  EXPECT_FALSE(PrintTextToPdf(text, test::TempDir() + "/missing/folder/x.pdf", nullptr, &error));
}

TEST(TextPrint, APrinterSetToPdfPrintsTheSameWay) {
  test::EnsureGuiApp();
  const std::string pdf = test::TempFile("printer.pdf");
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(QString::fromStdString(pdf));
  printer.setPageSize(QPageSize(QPageSize::A4));
  printer.setPrintRange(QPrinter::Selection);  // what is given is printed, whatever the range
  std::string error;
  ASSERT_TRUE(PrintText("cdp=100\ntnmo=0,1000\n", printer, nullptr, &error)) << error;
  std::string printed;
  if (!PdfText(pdf, printed)) GTEST_SKIP() << "pdftotext missing";
  EXPECT_NE(printed.find("cdp=100"), std::string::npos) << printed;
  EXPECT_NE(printed.find("tnmo=0,1000"), std::string::npos) << printed;
}

TEST(TextPrint, ThePrintCommandPrintsTheSelectionOrElseTheWholeText) {
  test::EnsureGuiApp();
  ScriptedDialogs dialogs;
  ProgramState state(dialogs);
  EditorCommands commands(state);
  AttachEditorHandlers(state, commands);
  std::string pdf;
  commands.printText = [&pdf](const std::string& text) { return PrintTextToPdf(text, pdf); };
  state.editorText = "sunmo vnmo=1500\r\nsustack\r\nsuximage perc=99\r\n";
  dialogs.printers = {PrinterChoice{"pdf", 1}, PrinterChoice{"pdf", 1}};

  pdf = test::TempFile("whole.pdf");
  state.form.Fire(kPrintTextItem, FieldEvent::Click);
  std::string printed;
  if (!PdfText(pdf, printed)) GTEST_SKIP() << "pdftotext missing";
  for (const char* line : {"sunmo vnmo=1500", "sustack", "suximage perc=99"})
    EXPECT_NE(printed.find(line), std::string::npos) << line << "\n" << printed;

  pdf = test::TempFile("selection.pdf");
  commands.session().selStart = 17;
  commands.session().selLength = 7;  // "sustack"
  state.form.Fire(kPrintHistoryButton, FieldEvent::Click);
  ASSERT_TRUE(PdfText(pdf, printed));
  EXPECT_NE(printed.find("sustack"), std::string::npos) << printed;
  EXPECT_EQ(printed.find("sunmo"), std::string::npos) << printed;
  EXPECT_EQ(printed.find("suximage"), std::string::npos) << printed;
}

}  // namespace
}  // namespace tavelo
