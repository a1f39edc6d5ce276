#include "settings/form.h"

#include <algorithm>
#include <cctype>

#include "common/numeric.h"

namespace tavelo {
namespace {

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

const char* const kDigits = "0123456789";
const char* const kDecimal = ".0123456789";

Field TextBox(std::string name, std::string text, std::string keys = "") {
  Field f;
  f.name = std::move(name);
  f.kind = FieldKind::Text;
  f.text = std::move(text);
  f.allowedKeys = std::move(keys);
  return f;
}
Field CheckBox(std::string name, std::string caption, int value = 0) {
  Field f;
  f.name = std::move(name);
  f.kind = FieldKind::Check;
  f.caption = std::move(caption);
  f.value = value;
  return f;
}
Field ListBox(std::string name) {
  Field f;
  f.name = std::move(name);
  f.kind = FieldKind::List;
  return f;
}
Field LabelField(std::string name, std::string caption) {
  Field f;
  f.name = std::move(name);
  f.kind = FieldKind::Label;
  f.caption = std::move(caption);
  return f;
}

}  // namespace

Form::Form() {
  // Plot parameters tab.
  Add(TextBox("Text1", ""));                 // plot title
  Add(TextBox("Text2", "1", kDigits));       // first trace number to plot
  Add(TextBox("Text3", "24", kDigits));      // last trace number to print
  Add(TextBox("Text4", "", kDigits));        // plot width (mm)
  Add(TextBox("Text5", "", kDigits));        // profile height (mm)
  Add(TextBox("Text6", "", kDigits));        // total time to draw (ms)
  Add(TextBox("Text7", "", kDigits));        // time line spacing (ms)
  Add(TextBox("Text8", "", kDigits));        // left margin (mm)
  Add(TextBox("Text9", "", kDigits));        // section's distance to page top (mm)
  Add(TextBox("Text10", "", kDigits));       // label spacing (CDP or traces)
  Add(TextBox("Text11", ""));                // paper size "W x H" (mm), read only
  Add(TextBox("Text12", "", kDecimal));      // trace size factor
  Add(TextBox("Text13", ""));                // left orientation text
  Add(TextBox("Text14", ""));                // right orientation text
  Add(TextBox("Text15", "", kDigits));       // fold maximum (0 = header values)
  Add(TextBox("Text16", ""));                // active SU file
  Add(TextBox("Text17", "", kDigits));       // datum
  Add(TextBox("Text18", "", kDigits));       // fold graph's distance to page top (mm)
  Add(TextBox("Text19", "", kDigits));       // elevation graph's distance to page top (mm)
  Add(TextBox("Text20", "", kDigits));       // statics graph's distance to page top (mm)
  Add(TextBox("Text21", ""));                // velocity model file
  Add(TextBox("Text22", "10", kDigits));     // first label
  Add(TextBox("Text23", " ", kDigits));      // history's distance to page top (mm), unused
  Add(TextBox("Text24", "", kDigits));       // fold, static height (mm)
  Add(TextBox("Text25", "", kDigits));       // topo, static line width
  Add(TextBox("Text26", ""));                // fold fill colour box
  Add(TextBox("Text27", ""));                // topo line colour box
  Add(TextBox("Text28", ""));                // static line colour box
  Add(TextBox("Text29", ""));                // fold line colour box
  Add(TextBox("Text30", ""));                // printer name
  Add(TextBox("Text31", ""));                // active file (output frame)
  Add(TextBox("Text32", "", kDecimal));      // trace spacing (m on the ground)
  Add(TextBox("Text33", "", kDigits));       // scale denominator
  Add(TextBox("amplimite", "0", kDecimal));  // noise reduction amplitude

  Add(CheckBox("Egal", "Trace egalization", 1));
  Add(CheckBox("fold", "Fold drawing"));
  Add(CheckBox("Inverse_trace", "Inverse traces"));
  Add(CheckBox("topo", "Topo drawing"));
  Add(CheckBox("time", "Time section (else depth section )"));
  Add(CheckBox("Dead", "Display Dead traces"));
  Add(CheckBox("velocity", "Velocity model"));
  Add(CheckBox("prn", "Print history"));
  Add(CheckBox("CDP", "CDP numbering"));
  Add(CheckBox("Station", "Station number"));
  Add(CheckBox("Statik", "Static pannel"));
  Add(CheckBox("Alti", "Elevation diagram"));

  Add(ListBox("combo1"));       // display type
  Add(ListBox("Combo2"));       // header word printed as station
  Add(ListBox("ListePolices")); // font list
  Field percent = ListBox("cmbPercent");  // preview zoom percentage
  percent.items = {"25%", "50%", "75%", "100%", "150%", "200%", "400%"};
  Add(std::move(percent));
  Field zoom = ListBox("cmbZoomMode");  // preview zoom mode
  zoom.items = {"Percentage", "Thumbnail", "TwoPages", "WholePage", "PageWidth", "Stretch"};
  Add(std::move(zoom));
  Add(LabelField("editeur", "Editor"));  // the Editor menu: enabled on the Tools tab only

  Add(LabelField("Label18", "English"));    // language caption
  Add(LabelField("Label20", "1st label"));  // caption of the first-label field
  Add(LabelField("Label32", ""));           // history file shown in the editor

  Field tab;
  tab.name = "SSTab1";  // the three tabs
  tab.kind = FieldKind::Tab;
  tab.items = {"Plot parameters", "Virtual plot", "Tools"};
  Add(std::move(tab));

  // Buttons: clicks only.
  Add(LabelField("Command1", "OK  Display"));
  Add(LabelField("Command2", "Load an SU file"));
  Add(LabelField("Command3", "How to use Tavelo"));
  Add(LabelField("Command4", "Velocity model"));
  Add(LabelField("Command5", "Print History"));
  Add(LabelField("Command101", "OK, Save and EXIT"));
  Add(LabelField("Record_WMF", "Save as WMF"));          // metafile of the page
  Add(LabelField("Cp", "Copy to clipboard"));            // page picture to the clipboard
  Add(LabelField("Cor", "Graphical program"));           // start the external graphics program
  Add(LabelField("cmdPrint", "Print profile"));          // print the ended page
  Add(LabelField("cmdPrinterSetup", "Printer Setup"));   // printer dialog, then the paper size
  Add(LabelField("cmdPageSetup", "Page Setup"));         // paper and margins; empties the preview
  Add(CheckBox("chkPhysicalPage", "Physical Page", 1));  // preview: the whole sheet, else the printable part
  Add(CheckBox("chkShowGuides", "Show Guides"));         // preview: the margin guides

  // Palette on the Tools tab: 16 small boxes, three anchors, nine components.
  for (int k = 101; k <= 119; ++k) Add(TextBox("Text" + std::to_string(k), ""));
  for (int k = 120; k <= 128; ++k) Add(TextBox("Text" + std::to_string(k), "0"));
}

void Form::Add(Field field) {
  std::string key = Lower(field.name);
  fields_[key] = std::move(field);
}

bool Form::Has(std::string_view name) const { return fields_.count(Lower(name)) != 0; }

const Field& Form::Get(std::string_view name) const {
  auto it = fields_.find(Lower(name));
  return it == fields_.end() ? unknown_ : it->second;
}

Field& Form::Mutable(std::string_view name) {
  auto it = fields_.find(Lower(name));
  if (it == fields_.end()) {
    unknown_ = Field{};
    return unknown_;
  }
  return it->second;
}

std::vector<std::string> Form::Names() const {
  std::vector<std::string> names;
  names.reserve(fields_.size());
  for (const auto& [key, field] : fields_) names.push_back(field.name);
  return names;
}

const std::string& Form::Text(std::string_view name) const { return Get(name).text; }

void Form::SetText(std::string_view name, std::string text) {
  if (!Has(name)) return;
  Field& f = Mutable(name);
  if (f.text == text) return;
  f.text = std::move(text);
  std::string fieldName = f.name;
  Notify(f);
  Fire(fieldName, FieldEvent::Change);
}

double Form::Number(std::string_view name) const { return LeadingNumber(Text(name)); }

int Form::Value(std::string_view name) const { return Get(name).value; }

void Form::SetValue(std::string_view name, int value) {
  if (!Has(name)) return;
  Field& f = Mutable(name);
  if (f.value == value) return;
  f.value = value;
  std::string fieldName = f.name;
  Notify(f);
  Fire(fieldName, FieldEvent::Click);
}

int Form::ListIndex(std::string_view name) const { return Get(name).listIndex; }

void Form::SetListIndex(std::string_view name, int index) {
  if (!Has(name)) return;
  Field& f = Mutable(name);
  if (index < -1 || index >= static_cast<int>(f.items.size())) return;
  if (f.listIndex == index) return;
  f.listIndex = index;
  f.text = index >= 0 ? f.items[static_cast<size_t>(index)] : std::string();
  std::string fieldName = f.name;
  Notify(f);
  Fire(fieldName, FieldEvent::Click);
}

const std::vector<std::string>& Form::Items(std::string_view name) const { return Get(name).items; }

void Form::AddItem(std::string_view name, std::string item) {
  if (!Has(name)) return;
  Field& f = Mutable(name);
  f.items.push_back(std::move(item));
  Notify(f);
}

void Form::ClearItems(std::string_view name) {
  if (!Has(name)) return;
  Field& f = Mutable(name);
  f.items.clear();
  f.listIndex = -1;
  f.text.clear();
  Notify(f);
}

const std::string& Form::Caption(std::string_view name) const { return Get(name).caption; }

void Form::SetCaption(std::string_view name, std::string caption) {
  if (!Has(name)) return;
  Field& f = Mutable(name);
  if (f.caption == caption) return;
  f.caption = std::move(caption);
  Notify(f);
}

int32_t Form::BackColor(std::string_view name) const { return Get(name).backColor; }

void Form::SetBackColor(std::string_view name, int32_t color) {
  if (!Has(name)) return;
  Field& f = Mutable(name);
  if (f.backColor == color) return;
  f.backColor = color;
  Notify(f);
}

bool Form::Enabled(std::string_view name) const { return Get(name).enabled; }

void Form::SetEnabled(std::string_view name, bool enabled) {
  if (!Has(name)) return;
  Field& f = Mutable(name);
  if (f.enabled == enabled) return;
  f.enabled = enabled;
  Notify(f);
}

void Form::On(std::string_view name, FieldEvent event, Handler handler) {
  handlers_[{Lower(name), event}].push_back(std::move(handler));
}

void Form::Fire(std::string_view name, FieldEvent event) {
  auto it = handlers_.find({Lower(name), event});
  if (it == handlers_.end()) return;
  // Copy: a handler may attach others while it runs.
  std::vector<Handler> handlers = it->second;
  for (auto& h : handlers) h();
}

int Form::AddObserver(Observer observer) {
  int id = nextObserver_++;
  observers_[id] = std::move(observer);
  return id;
}

void Form::RemoveObserver(int id) { observers_.erase(id); }

void Form::Notify(const Field& field) {
  if (observers_.empty()) return;
  std::string name = field.name;
  auto copy = observers_;
  for (auto& [id, obs] : copy) obs(name);
}

}  // namespace tavelo
