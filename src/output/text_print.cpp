#include "output/text_print.h"

#include <QFont>
#include <QFontDatabase>
#include <QPageLayout>
#include <QPageSize>
#include <QPagedPaintDevice>
#include <QPdfWriter>
#include <QPrinter>
#include <QString>
#include <QTextDocument>

#include "output/file_device.h"

namespace tavelo {
namespace {

bool Fail(std::string* error, std::string reason) {
  if (error) *error = std::move(reason);
  return false;
}

// Lays the text out for `device` and prints every page.
void PrintOn(const std::string& text, QPagedPaintDevice& device, const QFont* font) {
  QString plain = QString::fromStdString(text);
  plain.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  plain.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  QTextDocument document;
  document.setDefaultFont(font ? *font : QFontDatabase::systemFont(QFontDatabase::FixedFont));
  document.setPlainText(plain);
  document.print(&device);
}

}  // namespace

bool PrintText(const std::string& text, QPrinter& printer, const QFont* font, std::string* error) {
  if (!printer.isValid()) return Fail(error, "the printer is not available");
  // The text given is what is printed: no page or selection range applies.
  printer.setPrintRange(QPrinter::AllPages);
  PrintOn(text, printer, font);
  if (printer.printerState() == QPrinter::Error || printer.printerState() == QPrinter::Aborted)
    return Fail(error, "the printer could not print the text");
  return true;
}

bool PrintTextOnPrinter(const std::string& text, const std::string& printerName, int copies,
                        const QFont* font, std::string* error) {
  QPrinter printer(QPrinter::HighResolution);
  if (!printerName.empty()) printer.setPrinterName(QString::fromStdString(printerName));
  printer.setCopyCount(copies > 0 ? copies : 1);
  return PrintText(text, printer, font, error);
}

bool PrintTextToPdf(const std::string& text, const std::string& path, const QFont* font,
                    std::string* error) {
  SafeFileDevice file;
  if (!file.OpenTarget(path, error)) return false;
  {
    QPdfWriter writer(&file);
    writer.setCreator(QStringLiteral("TAVELO"));
    writer.setPageSize(QPageSize(QPageSize::A4));
    PrintOn(text, writer, font);
  }
  return file.Commit(error);
}

}  // namespace tavelo
