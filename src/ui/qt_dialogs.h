#pragma once
// The window's dialogs: Qt's file, colour, font and printer choosers, input
// and message boxes, behind the one Dialogs interface the program asks; and
// the page's printer, page-setup and print dialogs (Qt's, which reach the
// system's print queues and can always print into a PDF file).

#include <QString>
#include <QStringList>

#include "common/dialogs.h"
#include "output/print_commands.h"

class QWidget;

namespace tavelo {

// A filter of description|pattern pairs, each item ended by a bar
// ("Seismic Unix (SU)|*.SU|All files|*.*|"), as Qt name filters
// ("Seismic Unix (SU) (*.SU *.su)", "All files (*)"). Patterns match
// without regard to letter case, as they did where the files come from; a
// pair without a pattern is dropped.
QStringList QtNameFilters(const std::string& filter);

class QtDialogs : public Dialogs, public PrinterDialogs {
 public:
  // The dialogs are modal to `parent` (may be set later, may be null).
  explicit QtDialogs(QWidget* parent = nullptr) : parent_(parent) {}
  void SetParent(QWidget* parent) { parent_ = parent; }

  std::string InputBox(const std::string& prompt, const std::string& title,
                       const std::string& defaultText) override;
  int MessageBox(const std::string& text, int style, const std::string& title) override;
  void Beep() override;

  bool ShowPrinterSetup(PrinterSetup& setup) override;
  bool ShowPageSetup(PrinterSetup& setup) override;
  bool ShowPrint(PrinterSetup& setup) override;

 protected:
  std::optional<FileChoice> ShowOpen(const CommonDialogFields& request) override;
  std::optional<FileChoice> ShowSave(const CommonDialogFields& request) override;
  std::optional<int32_t> ShowColor(const CommonDialogFields& request) override;
  std::optional<FontChoice> ShowFont(const CommonDialogFields& request) override;
  std::optional<PrinterChoice> ShowPrinter(const CommonDialogFields& request) override;

 private:
  std::optional<FileChoice> ShowFile(const CommonDialogFields& request, bool save);
  QWidget* parent_;
};

}  // namespace tavelo
