#pragma once
// The parameters window: three tabs ("Plot parameters", "Virtual plot",
// "Tools") and the menus, all bound to the form's fields. The window is
// glue: what the controls do is attached to the form in program/ and
// render/; here user input goes into the form and the form is shown.

#include <QElapsedTimer>
#include <QMainWindow>

#include <map>
#include <string>

#include "settings/form.h"

class QGroupBox;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QTabWidget;

namespace tavelo {

struct ProgramState;
class FieldBinder;
class PreviewWidget;

class MainWindow : public QMainWindow {
  Q_OBJECT
 public:
  explicit MainWindow(ProgramState& state, QWidget* parent = nullptr);
  ~MainWindow() override;

  // A user event on a control. "OK  Display" and loading a file wait while
  // a page is being built: they are ignored until it ends.
  void Dispatch(const std::string& name, FieldEvent event);

  // Shows what the program changed outside the form: the editor text, the
  // page, whether a build runs.
  void SyncFromState();

  // The widget bound to a field (nullptr when none).
  QWidget* FieldWidget(const std::string& name) const;
  QTabWidget* Tabs() const { return tabs_; }
  PreviewWidget* Preview() const { return preview_; }
  QPlainTextEdit* Editor() const { return editor_; }
  QProgressBar* Progress() const { return progress_; }
  // "Printer" frame beside the preview, for the output controls.
  QGroupBox* PrinterFrame() const { return printerFrame_; }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  QWidget* BuildPlotParametersTab();
  QWidget* BuildVirtualPlotTab();
  QWidget* BuildToolsTab();
  void BuildMenus();
  QLineEdit* Edit(const char* name, bool colorBox = false);
  template <typename W>
  W* Remember(const char* name, W* widget);

  void AfterAction();
  void SyncBusy();
  void SyncEditor();
  void EditorEdited();
  bool WaitsForBuild(const std::string& name, FieldEvent event) const;

  ProgramState& state_;
  FieldBinder* binder_;
  QTabWidget* tabs_ = nullptr;
  PreviewWidget* preview_ = nullptr;
  QPlainTextEdit* editor_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QGroupBox* printerFrame_ = nullptr;
  std::map<std::string, QWidget*> widgets_;  // key: lower-case field name

  std::string editorShown_;   // the editor text the box shows
  bool editorCrLf_ = true;    // line breaks the shown text uses
  int editorUpdating_ = 0;
  bool closePending_ = false;  // closing waits for the build to end
  QElapsedTimer sinceEvents_;  // events are processed a few times a second
};

}  // namespace tavelo
