#include "output/print_commands.h"

#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPrinter>
#include <QSizeF>
#include <QString>

#include <cstdio>

#include "common/numeric.h"
#include "output/export.h"
#include "settings/form_fields.h"

namespace tavelo {
namespace {

// The page document's error event: its code names what failed.
enum PrintError { kPrinterNotStarted = 1, kFileNotWritten = 2 };

void RaiseErrorEvent(ProgramState& state, int code, const std::string& reason) {
  if (!reason.empty()) std::fprintf(stderr, "tavelo: printing failed: %s\n", reason.c_str());
  state.dialogs->MessageBox("The VSPrinter control raised the Error event with the " + IntegerText(code) +
                                " code.",
                            msg::kOkOnly, kDefaultTitle);
}

PrinterDialogs* PrinterDialogsOf(ProgramState& state) {
  return dynamic_cast<PrinterDialogs*>(state.dialogs);
}

PrinterSetup CurrentSetup(ProgramState& state, PrinterDialogs& dialogs) {
  const PageDocument& page = state.page;
  PrinterSetup setup;
  setup.outputFile = dialogs.outputFile();
  if (setup.outputFile.empty() && page.PrinterName() != kPdfFilePrinter) setup.printerName = page.PrinterName();
  setup.paperWidth = page.PageWidth();
  setup.paperHeight = page.PageHeight();
  setup.leftMargin = page.LeftMargin();
  setup.topMargin = page.TopMargin();
  setup.rightMargin = page.RightMargin();
  setup.bottomMargin = page.BottomMargin();
  return setup;
}

// The printer chosen becomes the one in use, shown in Text30.
void UsePrinter(ProgramState& state, PrinterDialogs& dialogs, const PrinterSetup& setup) {
  dialogs.outputFile() = setup.outputFile;
  const bool toFile = !setup.outputFile.empty() || setup.printerName.empty();
  state.page.SetPrinterName(toFile ? kPdfFilePrinter : setup.printerName);
  state.form.SetText(kPrinterName, state.page.PrinterName());
}

bool UsablePaper(double w, double h) { return w > 0 && h > 0 && w < 1e9 && h < 1e9; }

// The preview must be built again for the new paper.
void EmptyPreview(ProgramState& state) {
  state.page.BeginDocument();
  state.page.DiscardDocument();
  if (auto text = PaperSizeText(state.page)) state.form.SetText(kPaperSize, *text);
}

}  // namespace

UnprintableMargins PrinterDialogs::Unprintable(const PrinterSetup& setup) {
  if (!setup.outputFile.empty() || setup.printerName.empty()) return {};
  QPrinter printer(QPrinter::HighResolution);
  ConfigurePrinter(printer, setup);
  QPageLayout layout = printer.pageLayout();
  layout.setUnits(QPageLayout::Point);
  const QMarginsF m = layout.minimumMargins();  // oriented as the paper is used
  return {m.left() * 20.0, m.top() * 20.0, m.right() * 20.0, m.bottom() * 20.0};
}

UnprintableMargins CurrentUnprintableMargins(ProgramState& state) {
  PrinterDialogs* dialogs = PrinterDialogsOf(state);
  if (dialogs == nullptr) return {};
  return dialogs->Unprintable(CurrentSetup(state, *dialogs));
}

std::optional<std::string> PaperSizeText(const PageDocument& page) {
  const auto w = ToInt16(page.PageWidth() / kTwipsPerMm);
  const auto h = ToInt16(page.PageHeight() / kTwipsPerMm);
  if (!w || !h) return std::nullopt;
  return SignedText(*w) + " x " + SignedText(*h);
}

void ConfigurePrinter(QPrinter& printer, const PrinterSetup& setup) {
  if (!setup.outputFile.empty()) {
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(setup.outputFile));
  } else {
    printer.setOutputFormat(QPrinter::NativeFormat);
    if (!setup.printerName.empty()) printer.setPrinterName(QString::fromStdString(setup.printerName));
  }
  // The page places every mark itself, margins included.
  printer.setFullPage(true);
  if (UsablePaper(setup.paperWidth, setup.paperHeight)) {
    const bool landscape = setup.paperWidth > setup.paperHeight;
    const double shortSide = landscape ? setup.paperHeight : setup.paperWidth;
    const double longSide = landscape ? setup.paperWidth : setup.paperHeight;
    // Fuzzy: 595 x 842 points is A4, which a queue knows by name.
    const QPageSize size(QSizeF(shortSide / 20.0, longSide / 20.0), QPageSize::Point, QString(),
                         QPageSize::FuzzyMatch);
    printer.setPageLayout(QPageLayout(size, landscape ? QPageLayout::Landscape : QPageLayout::Portrait,
                                      QMarginsF(0, 0, 0, 0), QPageLayout::Point));
  }
  printer.setCopyCount(std::max(1, setup.copies));
}

