#pragma once
// The "Printer" frame's commands on the ended page: "Print profile",
// "Printer Setup" and "Page Setup" with the paper-size and margin refresh,
// the font lists, and the preview's zoom rule. None rebuilds the page.
//
// The printer and page-setup dialogs are the page document's own: they are
// asked through PrinterDialogs, which the window's dialogs implement (and
// tests script). Where state.dialogs offers none (batch), the commands do
// nothing. Printing needs a QGuiApplication.

#include <functional>
#include <string>

#include "program/state.h"

class QPrinter;

namespace tavelo {

// Shown in Text30 when the page goes to a PDF file rather than a print
// queue (always possible, so there is always a printer to use).
inline constexpr const char* kPdfFilePrinter = "Print to File (PDF)";

// What the printer dialogs show and change. Sizes in twips, as the page
// document keeps them; the paper as it is used (landscape: wider than high).
struct PrinterSetup {
  std::string printerName;  // print queue; empty: the system's default
  std::string outputFile;   // not empty: a PDF file instead of a queue
  double paperWidth = 0, paperHeight = 0;
  double leftMargin = 0, topMargin = 0, rightMargin = 0, bottomMargin = 0;
  int copies = 1;
};

// The edges of a sheet a printer cannot mark (twips).
struct UnprintableMargins {
  double left = 0, top = 0, right = 0, bottom = 0;
  bool operator==(const UnprintableMargins&) const = default;
};

class PrinterDialogs {
 public:
  virtual ~PrinterDialogs() = default;

  // The printer's unprintable edges on the setup's paper, as its driver
  // reports them (a PDF file has none).
  virtual UnprintableMargins Unprintable(const PrinterSetup& setup);

  // The chosen output file lives here between uses, as the page document's
  // printer keeps it; printer name, paper and margins live in the page.
  std::string& outputFile() { return outputFile_; }

  // Each shows its dialog on `setup` and returns true when accepted; a
  // cancel leaves `setup` as it was.
  // "Printer Setup": the printer (or a PDF file) and its paper.
  virtual bool ShowPrinterSetup(PrinterSetup& setup) = 0;
  // "Page Setup": paper and margins.
  virtual bool ShowPageSetup(PrinterSetup& setup) = 0;
  // Before printing: the printer (or a PDF file) and the copies.
  virtual bool ShowPrint(PrinterSetup& setup) = 0;

 private:
  std::string outputFile_;
};

// Text11: "W x H" in whole millimetres, each with its sign position
// (" 210 x  297"); nothing when a size does not fit 16 bits.
std::optional<std::string> PaperSizeText(const PageDocument& page);

// Sets `printer` to the setup: queue or PDF file, the paper (a standard
// size is recognised, so queues get their own media name), copies.
void ConfigurePrinter(QPrinter& printer, const PrinterSetup& setup);

// The unprintable edges of the printer and paper in use; none where
// state.dialogs offers no printer dialogs.
UnprintableMargins CurrentUnprintableMargins(ProgramState& state);

// cmdPrint: when a page has ended, the print dialog, then the page on the
// chosen printer or into the chosen PDF file. A failure shows the page
// document's error message. True when printed.
bool PrintProfile(ProgramState& state);
// cmdPrinterSetup: the printer dialog; a new paper size empties the preview
// and is shown in Text11. The printer in use is shown in Text30.
void PrinterSetupCommand(ProgramState& state);
// cmdPageSetup: the page-setup dialog; then Text8 shows the left margin at
// full precision (its change handler sets the margin again), the preview
// is emptied and Text11 refreshed, every time.
void PageSetupCommand(ProgramState& state);

// The zoom percentage of a cmbPercent item ("150%" gives 150); 0 when the
// text does not start with a number.
int ZoomPercentOf(const std::string& item);

// What the zoom lists and the two preview boxes act on.
class PreviewView {
 public:
  virtual ~PreviewView() = default;
  virtual void SetZoomPercent(int percent) = 0;  // also selects the percentage mode
  virtual void SetZoomMode(int mode) = 0;        // 0 Percentage ... 5 Stretch
  virtual void TogglePhysicalPage() = 0;
  virtual void SetShowGuides(bool show) = 0;
};

// cmbPercent, cmbZoomMode, chkPhysicalPage and chkShowGuides, on the view
// `view()` returns (nothing when it is gone).
void AttachPreviewHandlers(ProgramState& state, std::function<PreviewView*()> view);

// cmdPrint, cmdPrinterSetup, cmdPageSetup; ListePolices (the font of the
// texts of following builds) and the typed text of combo1 (the printer's
// font from the ListePolices selection).
void AttachPrintHandlers(ProgramState& state);

}  // namespace tavelo
