#include "ui/qt_dialogs.h"

#include <QApplication>
#include <QColor>
#include <QColorDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFont>
#include <QFontDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QChildEvent>
#include <QEvent>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QDoubleSpinBox>

#include <cmath>
#include <memory>
#include <utility>

namespace tavelo {
namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }
std::string S(const QString& s) { return s.toStdString(); }

// Texts arrive with CR LF line breaks; Qt lays out plain line feeds.
QString MessageText(const std::string& s) {
  QString text = Q(s);
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return text;
}

QString TitleOr(const std::string& title, const char* fallback) {
  return title.empty() ? QString::fromUtf8(fallback) : Q(title);
}

QColor ToQColor(int32_t c) {
  const auto u = static_cast<uint32_t>(c);
  return QColor(static_cast<int>(u & 0xFF), static_cast<int>((u >> 8) & 0xFF),
                static_cast<int>((u >> 16) & 0xFF));
}

bool HasWildcard(const std::string& name) {
  return name.find_first_of("*?") != std::string::npos;
}

// Reads back what the printer dialogs chose.
void ReadPrinter(const QPrinter& printer, PrinterSetup& setup, bool margins) {
  if (printer.outputFormat() == QPrinter::PdfFormat) {
    setup.outputFile = S(printer.outputFileName());
    setup.printerName.clear();
  } else {
    setup.outputFile.clear();
    setup.printerName = S(printer.printerName());
  }
  const QPageLayout layout = printer.pageLayout();
  const QRectF paper = layout.fullRectPoints();  // oriented as used
  if (paper.width() > 0 && paper.height() > 0) {
    setup.paperWidth = paper.width() * 20.0;
    setup.paperHeight = paper.height() * 20.0;
  }
  if (margins) {
    const QMarginsF m = layout.margins(QPageLayout::Point);
    setup.leftMargin = m.left() * 20.0;
    setup.topMargin = m.top() * 20.0;
    setup.rightMargin = m.right() * 20.0;
    setup.bottomMargin = m.bottom() * 20.0;
  }
  setup.copies = printer.copyCount();
}

// The printer of a setup, its margins those of the page.
void PreparePrinter(QPrinter& printer, const PrinterSetup& setup) {
  ConfigurePrinter(printer, setup);
  QPageLayout layout = printer.pageLayout();
  layout.setUnits(QPageLayout::Point);
  layout.setMinimumMargins(QMarginsF(0, 0, 0, 0));
  layout.setMargins(QMarginsF(setup.leftMargin / 20.0, setup.topMargin / 20.0, setup.rightMargin / 20.0,
                              setup.bottomMargin / 20.0));
  printer.setPageLayout(layout);
}

// The page-setup controls of this platform's dialogs start on the queue's
// default paper, whatever the printer holds. Their paper, orientation and
// margin controls are set to the page's layout, through the same signals a
// user's choice sends, so the dialog shows it and keeps it on OK.
template <typename T>
T* Control(QWidget& root, const char* name) {
  return root.findChild<T*>(QString::fromLatin1(name));
}

void ShowPaper(QWidget& root, const QPageLayout& layout) {
  auto* paper = Control<QComboBox>(root, "pageSizeCombo");
  if (paper == nullptr) return;
  const QSizeF wanted = layout.pageSize().size(QPageSize::Point);
  int custom = -1;
  for (int i = 0; i < paper->count(); ++i) {
    const QVariant data = paper->itemData(i);
    if (!data.canConvert<QPageSize>()) {
      custom = i;
      continue;
    }
    const QSizeF size = qvariant_cast<QPageSize>(data).size(QPageSize::Point);
    if (std::abs(size.width() - wanted.width()) < 1 && std::abs(size.height() - wanted.height()) < 1) {
      paper->setCurrentIndex(i);
      return;
    }
  }
  auto* width = Control<QDoubleSpinBox>(root, "pageWidth");
  auto* height = Control<QDoubleSpinBox>(root, "pageHeight");
  auto* units = Control<QComboBox>(root, "unitCombo");
  if (custom < 0 || width == nullptr || height == nullptr || units == nullptr) return;
  paper->setCurrentIndex(custom);
  const QRectF sheet = layout.fullRect(qvariant_cast<QPageLayout::Unit>(units->currentData()));
  width->setValue(sheet.width());
  height->setValue(sheet.height());
}

void ShowPageLayout(QWidget& root, const QPageLayout& layout) {
  const char* side = layout.orientation() == QPageLayout::Landscape ? "landscape" : "portrait";
  if (auto* button = Control<QRadioButton>(root, side); button != nullptr && !button->isChecked())
    button->click();
  ShowPaper(root, layout);
  auto* units = Control<QComboBox>(root, "unitCombo");
  if (units == nullptr) return;
  const QMarginsF m = layout.margins(qvariant_cast<QPageLayout::Unit>(units->currentData()));
  const std::pair<const char*, double> margins[] = {
      {"leftMargin", m.left()}, {"topMargin", m.top()}, {"rightMargin", m.right()}, {"bottomMargin", m.bottom()}};
  for (const auto& [name, value] : margins)
    if (auto* box = Control<QDoubleSpinBox>(root, name)) box->setValue(value);
}

