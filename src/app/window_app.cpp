#include "app/window_app.h"

#include <QApplication>
#include <QPageSize>
#include <QPointer>
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
#include "ui/preview_widget.h"
#include "ui/qt_dialogs.h"

namespace tavelo {

WindowParts WindowPartsOf(MainWindow& window) {
  QPointer<MainWindow> self(&window);
  QPointer<PreviewWidget> preview(window.Preview());
  WindowParts parts;
  parts.commands = &window.Commands();
  parts.preview = [preview]() -> PreviewView* { return preview.data(); };
  parts.bringToFront = [self] {
    if (self) self->BringToFront();
  };
  parts.showPreview = [self](bool shown) {
    if (self) self->ShowPreview(shown);
  };
  return parts;
}

std::unique_ptr<MainWindow> MakeWiredWindow(ProgramState& state) {
  AttachProgramHandlers(state);
  auto window = std::make_unique<MainWindow>(state);
  AttachWindowHandlers(state, WindowPartsOf(*window));
  return window;
}

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

  // The window exists during start-up, so its messages have a parent and
  // every field it fills is shown as it is written.
  const std::unique_ptr<MainWindow> window = MakeWiredWindow(state);
  dialogs.SetParent(window.get());
  Startup(state, suPath);
  window->SyncFromState();
  window->show();
  const int status = app.exec();
  dialogs.SetParent(nullptr);
  return status;
}

}  // namespace tavelo