bool PrintProfile(ProgramState& state) {
  if (state.page.PageCount() <= 0) return false;
  PrinterDialogs* dialogs = PrinterDialogsOf(state);
  if (dialogs == nullptr) return false;
  PrinterSetup setup = CurrentSetup(state, *dialogs);
  if (!dialogs->ShowPrint(setup)) return false;
  UsePrinter(state, *dialogs, setup);

  std::string error;
  if (!setup.outputFile.empty()) {
    // A file gets the page exactly, written whole or not at all.
    if (ExportPdf(state.page, setup.outputFile, &error)) return true;
    RaiseErrorEvent(state, kFileNotWritten, error);
    return false;
  }
  QPrinter printer(QPrinter::HighResolution);
  printer.setDocName(QStringLiteral("TAVELO ") + QString::fromStdString(state.form.Text(kPlotTitle)));
  ConfigurePrinter(printer, setup);
  if (PrintPage(state.page, printer, &error)) return true;
  RaiseErrorEvent(state, kPrinterNotStarted, error);
  return false;
}

void PrinterSetupCommand(ProgramState& state) {
  PageDocument& page = state.page;
  const double width = page.PageWidth(), height = page.PageHeight();
  if (PrinterDialogs* dialogs = PrinterDialogsOf(state)) {
    PrinterSetup setup = CurrentSetup(state, *dialogs);
    if (dialogs->ShowPrinterSetup(setup)) {
      UsePrinter(state, *dialogs, setup);
      if (UsablePaper(setup.paperWidth, setup.paperHeight))
        page.SetPaperSize(setup.paperWidth, setup.paperHeight);
    }
  }
  if (page.PageWidth() == width && page.PageHeight() == height) return;
  EmptyPreview(state);
}

void PageSetupCommand(ProgramState& state) {
  PageDocument& page = state.page;
  if (PrinterDialogs* dialogs = PrinterDialogsOf(state)) {
    PrinterSetup setup = CurrentSetup(state, *dialogs);
    if (dialogs->ShowPageSetup(setup)) {
      if (UsablePaper(setup.paperWidth, setup.paperHeight))
        page.SetPaperSize(setup.paperWidth, setup.paperHeight);
      page.SetLeftMargin(setup.leftMargin);
      page.SetTopMargin(setup.topMargin);
      page.SetRightMargin(setup.rightMargin);
      page.SetBottomMargin(setup.bottomMargin);
    }
  }
  state.form.SetText(kLeftMarginMm, DecimalText(page.LeftMargin() / kTwipsPerMm));
  EmptyPreview(state);
}

int ZoomPercentOf(const std::string& item) {
  return ToInt32(LeadingNumber(item)).value_or(0);
}

void AttachPreviewHandlers(ProgramState& state, std::function<PreviewView*()> view) {
  ProgramState* s = &state;
  Form& form = state.form;
  auto applyPercent = [s, view] {
    PreviewView* v = view();
    const int percent = ZoomPercentOf(s->form.Text(kZoomPercent));
    if (v != nullptr && percent > 0) v->SetZoomPercent(percent);
  };
  form.On(kZoomPercent, FieldEvent::Click, applyPercent);
  form.On(kZoomMode, FieldEvent::Click, [s, view, applyPercent] {
    const int mode = s->form.ListIndex(kZoomMode);
    if (mode < 0) return;
    if (mode != 0) {
      s->form.SetEnabled(kZoomPercent, false);
      if (PreviewView* v = view()) v->SetZoomMode(mode);
    } else {
      applyPercent();
      s->form.SetEnabled(kZoomPercent, true);
    }
  });
  // The box's tick is not consulted: each click inverts the preview's state.
  form.On(kPhysicalPage, FieldEvent::Click, [view] {
    if (PreviewView* v = view()) v->TogglePhysicalPage();
  });
  form.On(kShowGuides, FieldEvent::Click, [s, view] {
    if (PreviewView* v = view()) v->SetShowGuides(s->form.Value(kShowGuides) != 0);
  });
}

void AttachPrintHandlers(ProgramState& state) {
  ProgramState* s = &state;
  Form& form = state.form;
  form.On(kPrintButton, FieldEvent::Click, [s] { PrintProfile(*s); });
  form.On(kPrinterSetupButton, FieldEvent::Click, [s] { PrinterSetupCommand(*s); });
  form.On(kPageSetupButton, FieldEvent::Click, [s] { PageSetupCommand(*s); });

  // The chosen font is the page's text font from now on: builds keep it.
  form.On(kFontList, FieldEvent::Click, [s] {
    const std::string& name = s->form.Text(kFontList);
    if (!name.empty()) s->page.SetFontName(name);
  });
  form.On(kDisplayType, FieldEvent::Change, [s] {
    const int i = s->form.ListIndex(kFontList);
    const auto& fonts = s->form.Items(kFontList);
    if (i >= 0 && i < static_cast<int>(fonts.size())) s->page.SetFontName(fonts[static_cast<size_t>(i)]);
  });
}

}  // namespace tavelo