// The print dialogs of this platform put the queue's default paper into
// the printer when they are accepted, also when the user never looked at
// it. Unless the user changed a paper, orientation or margin control, the
// page's own paper, orientation and margins are put back. The print
// dialog's "Properties" window, which Qt builds only when it is first
// opened, is set to the page's layout each time it is shown; a change made
// in it counts only when that window is closed with OK (Cancel reverts it).
class PaperGuard : public QObject {
 public:
  PaperGuard(QDialog& dialog, const QPageLayout& page) : dialog_(dialog), page_(page) {
    WatchPaperControls(dialog, [this] {
      if (!showingPage_) touched_ = true;
    });
    dialog.installEventFilter(this);
  }
  // After an accepted dialog: the setup's paper and margins again, unless
  // the user changed them.
  void Restore(QPrinter& printer, const PrinterSetup& setup) const {
    if (touched_) return;
    const std::string name = S(printer.printerName());
    const std::string file = S(printer.outputFileName());
    const QPrinter::OutputFormat format = printer.outputFormat();
    PrinterSetup kept = setup;
    kept.printerName = format == QPrinter::PdfFormat ? std::string() : name;
    kept.outputFile = format == QPrinter::PdfFormat ? file : std::string();
    kept.copies = printer.copyCount();
    PreparePrinter(printer, kept);
  }

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == &dialog_ && event->type() == QEvent::ChildAdded)
      static_cast<QChildEvent*>(event)->child()->installEventFilter(this);
    else if (event->type() == QEvent::Show && !event->spontaneous() && watched != &dialog_)
      if (auto* window = qobject_cast<QDialog*>(watched); window != nullptr && HasPaperControls(*window))
        ShowProperties(*window);
    return false;
  }

 private:
  static bool HasPaperControls(QWidget& root) { return Control<QComboBox>(root, "pageSizeCombo") != nullptr; }

  // Calls `changed` when the user changes the paper, the orientation or a
  // margin; programmatic changes (the dialog's own set-up) do not count.
  template <typename F>
  static void WatchPaperControls(QWidget& root, F changed) {
    if (auto* paper = Control<QComboBox>(root, "pageSizeCombo"))
      QObject::connect(paper, &QComboBox::activated, paper, changed);
    for (const char* side : {"portrait", "landscape"})
      if (auto* button = Control<QRadioButton>(root, side))
        QObject::connect(button, &QAbstractButton::clicked, button, changed);
    for (const char* name : {"pageWidth", "pageHeight", "leftMargin", "topMargin", "rightMargin", "bottomMargin"})
      if (auto* box = Control<QDoubleSpinBox>(root, name))
        QObject::connect(box, &QAbstractSpinBox::editingFinished, box, [box, changed, shown = box->value()] {
          if (box->value() != shown) changed();
        });
  }

  void ShowProperties(QDialog& window) {
    // Until the user keeps a change, the window opens on the page's layout.
    if (!touched_) {
      showingPage_ = true;
      ShowPageLayout(window, page_);
      showingPage_ = false;
    }
    if (window.property(kWatched).toBool()) return;
    window.setProperty(kWatched, true);
    auto pending = std::make_shared<bool>(false);
    WatchPaperControls(window, [this, pending] {
      if (!showingPage_) *pending = true;
    });
    QObject::connect(&window, &QDialog::finished, this, [this, pending](int result) {
      if (result == QDialog::Accepted && *pending) touched_ = true;
      *pending = false;
    });
  }

  static constexpr const char* kWatched = "tavelo_paper_watched";
  QDialog& dialog_;
  QPageLayout page_;
  bool touched_ = false;
  bool showingPage_ = false;  // the page's layout being put into the controls
};

// Programs carry ".EXE" only on Windows. Here the "*.EXE" entry of a filter
// stands for what it means there: the executable files of the folder.
void ListProgramsAsExecutables(QFileDialog& dialog) {
#ifndef Q_OS_WIN
  QStringList filters = dialog.nameFilters();
  const QString programs = QStringLiteral("Programs (*)");
  bool any = false;
  for (QString& f : filters)
    if (f.contains(QStringLiteral("*.EXE"))) f = programs, any = true;
  if (!any) return;
  dialog.setOption(QFileDialog::DontUseNativeDialog);  // the executable test is Qt's own
  const QString selected = dialog.selectedNameFilter();
  dialog.setNameFilters(filters);
  dialog.selectNameFilter(selected.contains(QStringLiteral("*.EXE")) ? programs : selected);
  const QDir::Filters everything = dialog.filter();
  auto select = [&dialog, everything, programs](const QString& filter) {
    dialog.setFilter(filter == programs ? everything | QDir::Executable : everything);
  };
  select(dialog.selectedNameFilter());
  QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, select);
