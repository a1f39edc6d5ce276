#pragma once
// The parameters window's fields as a plain model. The values the window
// shows (settings/form_fields.h names them) live here; the Qt window only binds
// widgets to them. Fields are observable: the change and click
// handlers are attached once (see program/handlers) and run whoever writes
// the field: the user, the describing read, the numbering refresh, --set.
//
// Events follow the classic controls: writing a text box's text fires its
// Change handlers when the text really changes; writing a check box's value
// or a list's selected index fires its Click handlers when it changes.
// Double click, key release and focus loss are fired by whoever sees them
// (the window, or a test) through Fire().

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace tavelo {

enum class FieldKind : uint8_t {
  Text,   // text box: text
  Check,  // check box: value 0 off, 1 on, 2 greyed
  List,   // list / combo box: items, selected index, text of the selection
  Label,  // label or button: caption only
  Tab,    // tab control: value = shown tab index
};

enum class FieldEvent : uint8_t { Change, Click, DoubleClick, KeyUp, LostFocus };

// Told the name whenever a field is read, written, fired or given a handler
// under a name the window does not have (settings/form_fields.h names them
// all). Debug builds stop the program there; release builds have no
// handler and go on with an empty field. The tests install one that fails
// the running test. Returns the handler it replaces.
using UnknownFieldHandler = void (*)(std::string_view name);
UnknownFieldHandler SetUnknownFieldHandler(UnknownFieldHandler handler);

// Field names compare without regard to case (Text4 = text4): the key a
// name is found under, and the comparison.
std::string FieldKey(std::string_view name);
bool SameFieldName(std::string_view a, std::string_view b);

struct Field {
  std::string name;  // the control's name (Text4, combo1, Inverse_trace)
  FieldKind kind = FieldKind::Text;
  std::string text;  // text box text; list: text of the selected entry
  int value = 0;     // check box value; tab index
  int listIndex = -1;
  std::vector<std::string> items;
  std::string caption;
  int32_t backColor = 16777215;  // colour boxes show their colour here
  bool enabled = true;
  std::string allowedKeys;  // NumericKeyFilter characters ("" = no filter)
};

class Form {
 public:
  // Registers every field of the window with its designed initial content.
  Form();
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;

  // Names are matched without regard to case (Text4 = text4). Has() asks;
  // every other member refuses an unknown name (see UnknownFieldHandler).
  bool Has(std::string_view name) const;
  const Field& Get(std::string_view name) const;  // unknown name: an empty Text field
  std::vector<std::string> Names() const;

  // Text boxes (and lists, whose text is the selected entry).
  const std::string& Text(std::string_view name) const;
  void SetText(std::string_view name, std::string text);
  // The leading number of the field's text (0 when none).
  double Number(std::string_view name) const;

  // Check boxes (0, 1, 2) and the tab control.
  int Value(std::string_view name) const;
  void SetValue(std::string_view name, int value);
  bool Checked(std::string_view name) const { return Value(name) == 1; }

  // Lists.
  int ListIndex(std::string_view name) const;
  void SetListIndex(std::string_view name, int index);  // -1 clears the selection
  const std::vector<std::string>& Items(std::string_view name) const;
  void AddItem(std::string_view name, std::string item);
  void ClearItems(std::string_view name);

  // Captions (labels, buttons) and colour boxes.
  const std::string& Caption(std::string_view name) const;
  void SetCaption(std::string_view name, std::string caption);
  int32_t BackColor(std::string_view name) const;
  void SetBackColor(std::string_view name, int32_t color);
  bool Enabled(std::string_view name) const;
  void SetEnabled(std::string_view name, bool enabled);

  // Handlers.
  using Handler = std::function<void()>;
  void On(std::string_view name, FieldEvent event, Handler handler);
  // Runs the handlers of a user event (double click, key release, ...).
  void Fire(std::string_view name, FieldEvent event);

  // Observers: told the field name after every change of any property.
  using Observer = std::function<void(const std::string& name)>;
  int AddObserver(Observer observer);
  void RemoveObserver(int id);

 private:
  const Field* Find(std::string_view name) const;  // null, once refused, when unknown
  Field* Mutable(std::string_view name);
  void Notify(const Field& field);
  void Add(Field field);

  std::map<std::string, Field> fields_;  // key: lower-case name
  std::map<std::pair<std::string, FieldEvent>, std::vector<Handler>> handlers_;
  std::map<int, Observer> observers_;
  int nextObserver_ = 1;
  Field unknown_;
};

}  // namespace tavelo
