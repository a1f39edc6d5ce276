#include "ui/field_binder.h"

#include <QAction>
#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPalette>
#include <QTabWidget>

#include <cctype>

#include "program/handlers.h"
#include "program/state.h"

namespace tavelo {
namespace {

std::string Lower(const std::string& s) {
  std::string out = s;
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

QString Q(const std::string& s) { return QString::fromStdString(s); }

QColor ToQColor(int32_t c) {
  const auto u = static_cast<uint32_t>(c);
  return QColor(static_cast<int>(u & 0xFF), static_cast<int>((u >> 8) & 0xFF),
                static_cast<int>((u >> 16) & 0xFF));
}

Qt::CheckState ToCheckState(int value) {
  switch (value) {
    case 1: return Qt::Checked;
    case 2: return Qt::PartiallyChecked;
    default: return Qt::Unchecked;
  }
}

// The character a key press types, as the key filter sees it; 0 for keys
// that type nothing (arrows, Delete, Tab, shortcuts), which always pass.
int TypedKeyCode(const QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Backspace: return 8;
    case Qt::Key_Return:
    case Qt::Key_Enter: return 13;
    case Qt::Key_Escape: return 27;
    default: break;
  }
  if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return 0;
  const QString text = event->text();
  if (text.size() != 1) return 0;
  const char16_t c = text.front().unicode();
  if (c < 32 || c == 127) return 0;
  return c;
}

}  // namespace

FieldCheckBox::FieldCheckBox(const QString& text, QWidget* parent) : QCheckBox(text, parent) {
  setTristate(true);  // shows the greyed value 2; users only switch on and off
}

void FieldCheckBox::nextCheckState() {
  if (onUserToggle) onUserToggle();
}

FieldBinder::FieldBinder(ProgramState& state, QObject* parent) : QObject(parent), state_(state) {
  observer_ = state_.form.AddObserver([this](const std::string& name) { Refresh(name); });
}

FieldBinder::~FieldBinder() { state_.form.RemoveObserver(observer_); }

void FieldBinder::Fire(const std::string& name, FieldEvent event) {
  if (fire)
    fire(name, event);
  else
    state_.form.Fire(name, event);
}

void FieldBinder::UserChanged() {
  if (afterUserChange) afterUserChange();
}

void FieldBinder::Add(Kind kind, QObject* object, const std::string& name) {
  // The form's own spelling, so handlers see the name they were attached to.
  const std::string spelled = state_.form.Has(name) ? state_.form.Get(name).name : name;
  Binding b{kind, object, spelled};
  bindings_.emplace(Lower(name), b);
  Show(b);
}

const FieldBinder::Binding* FieldBinder::Find(QObject* object) const {
  for (const auto& [key, b] : bindings_)
    if (b.object == object) return &b;
  return nullptr;
}

void FieldBinder::BindLineEdit(QLineEdit* edit, const std::string& name, bool colorBox) {
  if (colorBox) {
    edit->setReadOnly(true);
    edit->setAutoFillBackground(true);
  }
  edit->installEventFilter(this);
  connect(edit, &QLineEdit::textEdited, this, [this, name, edit](const QString& text) {
    if (showing_ > 0) return;
    editing_ = edit;
    state_.form.SetText(name, text.toStdString());
    editing_ = nullptr;
    UserChanged();
  });
  Add(colorBox ? Kind::ColorBox : Kind::LineEdit, edit, name);
}

void FieldBinder::BindCheckBox(FieldCheckBox* box, const std::string& name) {
  box->onUserToggle = [this, name] {
    if (showing_ > 0) return;
    // A click ticks an empty box and empties any other; only the program greys.
    state_.form.SetValue(name, state_.form.Value(name) == 0 ? 1 : 0);
    UserChanged();
  };
  Add(Kind::Check, box, name);
}

void FieldBinder::BindComboBox(QComboBox* combo, const std::string& name) {
  connect(combo, &QComboBox::activated, this, [this, name](int index) {
    if (showing_ > 0) return;
    state_.form.SetListIndex(name, index);
    UserChanged();
  });
  if (combo->isEditable()) {
    // Typed text is the list's text (its Change); the selection stays.
    connect(combo->lineEdit(), &QLineEdit::textEdited, this, [this, name](const QString& text) {
      if (showing_ > 0) return;
      state_.form.SetText(name, text.toStdString());
      UserChanged();
    });
  }
  Add(Kind::Combo, combo, name);
}

void FieldBinder::BindLabel(QLabel* label, const std::string& name) { Add(Kind::Label, label, name); }

void FieldBinder::BindButton(QAbstractButton* button, const std::string& name) {
  connect(button, &QAbstractButton::clicked, this, [this, name] { Fire(name, FieldEvent::Click); });
  Add(Kind::Button, button, name);
}

void FieldBinder::BindAction(QAction* action, const std::string& name) {
  connect(action, &QAction::triggered, this, [this, name, action] {
    // An item of a disabled menu is out of reach, also by its shortcut.
    for (QObject* o = action->parent(); o != nullptr; o = o->parent())
      if (auto* menu = qobject_cast<QMenu*>(o); menu && !menu->menuAction()->isEnabled()) return;
    Fire(name, FieldEvent::Click);
  });
  Add(Kind::Action, action, name);
}

void FieldBinder::BindMenu(QMenu* menu, const std::string& name) { Add(Kind::Menu, menu, name); }

void FieldBinder::BindTabs(QTabWidget* tabs, const std::string& name) {
  connect(tabs, &QTabWidget::currentChanged, this, [this, name](int index) {
    if (showing_ > 0) return;
    state_.form.SetValue(name, index);  // its click runs the tab-change rule
    UserChanged();
  });
  Add(Kind::Tabs, tabs, name);
}

void FieldBinder::Refresh(const std::string& name) {
  auto [first, last] = bindings_.equal_range(Lower(name));
  // Copy: showing a value may not add bindings, but stay safe if it does.
  std::vector<Binding> shown;
  for (auto it = first; it != last; ++it) shown.push_back(it->second);
  for (const Binding& b : shown) Show(b);
}

void FieldBinder::RefreshAll() {
  std::vector<Binding> all;
  for (const auto& [key, b] : bindings_) all.push_back(b);
  for (const Binding& b : all) Show(b);
}

void FieldBinder::Show(const Binding& b) {
  const Form& form = state_.form;
  if (b.object.isNull()) return;
  if (!form.Has(b.name)) return;  // a control the form does not know keeps its design
  const Field& f = form.Get(b.name);
  ++showing_;
  switch (b.kind) {
    case Kind::LineEdit:
    case Kind::ColorBox: {
      auto* edit = static_cast<QLineEdit*>(b.object.data());
      const QString text = Q(f.text);
      // Only a real change is shown, so the caret stays where the user typed.
      if (edit->text() != text) {
        edit->setText(text);
        // A value the program wrote is read from its start; one the user
        // is typing (and a handler rewrote) keeps the caret at its end.
        if (edit != editing_ && !edit->hasFocus()) edit->setCursorPosition(0);
      }
      edit->setEnabled(f.enabled);
      if (b.kind == Kind::ColorBox) {
        QPalette palette = edit->palette();
        palette.setColor(QPalette::Base, ToQColor(f.backColor));
        palette.setColor(QPalette::Window, ToQColor(f.backColor));
        // The anchors show their value: keep it readable on dark colours.
        palette.setColor(QPalette::Text, qGray(ToQColor(f.backColor).rgb()) < 128 ? Qt::white : Qt::black);
        edit->setPalette(palette);
      }
      break;
    }
    case Kind::Check: {
      auto* box = static_cast<FieldCheckBox*>(b.object.data());
      box->setCheckState(ToCheckState(f.value));
      box->setText(Q(f.caption));
      box->setEnabled(f.enabled);
      break;
    }
    case Kind::Combo: {
      auto* combo = static_cast<QComboBox*>(b.object.data());
      bool same = combo->count() == static_cast<int>(f.items.size());
      for (int i = 0; same && i < combo->count(); ++i)
        same = combo->itemText(i) == Q(f.items[static_cast<size_t>(i)]);
      if (!same) {
        combo->clear();
        for (const std::string& item : f.items) combo->addItem(Q(item));
      }
      combo->setCurrentIndex(f.listIndex < combo->count() ? f.listIndex : -1);
      if (combo->isEditable() && combo->currentText() != Q(f.text)) combo->setEditText(Q(f.text));
      combo->setEnabled(f.enabled);
      break;
    }
    case Kind::Label: {
      auto* label = static_cast<QLabel*>(b.object.data());
      label->setText(Q(f.caption));
      label->setEnabled(f.enabled);
      break;
    }
    case Kind::Button: {
      auto* button = static_cast<QAbstractButton*>(b.object.data());
      QString caption = Q(f.caption);
      caption.replace(QLatin1Char('&'), QStringLiteral("&&"));
      button->setText(caption);
      button->setEnabled(f.enabled);
      break;
    }
    case Kind::Action:
      static_cast<QAction*>(b.object.data())->setEnabled(f.enabled);
      break;
    case Kind::Menu:
      static_cast<QMenu*>(b.object.data())->menuAction()->setEnabled(f.enabled);
      break;
    case Kind::Tabs: {
      auto* tabs = static_cast<QTabWidget*>(b.object.data());
      if (f.value >= 0 && f.value < tabs->count() && tabs->currentIndex() != f.value)
        tabs->setCurrentIndex(f.value);
      break;
    }
  }
  --showing_;
}

bool FieldBinder::FilterKey(QLineEdit* edit, const std::string& name, QKeyEvent* event) {
  const int code = TypedKeyCode(event);
  if (code == 0) return false;
  const int key = FilterFieldKey(state_, name, code);
  if (key == code) return false;
  if (key != 0 && !edit->isReadOnly()) {
    // The filter typed another character than the key: type that one.
    edit->insert(QString(QChar(static_cast<char16_t>(key))));
    state_.form.SetText(name, edit->text().toStdString());
    UserChanged();
  }
  return true;  // eaten
}

bool FieldBinder::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::FocusOut:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseButtonRelease:
      break;
    default:
      return QObject::eventFilter(watched, event);
  }
  const Binding* b = Find(watched);
  if (b == nullptr || (b->kind != Kind::LineEdit && b->kind != Kind::ColorBox))
    return QObject::eventFilter(watched, event);
  auto* edit = static_cast<QLineEdit*>(watched);
  const std::string name = b->name;  // the binding may go while a handler runs
  switch (event->type()) {
    case QEvent::KeyPress:
      return FilterKey(edit, name, static_cast<QKeyEvent*>(event));
    case QEvent::KeyRelease:
      if (!static_cast<QKeyEvent*>(event)->isAutoRepeat()) Fire(name, FieldEvent::KeyUp);
      break;
    case QEvent::FocusOut: {
      // Focus that moves to another window (a dialog, a menu) is not lost
      // to another field of this one.
      const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
      if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
        Fire(name, FieldEvent::LostFocus);
      break;
    }
    case QEvent::MouseButtonDblClick:
      doubleClicked_ = watched;
      Fire(name, FieldEvent::DoubleClick);
      break;
    case QEvent::MouseButtonRelease: {
      auto* mouse = static_cast<QMouseEvent*>(event);
      if (doubleClicked_ == watched) {
        doubleClicked_ = nullptr;
      } else if (mouse->button() == Qt::LeftButton && edit->rect().contains(mouse->position().toPoint())) {
        Fire(name, FieldEvent::Click);
      }
      break;
    }
    default:
      break;
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace tavelo
