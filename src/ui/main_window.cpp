#include "ui/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QResizeEvent>
#include <QPushButton>
#include <QScrollArea>
#include <QShortcut>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

#include "output/print_commands.h"
#include "program/editor_commands.h"
#include "program/state.h"
#include "settings/form_fields.h"
#include "settings/plot_settings.h"
#include "ui/editor_widget.h"
#include "ui/field_binder.h"
#include "ui/preview_widget.h"

namespace tavelo {
namespace {

const char* const kDoubleClickTip = "Double click to update";

QLabel* Caption(const char* text, const char* tooltip = nullptr) {
  auto* label = new QLabel(QString::fromUtf8(text));
  if (tooltip) label->setToolTip(QString::fromUtf8(tooltip));
  return label;
}

}  // namespace

MainWindow::MainWindow(ProgramState& state, QWidget* parent)
    : QMainWindow(parent),
      state_(state),
      editorCommands_(std::make_unique<EditorCommands>(state)),
      binder_(new FieldBinder(state, this)) {
  setWindowTitle(QStringLiteral("TAVELO 4.3"));
  // Smaller than the smallest window, it springs back.
  setMinimumSize(kMinWindowWidth, kMinWindowHeight);
  resize(1100, 800);

  binder_->fire = [this](const std::string& name, FieldEvent event) { Dispatch(name, event); };
  binder_->afterUserChange = [this] { AfterAction(); };

  tabs_ = new QTabWidget(this);
  tabs_->setObjectName(QStringLiteral("SSTab1"));
  tabs_->addTab(BuildPlotParametersTab(), QStringLiteral("Plot parameters"));
  tabs_->addTab(BuildVirtualPlotTab(), QStringLiteral("Virtual plot"));
  tabs_->addTab(BuildToolsTab(), QStringLiteral("Tools"));
  setCentralWidget(tabs_);
  binder_->BindTabs(tabs_, std::string(kTabs));
  BuildMenus();

  // Progress of a long build, seen whichever tab is shown.
  progress_ = new QProgressBar(this);
  progress_->setObjectName(QStringLiteral("ProgressBar1"));
  progress_->setRange(0, 1000);
  progress_->setMaximumWidth(320);
  progress_->hide();
  statusBar()->addPermanentWidget(progress_);

  state_.progress = [this](int64_t value, int64_t maximum) {
    if (maximum <= 0) return;
    const double part = static_cast<double>(value) / static_cast<double>(maximum);
    progress_->setValue(static_cast<int>(std::clamp(part, 0.0, 1.0) * 1000));
    progress_->show();
  };
  // The page document's working notification, once per trace column: the
  // window stays responsive without spending the build's time on events.
  state_.processEvents = [this] {
    if (sinceEvents_.isValid() && sinceEvents_.elapsed() < 40) return;
    sinceEvents_.start();
    SyncBusy();
    QCoreApplication::processEvents();
  };

  ShowPreview(state_.form.Value(kTabs) == 1);

  // Keyboard: F5 builds the page as "OK  Display" does; the usual quit
  // keys close the window (settings saved).
  auto* build = new QShortcut(QKeySequence(Qt::Key_F5), this);
  connect(build, &QShortcut::activated, this, [this] { Dispatch(kDisplayButton, FieldEvent::Click); });
  auto* quit = new QShortcut(QKeySequence::Quit, this);
  connect(quit, &QShortcut::activated, this, &QWidget::close);

  SyncFromState();
}

MainWindow::~MainWindow() {
  // The state outlives the window: its hooks must not call into it.
  state_.progress = nullptr;
  state_.processEvents = nullptr;
  // The editor lets go of the editor commands as it goes: before they go
  // (the window's members go before its child widgets).
  delete editor_;
  editor_ = nullptr;
}

template <typename W>
W* MainWindow::Remember(FieldName name, W* widget) {
  widgets_[FieldKey(name)] = widget;
  widget->setObjectName(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
  return widget;
}

QLineEdit* MainWindow::Edit(FieldName name, bool colorBox) {
  auto* edit = Remember(name, new QLineEdit);
  binder_->BindLineEdit(edit, std::string(name), colorBox);
  return edit;
}

QLineEdit* MainWindow::NumericEdit(FieldName name, const char* tooltip) {
  QLineEdit* e = Edit(name);
  e->setMaximumWidth(110);
  if (tooltip) e->setToolTip(QString::fromUtf8(tooltip));
  return e;
}

QWidget* MainWindow::Button(FieldName name, const char* tooltip) {
  auto* button = Remember(name, new QPushButton);
  binder_->BindButton(button, std::string(name));
  if (tooltip) button->setToolTip(QString::fromUtf8(tooltip));
  return button;
}

QWidget* MainWindow::Check(FieldName name, const char* tooltip) {
  auto* box = Remember(name, new FieldCheckBox(QString()));
  binder_->BindCheckBox(box, std::string(name));
  if (tooltip) box->setToolTip(QString::fromUtf8(tooltip));
  return box;
}

QComboBox* MainWindow::Combo(FieldName name, bool editable) {
  auto* combo = Remember(name, new QComboBox);
  combo->setEditable(editable);
  if (editable) combo->setInsertPolicy(QComboBox::NoInsert);
  binder_->BindComboBox(combo, std::string(name));
  return combo;
}

QLabel* MainWindow::FieldLabel(FieldName name) {
  auto* label = Remember(name, new QLabel);
  binder_->BindLabel(label, std::string(name));
  return label;
}

QWidget* MainWindow::FieldWidget(std::string_view name) const {
  auto it = widgets_.find(FieldKey(name));
  return it == widgets_.end() ? nullptr : it->second;
}

QWidget* MainWindow::BuildPlotParametersTab() {
  auto* page = new QWidget;
  auto* columns = new QHBoxLayout(page);

  // Left column: the file, the section's size and its range.
  auto* left = new QVBoxLayout;
  left->addWidget(BuildFileGroup());
  left->addWidget(BuildSectionGroup());
  left->addStretch(1);

  // Middle column: what is drawn, labels, and where on the page.
  auto* middle = new QVBoxLayout;
  middle->addWidget(BuildDisplayGroup());
  middle->addWidget(BuildLabelsGroup());
  middle->addStretch(1);

  // Right column: where the parts stand and how the diagrams look.
  auto* right = new QVBoxLayout;
  right->addWidget(BuildPageTopGroup());
  right->addWidget(BuildDrawingGroup());
  auto* languageRow = new QHBoxLayout;
  languageRow->addWidget(Caption("Langage"));
  QLabel* language = FieldLabel(kLanguageCaption);
  language->setToolTip(QStringLiteral("Language can be selected  in Korvane Configuration menu"));
  languageRow->addWidget(language, 1);
  right->addLayout(languageRow);
  auto* ok = static_cast<QPushButton*>(Button(kDisplayButton));
  ok->setDefault(true);
  ok->setMinimumHeight(40);
  right->addWidget(ok);
  right->addWidget(Button(kHowToUseButton));
  right->addStretch(1);

  columns->addLayout(left, 1);
  columns->addLayout(middle, 1);
  columns->addLayout(right, 1);

  // The window may be smaller than the fields: they scroll.
  auto* scroll = new QScrollArea;
  scroll->setWidget(page);
  scroll->setWidgetResizable(true);
  scroll->setFrameShape(QFrame::NoFrame);
  return scroll;
}

QGroupBox* MainWindow::BuildFileGroup() {
  auto* file = new QGroupBox(QStringLiteral("SU file"));
  auto* fileLayout = new QGridLayout(file);
  QLineEdit* active = Edit(kSuFilePath);
  active->setToolTip(QStringLiteral("Double click to choose an SU file"));
  fileLayout->addWidget(active, 0, 0);
  fileLayout->addWidget(Button(kLoadSuFileButton), 0, 1);
  fileLayout->addWidget(Caption("Plot title"), 1, 0, 1, 2);
  fileLayout->addWidget(Edit(kPlotTitle), 2, 0, 1, 2);
  return file;
}

QGroupBox* MainWindow::BuildSectionGroup() {
  auto* section = new QGroupBox(QStringLiteral("Section"));
  auto* sectionForm = new QFormLayout(section);
  sectionForm->addRow(Caption("From trace number"), NumericEdit(kFirstTrace));
  sectionForm->addRow(Caption("Last trace number to print"), NumericEdit(kLastTrace));
  sectionForm->addRow(Caption("Plot width (mm)", "If you change a value,scale will be computed"),
                      NumericEdit(kPlotWidthMm, kDoubleClickTip));
  sectionForm->addRow(Caption("Scale", "If you change a value,plot length will be adjusted"),
                      NumericEdit(kScaleDenominator, kDoubleClickTip));
  sectionForm->addRow(Caption("Trace spacing", "If you change a value,plot length will be adjusted"),
                      NumericEdit(kTraceSpacingM, kDoubleClickTip));
  sectionForm->addRow(Caption("Profile height (mm)"), NumericEdit(kProfileHeightMm));
  sectionForm->addRow(Caption("Total time to draw (ms)"), NumericEdit(kTimeToDrawMs));
  sectionForm->addRow(Caption("Time line spacing (ms) "), NumericEdit(kTimeLineSpacingMs));
  sectionForm->addRow(Caption("Trace size factor"), NumericEdit(kTraceSizeFactor));
  sectionForm->addRow(Caption("Noise reduction amplitude"), NumericEdit(kNoiseAmplitude));
  sectionForm->addRow(Caption("Datum"), NumericEdit(kDatum));
  sectionForm->addRow(Caption("Left margin (mm)"), NumericEdit(kLeftMarginMm));
  QLineEdit* paper = Edit(kPaperSize);
  paper->setReadOnly(true);  // set by printer and page setup; typing shows the notice
  sectionForm->addRow(Caption("Paper size (mm)"), paper);
  return section;
}

QGroupBox* MainWindow::BuildDisplayGroup() {
  auto* display = new QGroupBox(QStringLiteral("Display"));
  auto* displayLayout = new QGridLayout(display);
  // Typing in the list sets the printer's font (the display type stays).
  QComboBox* type = Combo(kDisplayType, true);
  displayLayout->addWidget(Caption("Display type"), 0, 0);
  displayLayout->addWidget(type, 0, 1);
  const std::pair<FieldName, const char*> checks[] = {
      {kEqualization, nullptr},
      {kDeadTraces, nullptr},
      {kTimeSection, nullptr},
      {kInverseTraces, "Reverse trace number"},
      {kFoldDrawing, "Fold  is drawn below the section"},
      {kTopoDrawing, "Topo will be drawn on the section according TSTAT values"},
      {kStaticsPanel, "Print a static diagram on plot if checked"},
      {kElevationDiagram, "If checked, print an elevation diagram on the plot"},
      {kPrintHistory, nullptr},
      {kVelocityDrawing, nullptr},
  };
  int row = 1;
  for (const auto& [name, tip] : checks) displayLayout->addWidget(Check(name, tip), row++, 0, 1, 2);
  auto* velocityRow = new QHBoxLayout;
  velocityRow->addWidget(Button(kVelocityModelButton));
  velocityRow->addWidget(Edit(kVelocityModelFile), 1);
  displayLayout->addLayout(velocityRow, row, 0, 1, 2);
  return display;
}

QGroupBox* MainWindow::BuildLabelsGroup() {
  auto* labels = new QGroupBox(QStringLiteral("Labels"));
  auto* labelsForm = new QFormLayout(labels);
  labelsForm->addRow(Check(kCdpNumbering, "print CDP number if checked, else traces number"));
  labelsForm->addRow(FieldLabel(kFirstLabelCaption), NumericEdit(kFirstLabel));
  labelsForm->addRow(Caption("Label spacing (CDP or traces)"), NumericEdit(kLabelSpacing));
  QComboBox* station = Combo(kStationHeaderWord);
  station->setToolTip(QStringLiteral("Select the header word to be printed as \"station\""));
  labelsForm->addRow(Check(kStationNumbers), station);
  labelsForm->addRow(Caption("Left orientation"), Edit(kLeftOrientation));
  labelsForm->addRow(Caption("Right orientation"), Edit(kRightOrientation));
  return labels;
}

QGroupBox* MainWindow::BuildPageTopGroup() {
  auto* top = new QGroupBox(QStringLiteral("Distance to page top  (mm)"));
  auto* topForm = new QFormLayout(top);
  topForm->addRow(Caption("Seismic"), NumericEdit(kSectionTopMm));
  topForm->addRow(Caption("Fold graph"), NumericEdit(kFoldTopMm));
  topForm->addRow(Caption("Elevation graph"), NumericEdit(kElevationTopMm));
  topForm->addRow(Caption("Statics graph"), NumericEdit(kStaticsTopMm));
  topForm->addRow(Caption("History"), NumericEdit(kHistoryTopMm));
  return top;
}

QGroupBox* MainWindow::BuildDrawingGroup() {
  auto* drawing = new QGroupBox(QStringLiteral("Drawing parameters"));
  auto* drawingForm = new QFormLayout(drawing);
  drawingForm->addRow(Caption("Fold maximum"),
                      NumericEdit(kFoldMaximum, "Enter here a maximum fold value, 0=fold header values"));
  drawingForm->addRow(Caption("Fold, static height (mm)"), NumericEdit(kDiagramHeightMm));
  drawingForm->addRow(Caption("Topo, static line width"), NumericEdit(kDiagramLineWidth));
  const std::pair<FieldName, const char*> colorBoxes[] = {{kFoldFillColorBox, "Fold fill color"},
                                                          {kTopoLineColorBox, "Topo line color"},
                                                          {kStaticLineColorBox, "Static line color"},
                                                          {kFoldLineColorBox, "Fold line color"}};
  for (const auto& [name, caption] : colorBoxes) {
    QLineEdit* box = Edit(name, true);
    box->setFixedSize(60, 20);
    box->setCursor(Qt::PointingHandCursor);
    drawingForm->addRow(Caption(caption), box);
  }
  return drawing;
}

QWidget* MainWindow::BuildVirtualPlotTab() {
  auto* page = new QWidget;
  auto* layout = new QVBoxLayout(page);

  // Frame7: the printer in use and the active file, across the tab.
  auto* names = new QGroupBox;
  names->setObjectName(QStringLiteral("Frame7"));
  auto* namesLayout = new QHBoxLayout(names);
  namesLayout->setContentsMargins(6, 4, 6, 4);
  QLineEdit* printer = Edit(kPrinterName);
  printer->setReadOnly(true);
  QLineEdit* file = Edit(kShownFileName);
  file->setReadOnly(true);
  namesLayout->addWidget(Caption("Printer"));
  namesLayout->addWidget(printer, 1);
  namesLayout->addWidget(Caption("File"));
  namesLayout->addWidget(file, 2);
  layout->addWidget(names);

  // Frame6 "Printer": the output commands beside the preview.
  printerFrame_ = new QGroupBox(QStringLiteral("Printer"));
  printerFrame_->setObjectName(QStringLiteral("Frame6"));
  auto* frame = new QVBoxLayout(printerFrame_);
  frame->setSpacing(4);
  for (FieldName name : {kPrintButton, kPrinterSetupButton, kPageSetupButton}) frame->addWidget(Button(name));
  for (const auto& [name, caption] : {std::pair{kZoomMode, "Zoom"}, std::pair{kZoomPercent, "Percent"}}) {
    frame->addWidget(Caption(caption));
    frame->addWidget(Combo(name));
  }
  frame->addWidget(Check(kPhysicalPage));
  frame->addWidget(Check(kShowGuides));
  QComboBox* fonts = Combo(kFontList);
  fonts->setToolTip(QStringLiteral("Font of the texts of the next plots"));
  fonts->setPlaceholderText(QString::fromStdString(state_.page.font().name));  // until one is chosen
  frame->addWidget(Caption("Font"));
  frame->addWidget(fonts);
  frame->addSpacing(8);
  frame->addWidget(Button(kRecordWmfButton, "Record a Windows metafile (WMF) of the plot"));
  frame->addWidget(Button(kCopyButton, "Click here to copy your section in the clipboard"));
  frame->addWidget(Button(kGraphicsProgramButton, "Click here to launch the selected graphical program"));
  frame->addStretch(1);
  printerFrame_->setFixedWidth(170);

  preview_ = new PreviewWidget(state_.page);
  preview_->setObjectName(QStringLiteral("Vp"));
  auto* body = new QHBoxLayout;
  body->addWidget(printerFrame_);
  body->addWidget(preview_, 1);
  layout->addLayout(body, 1);
  return page;
}

QWidget* MainWindow::BuildToolsTab() {
  auto* page = new QWidget;
  auto* layout = new QHBoxLayout(page);

  // The editor: history, batch and velocity-pick files.
  auto* editorColumn = new QVBoxLayout;
  auto* path = Remember(kHistoryCaption, new QLabel);
  path->setTextInteractionFlags(Qt::TextSelectableByMouse);
  binder_->BindLabel(path, std::string(kHistoryCaption));
  editor_ = new EditorWidget(state_, *editorCommands_);
  editorColumn->addWidget(path);
  editorColumn->addWidget(editor_, 1);

  // The amplitude palette: 16 colours in a 4 x 4 grid, interpolated from
  // the three anchors or set one by one.
  auto* palette = new QGroupBox(QStringLiteral("Color amplitude"));
  auto* paletteLayout = new QVBoxLayout(palette);
  auto* small = new QGridLayout;
  small->setHorizontalSpacing(4);
  small->setVerticalSpacing(2);
  for (int k = 0; k < 16; ++k) {
    const FieldName name = PaletteField(101 + k);
    QLineEdit* box = Edit(name, true);
    box->setFixedSize(41, 25);  // 615 x 375 twips
    box->setCursor(Qt::PointingHandCursor);
    small->addWidget(box, k / 4, k % 4);
  }
  paletteLayout->addLayout(small);

  auto* anchors = new QGroupBox;  // Frame5
  anchors->setObjectName(QStringLiteral("Frame5"));
  auto* anchorGrid = new QGridLayout(anchors);
  anchorGrid->addWidget(Caption("R         G         B"), 0, 1, 1, 3);
  const char* const anchorTips[] = {"click here  to select a color", "Click here  to select a color",
                                    "Click here  to select a color"};
  for (int a = 0; a < 3; ++a) {
    const FieldName name = PaletteField(117 + a);
    QLineEdit* box = Edit(name, true);
    box->setFixedSize(80, 30);
    box->setToolTip(QString::fromUtf8(anchorTips[a]));
    box->setCursor(Qt::PointingHandCursor);
    anchorGrid->addWidget(box, a + 1, 0);
    for (int c = 0; c < 3; ++c) {
      const FieldName component = PaletteField(120 + 3 * a + c);
      QLineEdit* e = Edit(component);
      e->setMaximumWidth(44);
      anchorGrid->addWidget(e, a + 1, c + 1);
    }
  }
  paletteLayout->addWidget(anchors);
  auto* hint = Caption("Click on the 3 large boxes to select colors");
  hint->setWordWrap(true);
  paletteLayout->addWidget(hint);

  auto* paletteColumn = new QVBoxLayout;
  paletteColumn->addWidget(palette);
  paletteColumn->addWidget(Button(kSaveAndExitButton));
  paletteColumn->addWidget(Button(kPrintHistoryButton));
  paletteColumn->addStretch(1);

  layout->addLayout(editorColumn, 1);
  layout->addLayout(paletteColumn);
  return page;
}

void MainWindow::BuildMenus() {
  struct Item {
    FieldName name;
    const char* caption;
  };
  auto addItems = [this](QMenu* menu, std::initializer_list<Item> items) {
    for (const Item& item : items) {
      QAction* action = menu->addAction(QString::fromUtf8(item.caption));
      action->setObjectName(QString::fromUtf8(item.name.data(), static_cast<qsizetype>(item.name.size())));
      binder_->BindAction(action, std::string(item.name));
    }
  };

  QMenu* editor = menuBar()->addMenu(QStringLiteral("Editor"));
  editor->setObjectName(QStringLiteral("editeur"));
  binder_->BindMenu(editor, std::string(kEditorMenu));
  addItems(editor, {{kOpenFileItem, "open file"}, {kSaveFileItem, "save file"}});

  QMenu* utility = menuBar()->addMenu(QStringLiteral("utility"));
  utility->setObjectName(QStringLiteral("util"));
  binder_->BindMenu(utility, std::string(kUtilityMenu));
  addItems(utility, {{kFindTextItem, "Find text"},
                     {kReplaceTextItem, "Replace text"},
                     {kEditorFontItem, "Font"},
                     {kPrintTextItem, "Print"}});

  QMenu* options = menuBar()->addMenu(QStringLiteral("Options"));
  options->setObjectName(QStringLiteral("o"));
  addItems(options, {{kTopoColorItem, "Topo line color"},
                     {kStaticColorItem, "Static line color"},
                     {kDiagramHeightItem, "Fold, static, elevation plot height"},
                     {kDiagramLineWidthItem, "Fold, static, elevation line width"},
                     {kTopoLineWidthItem, "Topo line width"},
                     {kFoldLineColorItem, "Fold line color"},
                     {kFoldFillColorItem, "Fold fill color"},
                     {kAmplitudeColorsItem, "Color amplitude selection"}});
}

bool MainWindow::WaitsForBuild(std::string_view name, FieldEvent event) const {
  if (event == FieldEvent::Click &&
      (SameFieldName(name, kDisplayButton) || SameFieldName(name, kLoadSuFileButton)))
    return true;
  return event == FieldEvent::DoubleClick && SameFieldName(name, kSuFilePath);  // loads a file too
}

void MainWindow::Dispatch(std::string_view name, FieldEvent event) {
  if (state_.building && WaitsForBuild(name, event)) return;
  state_.form.Fire(name, event);
  AfterAction();
}

void MainWindow::AfterAction() {
  SyncFromState();
  if (state_.building) return;
  progress_->hide();
  if (closePending_) {
    closePending_ = false;
    QTimer::singleShot(0, this, &QWidget::close);
  }
}

void MainWindow::BringToFront() {
  raise();
  activateWindow();
}

void MainWindow::ShowPreview(bool shown) { preview_->setVisible(shown); }

void MainWindow::SyncFromState() {
  SyncBusy();
  editor_->SyncFromState();
  SyncUnprintableMargins();
  preview_->SyncWithPage();
}

void MainWindow::SyncUnprintableMargins() {
  // Asked of the printer only when the printer or the paper changed.
  const PageDocument& page = state_.page;
  const std::string key = page.PrinterName() + "|" + std::to_string(page.PageWidth()) + "|" +
                          std::to_string(page.PageHeight());
  if (key == marginsFor_) return;
  marginsFor_ = key;
  const UnprintableMargins m = CurrentUnprintableMargins(state_);
  preview_->SetUnprintableMargins(QMarginsF(m.left, m.top, m.right, m.bottom));
}

void MainWindow::SyncBusy() {
  for (FieldName name : {kDisplayButton, kLoadSuFileButton})
    if (QWidget* w = FieldWidget(name)) w->setEnabled(state_.form.Enabled(name) && !state_.building);
}

void MainWindow::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  const QSize smallest(kMinWindowWidth, kMinWindowHeight);
  if (event->size().expandedTo(smallest) == event->size()) return;
  // Once the handler has returned: the platform window is still busy with
  // the size it just reported.
  QTimer::singleShot(0, this, [this, smallest] {
    if (size().expandedTo(smallest) != size()) resize(size().expandedTo(smallest));
  });
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (state_.building) {
    // Closing waits for the page: it is asked again once the build ends.
    closePending_ = true;
    event->ignore();
    return;
  }
  // Unsaved editor text is asked about first; "Cancel" keeps the window.
  if (!editor_->MaybeSave()) {
    event->ignore();
    return;
  }
  // Settings are written only where they were read from.
  std::string error;
  if (!state_.settingsFiles.tavelo.path().empty() &&
      !SaveSettings(state_.settingsFiles, state_.settings, state_.form, &error))
    state_.dialogs->MessageBox("The settings were not saved: " + error, msg::kExclamation, kDefaultTitle);
  event->accept();
  QCoreApplication::quit();
}

}  // namespace tavelo