#else
  (void)dialog;
#endif
}

}  // namespace

QStringList QtNameFilters(const std::string& filter) {
  const QStringList items = Q(filter).split(QLatin1Char('|'));
  QStringList result;
  for (qsizetype i = 0; i + 1 < items.size(); i += 2) {
    const QString description = items[i].trimmed();
    QStringList patterns;
    for (QString pattern : items[i + 1].split(QLatin1Char(';'))) {
      pattern = pattern.trimmed();
      if (pattern.isEmpty()) continue;
      // "*.*" means every file there, also those without a dot.
      if (pattern == QStringLiteral("*.*")) pattern = QStringLiteral("*");
      for (const QString& p : {pattern, pattern.toUpper(), pattern.toLower()})
        if (!patterns.contains(p)) patterns << p;
    }
    if (patterns.isEmpty()) continue;
    const QString list = patterns.join(QLatin1Char(' '));
    result << (description.isEmpty() ? list : description + QStringLiteral(" (") + list + QLatin1Char(')'));
  }
  return result;
}

std::optional<FileChoice> QtDialogs::ShowFile(const CommonDialogFields& request, bool save) {
  QFileDialog dialog(parent_, TitleOr(request.title, save ? "Save As" : "Open"));
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  // 4096: the chosen file must exist. Without it, a name may be typed.
  dialog.setFileMode(!save && (request.flags & 4096) ? QFileDialog::ExistingFile
                                                     : QFileDialog::AnyFile);
  // 2 asks before overwriting; the program's own saves never ask.
  if (save && !(request.flags & 2)) dialog.setOption(QFileDialog::DontConfirmOverwrite);
  const QStringList filters = QtNameFilters(request.filter);
  if (!filters.isEmpty()) {
    dialog.setNameFilters(filters);
    if (request.filterIndex >= 1 && request.filterIndex <= filters.size())
      dialog.selectNameFilter(filters[request.filterIndex - 1]);
  }
  ListProgramsAsExecutables(dialog);
  if (!request.initialFolder.empty()) dialog.setDirectory(Q(request.initialFolder));
  // An initial pattern ("*.SU") is a filter there, not a name to propose.
  if (!request.fileName.empty() && !HasWildcard(request.fileName))
    dialog.selectFile(Q(request.fileName));
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty() || chosen.front().isEmpty()) return std::nullopt;
  return FileChoice{S(chosen.front())};
}

std::optional<FileChoice> QtDialogs::ShowOpen(const CommonDialogFields& request) {
  return ShowFile(request, false);
}

std::optional<FileChoice> QtDialogs::ShowSave(const CommonDialogFields& request) {
  return ShowFile(request, true);
}

std::optional<int32_t> QtDialogs::ShowColor(const CommonDialogFields& request) {
  const QColor c = QColorDialog::getColor(ToQColor(request.color), parent_,
                                          TitleOr(request.title, "Color"));
  if (!c.isValid()) return std::nullopt;
  return static_cast<int32_t>(c.red() + 256 * c.green() + 65536 * c.blue());
}

std::optional<FontChoice> QtDialogs::ShowFont(const CommonDialogFields& request) {
  QFont initial;
  if (!request.fontName.empty()) initial.setFamily(Q(request.fontName));
  if (request.fontSize > 0 && request.fontSize < 2000) initial.setPointSizeF(request.fontSize);
  bool ok = false;
  const QFont font = QFontDialog::getFont(&ok, initial, parent_, TitleOr(request.title, "Font"));
  if (!ok) return std::nullopt;
  return FontChoice{S(font.family()), static_cast<float>(font.pointSizeF())};
}

std::optional<PrinterChoice> QtDialogs::ShowPrinter(const CommonDialogFields& request) {
  QPrinter printer;
  if (!request.printerName.empty()) printer.setPrinterName(Q(request.printerName));
  QPrintDialog dialog(&printer, parent_);
  if (!request.title.empty()) dialog.setWindowTitle(Q(request.title));
  // 1: the selection is chosen as what to print.
  if (request.flags & 1) {
    dialog.setOption(QAbstractPrintDialog::PrintSelection);
    printer.setPrintRange(QPrinter::Selection);
  }
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return PrinterChoice{S(printer.printerName()), printer.copyCount()};
}

