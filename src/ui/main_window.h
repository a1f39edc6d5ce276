#pragma once
// The parameters window: three tabs ("Plot parameters", "Virtual plot",
// "Tools") and the menus, all bound to the form's fields. The window is
// glue: what the controls do is attached to the form by the composition
// root (app/wiring.h), also what acts on the window's own parts; here user
// input goes into the form and the form is shown.

#include <QElapsedTimer>
#include <QMainWindow>

#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "settings/form.h"
#include "settings/form_fields.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QTabWidget;

namespace tavelo {

struct ProgramState;
class EditorCommands;
class EditorWidget;
class FieldBinder;
class PreviewWidget;

// The smallest window, 10320 x 9100 twips, in pixels at 15 twips
// a pixel (96 dots per inch).
inline constexpr int kMinWindowWidth = 10320 / 15;
inline constexpr int kMinWindowHeight = 9100 / 15 + 1;

class MainWindow : public QMainWindow {
  Q_OBJECT
 public:
  // Attaches no handler: the root attaches the program's, then those on
  // the window's parts (AttachWindowHandlers, through WindowPartsOf).
  explicit MainWindow(ProgramState& state, QWidget* parent = nullptr);
  ~MainWindow() override;

  // A user event on a control. "OK  Display" and loading a file wait while
  // a page is being built: they are ignored until it ends.
  void Dispatch(std::string_view name, FieldEvent event);

  // Shows what the program changed outside the form: the editor text, the
  // page, whether a build runs.
  void SyncFromState();

  // The widget bound to a field (nullptr when none).
  QWidget* FieldWidget(std::string_view name) const;
  QTabWidget* Tabs() const { return tabs_; }
  PreviewWidget* Preview() const { return preview_; }
  EditorWidget* Editor() const { return editor_; }
  EditorCommands& Commands() const { return *editorCommands_; }
  QProgressBar* Progress() const { return progress_; }
  // "Printer" frame beside the preview (Frame6), with the output controls.
  QGroupBox* PrinterFrame() const { return printerFrame_; }

  // Raises and activates the window; the shown tab stays.
  void BringToFront();
  // Shows or hides the page's preview (seen on "Virtual plot" only).
  void ShowPreview(bool shown);

 protected:
  void closeEvent(QCloseEvent* event) override;
  // A window made smaller than the smallest size springs back to it, also
  // where no window manager holds the minimum-size hint.
  void resizeEvent(QResizeEvent* event) override;

 private:
  QWidget* BuildPlotParametersTab();
  // The plot parameters tab's group boxes, in their columns' order.
  QGroupBox* BuildFileGroup();
  QGroupBox* BuildSectionGroup();
  QGroupBox* BuildDisplayGroup();
  QGroupBox* BuildLabelsGroup();
  QGroupBox* BuildPageTopGroup();
  QGroupBox* BuildDrawingGroup();
  QWidget* BuildVirtualPlotTab();
  QWidget* BuildToolsTab();
  void BuildMenus();
  // Widgets bound to their fields, remembered under the field's name.
  QLineEdit* Edit(FieldName name, bool colorBox = false);
  QLineEdit* NumericEdit(FieldName name, const char* tooltip = nullptr);
  QWidget* Button(FieldName name, const char* tooltip = nullptr);
  QWidget* Check(FieldName name, const char* tooltip = nullptr);
  QComboBox* Combo(FieldName name, bool editable = false);
  QLabel* FieldLabel(FieldName name);
  template <typename W>
  W* Remember(FieldName name, W* widget);

  void AfterAction();
  void SyncBusy();
  // The preview's physical-page view leaves out the printer's unprintable
  // edges: taken from the printer in use whenever it or the paper changes.
  void SyncUnprintableMargins();
  bool WaitsForBuild(std::string_view name, FieldEvent event) const;

  ProgramState& state_;
  std::unique_ptr<EditorCommands> editorCommands_;
  FieldBinder* binder_;
  QTabWidget* tabs_ = nullptr;
  PreviewWidget* preview_ = nullptr;
  EditorWidget* editor_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QGroupBox* printerFrame_ = nullptr;
  std::map<std::string, QWidget*> widgets_;  // key: lower-case field name

  std::string marginsFor_;  // printer and paper the preview's margins are for
  bool closePending_ = false;  // closing waits for the build to end
  QElapsedTimer sinceEvents_;  // events are processed a few times a second
};

}  // namespace tavelo
