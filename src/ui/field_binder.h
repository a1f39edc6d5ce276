#pragma once
// Binds window widgets to the form's fields, both ways. The form is the one
// source of truth: user input is written into the form (whose handlers then
// run), and every change of a field, whoever made it, is shown again by its
// widgets. A guard keeps a widget from echoing back what it was just told.

#include <QCheckBox>
#include <QObject>
#include <QPointer>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "settings/form.h"

class QAbstractButton;
class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QTabWidget;
class QWidget;

namespace tavelo {

struct ProgramState;

// A check box whose clicks go to the form instead of ticking it: the form's
// value (0 off, 1 on, 2 greyed) is shown once the form has taken it.
class FieldCheckBox : public QCheckBox {
  Q_OBJECT
 public:
  explicit FieldCheckBox(const QString& text, QWidget* parent = nullptr);
  std::function<void()> onUserToggle;

 protected:
  void nextCheckState() override;
};

class FieldBinder : public QObject {
  Q_OBJECT
 public:
  explicit FieldBinder(ProgramState& state, QObject* parent = nullptr);
  ~FieldBinder() override;

  // How user events reach the form; the window funnels them to guard a
  // running build. By default they go straight to Form::Fire.
  std::function<void(const std::string& name, FieldEvent event)> fire;
  // Told after every user change written into the form.
  std::function<void()> afterUserChange;

  // Text box: text both ways; keys through the field's key filter; key
  // release, focus loss, click and double click fired as events. A colour
  // box also shows the field's back colour and takes no typing.
  void BindLineEdit(QLineEdit* edit, const std::string& name, bool colorBox = false);
  void BindCheckBox(FieldCheckBox* box, const std::string& name);
  void BindComboBox(QComboBox* combo, const std::string& name);
  void BindLabel(QLabel* label, const std::string& name);  // caption
  void BindButton(QAbstractButton* button, const std::string& name);  // caption, click
  void BindAction(QAction* action, const std::string& name);  // click, enabled
  void BindMenu(QMenu* menu, const std::string& name);  // enabled
  void BindTabs(QTabWidget* tabs, const std::string& name);  // shown tab

  // Shows the field again in every widget bound to it.
  void Refresh(const std::string& name);
  void RefreshAll();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  enum class Kind { LineEdit, ColorBox, Check, Combo, Label, Button, Action, Menu, Tabs };
  struct Binding {
    Kind kind;
    QPointer<QObject> object;  // null once the widget is gone
    std::string name;  // as the form spells it
  };

  void Add(Kind kind, QObject* object, const std::string& name);
  void Show(const Binding& b);
  void Fire(const std::string& name, FieldEvent event);
  void UserChanged();
  bool FilterKey(QLineEdit* edit, const std::string& name, QKeyEvent* event);
  const Binding* Find(QObject* object) const;

  ProgramState& state_;
  std::multimap<std::string, Binding> bindings_;  // key: lower-case field name
  int observer_ = 0;
  int showing_ = 0;  // > 0 while the form's value is put into widgets
  QObject* doubleClicked_ = nullptr;  // the release after a double click is no click
  QLineEdit* editing_ = nullptr;     // the text box whose typing is being written
};

}  // namespace tavelo
