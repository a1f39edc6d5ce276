#include "app/window_app.h"

#include <QApplication>
#include <QPageSize>
#include <QPrinterInfo>

#include <cmath>

#include "output/font_list.h"
#include "app/wiring.h"
#include "output/print_commands.h"
#include "program/handlers.h"
#include "program/startup.h"
#include "program/state.h"
#include "render/builder.h"
#include "settings/plot_settings.h"
#include "ui/main_window.h"
#include "ui/qt_dialogs.h"

namespace tavelo {

int RunWindow(int argc, char** argv, const std::string& suPath, const std::string& settingsFolder) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("tavelo"));

  QtDialogs dialogs;
  ProgramState state(dialogs);
  state.settingsFolder = settingsFolder.empty() ? DefaultSettingsFolder() : settingsFolder;
  state.fontList = PageFontFamilies;

  // The page starts on the printer's paper: the default queue, else the
  // first one there is. Without any queue the page goes to a PDF file,
  // which is always possible: "No printer" never needs to be shown.
  QPrinterInfo printer = QPrinterInfo::defaultPrinter();
  if (printer.isNull() && !QPrinterInfo::availablePrinters().isEmpty())
    printer = QPrinterInfo::availablePrinters().front();
  state.page.SetPrinterName(printer.isNull() ? kPdfFilePrinter : printer.printerName().toStdString());
  if (!printer.isNull()) {
    const QPageSize paper = printer.defaultPageSize();
    if (paper.isValid()) {
      const QSizeF inches = paper.size(QPageSize::Inch);
      state.page.SetPaperSize(std::round(inches.width() * kTwipsPerInch),
                              std::round(inches.height() * kTwipsPerInch));
    }
  }

  AttachProgramHandlers(state);

  // The window exists during start-up, so its messages have a parent and
  // every field it fills is shown as it is written.
  MainWindow window(state);
  dialogs.SetParent(&window);
  Startup(state, suPath);
  window.SyncFromState();
  window.show();
  const int status = app.exec();
  dialogs.SetParent(nullptr);
  return status;
}

}  // namespace tavelo