std::string QtDialogs::InputBox(const std::string& prompt, const std::string& title,
                                const std::string& defaultText) {
  QInputDialog dialog(parent_);
  dialog.setWindowTitle(TitleOr(title, kDefaultTitle));
  dialog.setLabelText(MessageText(prompt));
  dialog.setTextValue(Q(defaultText));
  if (dialog.exec() != QDialog::Accepted) return {};
  return S(dialog.textValue());
}

int QtDialogs::MessageBox(const std::string& text, int style, const std::string& title) {
  QMessageBox box(parent_);
  // An empty title stays empty: the metafile's report has none.
  box.setWindowTitle(Q(title));
  box.setText(MessageText(text));
  switch (style & 0x70) {
    case msg::kCritical: box.setIcon(QMessageBox::Critical); break;
    case msg::kQuestion: box.setIcon(QMessageBox::Question); break;
    case msg::kExclamation: box.setIcon(QMessageBox::Warning); break;
    case msg::kInformation: box.setIcon(QMessageBox::Information); break;
    default: box.setIcon(QMessageBox::NoIcon); break;
  }

  // Buttons in the order the style lists them, each with its answer.
  struct Choice {
    QMessageBox::StandardButton button;
    int answer;
  };
  std::vector<Choice> choices;
  switch (style & 0x0F) {
    case msg::kOkCancel: choices = {{QMessageBox::Ok, msg::kOk}, {QMessageBox::Cancel, msg::kCancel}}; break;
    case 2: choices = {{QMessageBox::Abort, 3}, {QMessageBox::Retry, 4}, {QMessageBox::Ignore, 5}}; break;
    case msg::kYesNoCancel:
      choices = {{QMessageBox::Yes, msg::kYes}, {QMessageBox::No, msg::kNo}, {QMessageBox::Cancel, msg::kCancel}};
      break;
    case msg::kYesNo: choices = {{QMessageBox::Yes, msg::kYes}, {QMessageBox::No, msg::kNo}}; break;
    case 5: choices = {{QMessageBox::Retry, 4}, {QMessageBox::Cancel, msg::kCancel}}; break;
    default: choices = {{QMessageBox::Ok, msg::kOk}}; break;
  }
  QMessageBox::StandardButtons buttons;
  for (const Choice& c : choices) buttons |= c.button;
  box.setStandardButtons(buttons);
  // 256 and 512 make the second and third button the default one.
  size_t defaultIndex = (style & 512) ? 2 : (style & 256) ? 1 : 0;
  if (defaultIndex >= choices.size()) defaultIndex = 0;
  box.setDefaultButton(choices[defaultIndex].button);

  box.exec();
  const QAbstractButton* clicked = box.clickedButton();
  for (const Choice& c : choices)
    if (clicked != nullptr && clicked == box.button(c.button)) return c.answer;
  // Closed without a button: Cancel where there is one, else the only answer.
  for (const Choice& c : choices)
    if (c.answer == msg::kCancel) return c.answer;
  return choices.size() == 1 ? choices.front().answer : choices.back().answer;
}

void QtDialogs::Beep() { QApplication::beep(); }

bool QtDialogs::ShowPrinterSetup(PrinterSetup& setup) {
  QPrinter printer(QPrinter::HighResolution);
  PreparePrinter(printer, setup);
  QPrintDialog dialog(&printer, parent_);
  dialog.setWindowTitle(QStringLiteral("Printer Setup"));
  // Choosing, not printing: no range, and the button says so.
  dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
  dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
  if (auto* buttons = dialog.findChild<QDialogButtonBox*>())
    if (QPushButton* ok = buttons->button(QDialogButtonBox::Ok)) ok->setText(QStringLiteral("OK"));
  PaperGuard guard(dialog, printer.pageLayout());
  if (dialog.exec() != QDialog::Accepted) return false;
  guard.Restore(printer, setup);
  ReadPrinter(printer, setup, false);
  return true;
}

bool QtDialogs::ShowPageSetup(PrinterSetup& setup) {
  QPrinter printer(QPrinter::HighResolution);
  PreparePrinter(printer, setup);
  QPageSetupDialog dialog(&printer, parent_);
  dialog.setWindowTitle(QStringLiteral("Page Setup"));
  ShowPageLayout(dialog, printer.pageLayout());
  PaperGuard guard(dialog, printer.pageLayout());
  if (dialog.exec() != QDialog::Accepted) return false;
  guard.Restore(printer, setup);
  ReadPrinter(printer, setup, true);
  return true;
}

bool QtDialogs::ShowPrint(PrinterSetup& setup) {
  QPrinter printer(QPrinter::HighResolution);
  PreparePrinter(printer, setup);
  QPrintDialog dialog(&printer, parent_);
  dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
  dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
  PaperGuard guard(dialog, printer.pageLayout());
  if (dialog.exec() != QDialog::Accepted) return false;
  guard.Restore(printer, setup);
  ReadPrinter(printer, setup, false);
  return true;
}

}  // namespace tavelo
