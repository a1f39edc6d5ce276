#include "ui/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QStatusBar>
#include <QTabWidget>
#include <QTextDocument>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cctype>

#include "program/state.h"
#include "settings/plot_settings.h"
#include "ui/field_binder.h"
#include "ui/preview_widget.h"

namespace tavelo {
namespace {

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// The product's smallest window, 10320 x 9100 twips, at 96 dots per inch.
constexpr int kMinWidth = (10320 + 14) / 15;
constexpr int kMinHeight = (9100 + 14) / 15;

const char* const kDoubleClickTip = "Double click to update";

QLabel* Caption(const char* text, const char* tooltip = nullptr) {
  auto* label = new QLabel(QString::fromUtf8(text));
  if (tooltip) label->setToolTip(QString::fromUtf8(tooltip));
  return label;
}

// Replaces every "\n" by "\r\n".
std::string WithCrLf(const std::string& text) {
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  for (char c : text) {
    if (c == '\n') out.push_back('\r');
    out.push_back(c);
  }
  return out;
}

}  // namespace

MainWindow::MainWindow(ProgramState& state, QWidget* parent)
    : QMainWindow(parent), state_(state), binder_(new FieldBinder(state, this)) {
  setWindowTitle(QStringLiteral("TAVELO 4.3"));
  setMinimumSize(kMinWidth, kMinHeight);
  resize(1000, 760);

  binder_->fire = [this](const std::string& name, FieldEvent event) { Dispatch(name, event); };
  binder_->afterUserChange = [this] { AfterAction(); };

  tabs_ = new QTabWidget(this);
  tabs_->addTab(BuildPlotParametersTab(), QStringLiteral("Plot parameters"));
  tabs_->addTab(BuildVirtualPlotTab(), QStringLiteral("Virtual plot"));
  tabs_->addTab(BuildToolsTab(), QStringLiteral("Tools"));
  setCentralWidget(tabs_);
  binder_->BindTabs(tabs_, "SSTab1");
  BuildMenus();

  // Progress of a long build, seen whichever tab is shown.
  progress_ = new QProgressBar(this);
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
  // Called once per trace column: the window stays responsive during a
  // long build without spending the build's time on event processing.
  state_.processEvents = [this] {
    if (sinceEvents_.isValid() && sinceEvents_.elapsed() < 40) return;
    sinceEvents_.start();
    SyncBusy();
    QCoreApplication::processEvents();
  };

  SyncFromState();
}

MainWindow::~MainWindow() {
  // The state outlives the window: its hooks must not call into it.
  state_.progress = nullptr;
  state_.processEvents = nullptr;
}

template <typename W>
W* MainWindow::Remember(const char* name, W* widget) {
  widgets_[Lower(name)] = widget;
  widget->setObjectName(QString::fromUtf8(name));
  return widget;
}

QLineEdit* MainWindow::Edit(const char* name, bool colorBox) {
  auto* edit = Remember(name, new QLineEdit);
  binder_->BindLineEdit(edit, name, colorBox);
  return edit;
}

QWidget* MainWindow::FieldWidget(const std::string& name) const {
  auto it = widgets_.find(Lower(name));
  return it == widgets_.end() ? nullptr : it->second;
}

QWidget* MainWindow::BuildPlotParametersTab() {
  auto* page = new QWidget;
  auto* columns = new QHBoxLayout(page);

  auto numeric = [this](const char* name) {
    QLineEdit* e = Edit(name);
    e->setMaximumWidth(110);
    return e;
  };

  // Left column: the section's size and range.
  auto* section = new QGroupBox(QStringLiteral("Section"));
  auto* sectionForm = new QFormLayout(section);
  sectionForm->addRow(Caption("Plot title"), Edit("Text1"));
  sectionForm->addRow(Caption("From trace number"), numeric("Text2"));
  sectionForm->addRow(Caption("Last trace number to print"), numeric("Text3"));
  QLineEdit* width = numeric("Text4");
  width->setToolTip(QString::fromUtf8(kDoubleClickTip));
  sectionForm->addRow(Caption("Plot width (mm)", "If you change a value,scale will be computed"), width);
  sectionForm->addRow(Caption("Profile height (mm)"), numeric("Text5"));
  sectionForm->addRow(Caption("Total time to draw (ms)"), numeric("Text6"));
  sectionForm->addRow(Caption("Time line spacing (ms) "), numeric("Text7"));
  sectionForm->addRow(Caption("Left margin (mm)"), numeric("Text8"));
  QLineEdit* scale = numeric("Text33");
  scale->setToolTip(QString::fromUtf8(kDoubleClickTip));
  sectionForm->addRow(Caption("Scale", "If you change a value,plot length will be adjusted"), scale);
  sectionForm->addRow(Caption("Trace size factor"), numeric("Text12"));
  QLineEdit* spacing = numeric("Text32");
  spacing->setToolTip(QString::fromUtf8(kDoubleClickTip));
  sectionForm->addRow(Caption("Trace spacing", "If you change a value,plot length will be adjusted"),
                      spacing);
  sectionForm->addRow(Caption("Datum"), numeric("Text17"));
  sectionForm->addRow(Caption("Noise reduction amplitude"), numeric("amplimite"));

  auto* labels = new QGroupBox(QStringLiteral("Labels"));
  auto* labelsForm = new QFormLayout(labels);
  auto* firstLabel = Remember("Label20", new QLabel);
  binder_->BindLabel(firstLabel, "Label20");
  labelsForm->addRow(firstLabel, numeric("Text22"));
  labelsForm->addRow(Caption("Label spacing (CDP or traces)"), numeric("Text10"));
  auto* station = Remember("Combo2", new QComboBox);
  binder_->BindComboBox(station, "Combo2");
  labelsForm->addRow(Caption("Station number selection"), station);
  labelsForm->addRow(Caption("Left orientation"), Edit("Text13"));
  labelsForm->addRow(Caption("Right orientation"), Edit("Text14"));

  auto* left = new QVBoxLayout;
  left->addWidget(section);
  left->addWidget(labels);
  left->addStretch(1);

  // Middle column: what is drawn and where.
  auto* display = new QGroupBox(QStringLiteral("Display"));
  auto* displayLayout = new QGridLayout(display);
  auto* type = Remember("combo1", new QComboBox);
  binder_->BindComboBox(type, "combo1");
  displayLayout->addWidget(Caption("Display type"), 0, 0);
  displayLayout->addWidget(type, 0, 1);
  const char* const checks[] = {"Egal", "fold", "Inverse_trace", "topo", "time", "Dead",
                                "velocity", "prn", "CDP", "Station", "Statik", "Alti"};
  int row = 1, column = 0;
  for (const char* name : checks) {
    auto* box = Remember(name, new FieldCheckBox(QString()));
    binder_->BindCheckBox(box, name);
    displayLayout->addWidget(box, row, column);
    if (++column == 2) {
      column = 0;
      ++row;
    }
  }

  auto* top = new QGroupBox(QStringLiteral("Distance to page top (mm)"));
  auto* topForm = new QFormLayout(top);
  topForm->addRow(Caption("Seismic"), numeric("Text9"));
  topForm->addRow(Caption("Fold graph"), numeric("Text18"));
  topForm->addRow(Caption("Elevation"), numeric("Text19"));
  topForm->addRow(Caption("Static"), numeric("Text20"));
  topForm->addRow(Caption("History"), numeric("Text23"));

  auto* middle = new QVBoxLayout;
  middle->addWidget(display);
  middle->addWidget(top);
  middle->addStretch(1);

  // Right column: diagrams, files and the commands.
  auto* diagrams = new QGroupBox(QStringLiteral("Diagrams"));
  auto* diagramsForm = new QFormLayout(diagrams);
  diagramsForm->addRow(Caption("Fold maximum"), numeric("Text15"));
  diagramsForm->addRow(Caption("Fold, static height (mm)"), numeric("Text24"));
  diagramsForm->addRow(Caption("Topo, static line width"), numeric("Text25"));
  const std::pair<const char*, const char*> colorBoxes[] = {{"Text26", "Fold fill color"},
                                                            {"Text27", "Topo line color"},
                                                            {"Text28", "Static line color"},
                                                            {"Text29", "Fold line color"}};
  for (const auto& [name, caption] : colorBoxes) {
    QLineEdit* box = Edit(name, true);
    box->setFixedSize(60, 20);
    diagramsForm->addRow(Caption(caption), box);
  }
  diagramsForm->addRow(Caption("Velocity file"), Edit("Text21"));

  auto* files = new QGroupBox(QStringLiteral("Files"));
  auto* filesForm = new QFormLayout(files);
  QLineEdit* active = Edit("Text16");
  active->setToolTip(QStringLiteral("Double click to choose an SU file"));
  filesForm->addRow(Caption("SU file"), active);
  QLineEdit* paper = Edit("Text11");
  paper->setReadOnly(true);
  filesForm->addRow(Caption("Paper size (mm)"), paper);
  QLineEdit* printer = Edit("Text30");
  printer->setReadOnly(true);
  filesForm->addRow(Caption("Printer"), printer);
  QLineEdit* file = Edit("Text31");
  file->setReadOnly(true);
  filesForm->addRow(Caption("File"), file);
  auto* language = Remember("Label18", new QLabel);
  language->setToolTip(QStringLiteral("Language can be selected  in Korvane Configuration menu"));
  binder_->BindLabel(language, "Label18");
  filesForm->addRow(Caption("Langage"), language);

  auto* commands = new QVBoxLayout;
  for (const char* name : {"Command1", "Command2", "Command4", "Command3"}) {
    auto* button = Remember(name, new QPushButton);
    binder_->BindButton(button, name);
    commands->addWidget(button);
  }
  static_cast<QPushButton*>(FieldWidget("Command1"))->setDefault(true);

  auto* right = new QVBoxLayout;
  right->addWidget(diagrams);
  right->addWidget(files);
  right->addLayout(commands);
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

QWidget* MainWindow::BuildVirtualPlotTab() {
  auto* page = new QWidget;
  auto* layout = new QHBoxLayout(page);

  printerFrame_ = new QGroupBox(QStringLiteral("Printer"));  // Frame6
  printerFrame_->setObjectName(QStringLiteral("Frame6"));
  auto* frame = new QVBoxLayout(printerFrame_);
  for (const auto& [name, caption] : {std::pair{"cmbZoomMode", "Zoom"}, std::pair{"cmbPercent", "Percent"},
                                      std::pair{"ListePolices", "Font"}}) {
    auto* combo = Remember(name, new QComboBox);
    binder_->BindComboBox(combo, name);
    frame->addWidget(Caption(caption));
    frame->addWidget(combo);
  }
  frame->addStretch(1);
  printerFrame_->setMaximumWidth(200);

  preview_ = new PreviewWidget(state_.page);
  preview_->setObjectName(QStringLiteral("Vp"));
  layout->addWidget(printerFrame_);
  layout->addWidget(preview_, 1);
  return page;
}

QWidget* MainWindow::BuildToolsTab() {
  auto* page = new QWidget;
  auto* layout = new QHBoxLayout(page);

  // The editor: history, batch and velocity-pick files.
  auto* editorColumn = new QVBoxLayout;
  auto* path = Remember("Label32", new QLabel);
  path->setTextInteractionFlags(Qt::TextSelectableByMouse);
  binder_->BindLabel(path, "Label32");
  editor_ = new QPlainTextEdit;
  editor_->setObjectName(QStringLiteral("RichTextBox2"));
  editor_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  editor_->setLineWrapMode(QPlainTextEdit::NoWrap);
  connect(editor_, &QPlainTextEdit::textChanged, this, [this] { EditorEdited(); });
  editorColumn->addWidget(path);
  editorColumn->addWidget(editor_, 1);

  // The amplitude palette: 16 colours, interpolated from three anchors.
  auto* palette = new QGroupBox(QStringLiteral("Color amplitude"));
  auto* paletteLayout = new QVBoxLayout(palette);
  auto* small = new QGridLayout;
  for (int k = 0; k < 16; ++k) {
    const std::string name = "Text" + std::to_string(101 + k);
    QLineEdit* box = Edit(name.c_str(), true);
    box->setFixedSize(36, 24);
    box->setToolTip(QStringLiteral("Click to select a color"));
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
    const std::string name = "Text" + std::to_string(117 + a);
    QLineEdit* box = Edit(name.c_str(), true);
    box->setFixedSize(80, 36);
    box->setToolTip(QString::fromUtf8(anchorTips[a]));
    anchorGrid->addWidget(box, a + 1, 0);
    for (int c = 0; c < 3; ++c) {
      const std::string component = "Text" + std::to_string(120 + 3 * a + c);
      QLineEdit* e = Edit(component.c_str());
      e->setMaximumWidth(48);
      anchorGrid->addWidget(e, a + 1, c + 1);
    }
  }
  paletteLayout->addWidget(anchors);
  auto* hint = Caption("Click on the 3 large boxes to select colors");
  hint->setWordWrap(true);
  paletteLayout->addWidget(hint);

  auto* paletteColumn = new QVBoxLayout;
  paletteColumn->addWidget(palette);
  for (const char* name : {"Command101", "Command5"}) {
    auto* button = Remember(name, new QPushButton);
    binder_->BindButton(button, name);
    paletteColumn->addWidget(button);
  }
  paletteColumn->addStretch(1);

  layout->addLayout(editorColumn, 1);
  layout->addLayout(paletteColumn);
  return page;
}

void MainWindow::BuildMenus() {
  struct Item {
    const char* name;
    const char* caption;
  };
  auto addItems = [this](QMenu* menu, std::initializer_list<Item> items) {
    for (const Item& item : items) {
      QAction* action = menu->addAction(QString::fromUtf8(item.caption));
      action->setObjectName(QString::fromUtf8(item.name));
      binder_->BindAction(action, item.name);
    }
  };

  QMenu* editor = menuBar()->addMenu(QStringLiteral("Editor"));
  editor->setObjectName(QStringLiteral("editeur"));
  binder_->BindMenu(editor, "editeur");
  addItems(editor, {{"of", "open file"}, {"sf", "save file"}});

  QMenu* utility = menuBar()->addMenu(QStringLiteral("utility"));
  utility->setObjectName(QStringLiteral("util"));
  binder_->BindMenu(utility, "util");
  addItems(utility, {{"df", "Find text"}, {"rtx", "Replace text"}, {"ft", "Font"}, {"pt", "Print"}});

  QMenu* options = menuBar()->addMenu(QStringLiteral("Options"));
  options->setObjectName(QStringLiteral("o"));
  addItems(options, {{"topo_color", "Topo line color"},
                     {"static_color", "Static line color"},
                     {"f_height", "Fold, static, elevation plot height"},
                     {"Line_w", "Fold, static, elevation line width"},
                     {"Topo_large", "Topo line width"},
                     {"fold_line", "Fold line color"},
                     {"fold_fill_color", "Fold fill color"},
                     {"amp", "Color amplitude selection"}});
}

bool MainWindow::WaitsForBuild(const std::string& name, FieldEvent event) const {
  const std::string n = Lower(name);
  if (event == FieldEvent::Click && (n == "command1" || n == "command2")) return true;
  return event == FieldEvent::DoubleClick && n == "text16";  // loads a file too
}

void MainWindow::Dispatch(const std::string& name, FieldEvent event) {
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

void MainWindow::SyncFromState() {
  SyncBusy();
  SyncEditor();
  preview_->SyncWithPage();
}

void MainWindow::SyncBusy() {
  for (const char* name : {"Command1", "Command2"})
    if (QWidget* w = FieldWidget(name)) w->setEnabled(state_.form.Enabled(name) && !state_.building);
}

void MainWindow::SyncEditor() {
  if (editorShown_ == state_.editorText) return;
  editorShown_ = state_.editorText;
  // The box shows plain line feeds; edits go back with the text's own breaks.
  editorCrLf_ = editorShown_.find("\r\n") != std::string::npos || editorShown_.find('\n') == std::string::npos;
  QString text = QString::fromStdString(editorShown_);
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  ++editorUpdating_;
  editor_->setPlainText(text);
  --editorUpdating_;
}

void MainWindow::EditorEdited() {
  if (editorUpdating_ > 0) return;
  // The raw text: toPlainText() would also turn non-breaking spaces into blanks.
  QString text = editor_->document()->toRawText();
  text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
  text.replace(QChar::LineSeparator, QLatin1Char('\n'));
  std::string utf8 = text.toStdString();
  if (editorCrLf_) utf8 = WithCrLf(utf8);
  state_.editorText = utf8;
  editorShown_ = std::move(utf8);
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (state_.building) {
    // Closing waits for the page: it is asked again once the build ends.
    closePending_ = true;
    event->ignore();
    return;
  }
  // Settings are written only where they were read from.
  if (!state_.settingsFiles.tavelo.path().empty())
    SaveSettings(state_.settingsFiles, state_.settings, state_.form);
  event->accept();
  QCoreApplication::quit();
}

}  // namespace tavelo
