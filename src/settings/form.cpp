#include "settings/form.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>

#include "common/numeric.h"
#include "settings/form_fields.h"

namespace tavelo {
namespace {

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// Debug builds stop at the first unknown name; release builds go on with
// an empty field, as the window always has.
#ifndef NDEBUG
void StopAtUnknownField(std::string_view name) {
  std::fprintf(stderr, "tavelo: no window field is named \"%.*s\"\n", static_cast<int>(name.size()),
               name.data());
  std::abort();
}
UnknownFieldHandler unknownFieldHandler = StopAtUnknownField;
#else
UnknownFieldHandler unknownFieldHandler = nullptr;
#endif

const char* const kDigits = "0123456789";
const char* const kDecimal = ".0123456789";

Field TextBox(FieldName name, std::string text, std::string keys = "") {
  Field f;
  f.name = std::string(name);
  f.kind = FieldKind::Text;
  f.text = std::move(text);
  f.allowedKeys = std::move(keys);
  return f;
}
Field CheckBox(FieldName name, std::string caption, int value = 0) {
  Field f;
  f.name = std::string(name);
  f.kind = FieldKind::Check;
  f.caption = std::move(caption);
  f.value = value;
  return f;
}
Field ListBox(FieldName name) {
  Field f;
  f.name = std::string(name);
  f.kind = FieldKind::List;
  return f;
}
Field LabelField(FieldName name, std::string caption) {
  Field f;
  f.name = std::string(name);
  f.kind = FieldKind::Label;
  f.caption = std::move(caption);
  return f;
}

}  // namespace

Form::Form() {
  // Plot parameters tab.
  Add(TextBox(kPlotTitle, ""));
  Add(TextBox(kFirstTrace, "1", kDigits));
  Add(TextBox(kLastTrace, "24", kDigits));
  Add(TextBox(kPlotWidthMm, "", kDigits));
  Add(TextBox(kProfileHeightMm, "", kDigits));
  Add(TextBox(kTimeToDrawMs, "", kDigits));
  Add(TextBox(kTimeLineSpacingMs, "", kDigits));
  Add(TextBox(kLeftMarginMm, "", kDigits));
  Add(TextBox(kSectionTopMm, "", kDigits));
  Add(TextBox(kLabelSpacing, "", kDigits));
  Add(TextBox(kPaperSize, ""));
  Add(TextBox(kTraceSizeFactor, "", kDecimal));
  Add(TextBox(kLeftOrientation, ""));
  Add(TextBox(kRightOrientation, ""));
  Add(TextBox(kFoldMaximum, "", kDigits));
  Add(TextBox(kSuFilePath, ""));
  Add(TextBox(kDatum, "", kDigits));
  Add(TextBox(kFoldTopMm, "", kDigits));
  Add(TextBox(kElevationTopMm, "", kDigits));
  Add(TextBox(kStaticsTopMm, "", kDigits));
  Add(TextBox(kVelocityModelFile, ""));
  Add(TextBox(kFirstLabel, "10", kDigits));
  Add(TextBox(kHistoryTopMm, " ", kDigits));
  Add(TextBox(kDiagramHeightMm, "", kDigits));
  Add(TextBox(kDiagramLineWidth, "", kDigits));
  Add(TextBox(kFoldFillColorBox, ""));
  Add(TextBox(kTopoLineColorBox, ""));
  Add(TextBox(kStaticLineColorBox, ""));
  Add(TextBox(kFoldLineColorBox, ""));
  Add(TextBox(kPrinterName, ""));
  Add(TextBox(kShownFileName, ""));
  Add(TextBox(kTraceSpacingM, "", kDecimal));
  Add(TextBox(kScaleDenominator, "", kDigits));
  Add(TextBox(kNoiseAmplitude, "0", kDecimal));

  Add(CheckBox(kEqualization, "Trace egalization", 1));
  Add(CheckBox(kFoldDrawing, "Fold drawing"));
  Add(CheckBox(kInverseTraces, "Inverse traces"));
  Add(CheckBox(kTopoDrawing, "Topo drawing"));
  Add(CheckBox(kTimeSection, "Time section (else depth section )"));
  Add(CheckBox(kDeadTraces, "Display Dead traces"));
  Add(CheckBox(kVelocityDrawing, "Velocity model"));
  Add(CheckBox(kPrintHistory, "Print history"));
  Add(CheckBox(kCdpNumbering, "CDP numbering"));
  Add(CheckBox(kStationNumbers, "Station number"));
  Add(CheckBox(kStaticsPanel, "Static pannel"));
  Add(CheckBox(kElevationDiagram, "Elevation diagram"));

  Add(ListBox(kDisplayType));
  Add(ListBox(kStationHeaderWord));
  Add(ListBox(kFontList));
  Field percent = ListBox(kZoomPercent);
  percent.items = {"25%", "50%", "75%", "100%", "150%", "200%", "400%"};
  Add(std::move(percent));
  Field zoom = ListBox(kZoomMode);
  zoom.items = {"Percentage", "Thumbnail", "TwoPages", "WholePage", "PageWidth", "Stretch"};
  Add(std::move(zoom));
  Add(LabelField(kEditorMenu, "Editor"));

  Add(LabelField(kLanguageCaption, "English"));
  Add(LabelField(kFirstLabelCaption, "1st label"));
  Add(LabelField(kHistoryCaption, ""));

  Field tab;
  tab.name = std::string(kTabs);
  tab.kind = FieldKind::Tab;
  tab.items = {"Plot parameters", "Virtual plot", "Tools"};
  Add(std::move(tab));

  // Buttons: clicks only.
  Add(LabelField(kDisplayButton, "OK  Display"));
  Add(LabelField(kLoadSuFileButton, "Load an SU file"));
  Add(LabelField(kHowToUseButton, "How to use Tavelo"));
  Add(LabelField(kVelocityModelButton, "Velocity model"));
  Add(LabelField(kPrintHistoryButton, "Print History"));
  Add(LabelField(kSaveAndExitButton, "OK, Save and EXIT"));
  Add(LabelField(kRecordWmfButton, "Save as WMF"));
  Add(LabelField(kCopyButton, "Copy to clipboard"));
  Add(LabelField(kGraphicsProgramButton, "Graphical program"));
  Add(LabelField(kPrintButton, "Print profile"));
  Add(LabelField(kPrinterSetupButton, "Printer Setup"));
  Add(LabelField(kPageSetupButton, "Page Setup"));
  Add(CheckBox(kPhysicalPage, "Physical Page", 1));
  Add(CheckBox(kShowGuides, "Show Guides"));

  // Menus and their entries: clicks and the enabled state.
  for (FieldName menu : {kUtilityMenu, kOpenFileItem, kSaveFileItem, kFindTextItem, kReplaceTextItem,
                         kEditorFontItem, kPrintTextItem, kTopoColorItem, kStaticColorItem,
                         kDiagramHeightItem, kDiagramLineWidthItem, kTopoLineWidthItem,
                         kFoldLineColorItem, kFoldFillColorItem, kAmplitudeColorsItem})
    Add(LabelField(menu, ""));

  // Palette on the Tools tab: 16 small boxes, three anchors, nine components.
  for (int k = kFirstPaletteField; k < kFirstComponentField; ++k) Add(TextBox(PaletteField(k), ""));
  for (int k = kFirstComponentField; k < kFirstPaletteField + static_cast<int>(kPaletteFields.size()); ++k)
    Add(TextBox(PaletteField(k), "0"));
}

void Form::Add(Field field) {
  std::string key = Lower(field.name);
  fields_[key] = std::move(field);
}

UnknownFieldHandler SetUnknownFieldHandler(UnknownFieldHandler handler) {
  UnknownFieldHandler previous = unknownFieldHandler;
  unknownFieldHandler = handler;
  return previous;
}

std::string FieldKey(std::string_view name) { return Lower(name); }

bool SameFieldName(std::string_view a, std::string_view b) { return Lower(a) == Lower(b); }

bool Form::Has(std::string_view name) const { return fields_.count(Lower(name)) != 0; }

const Field* Form::Find(std::string_view name) const {
  auto it = fields_.find(Lower(name));
  if (it != fields_.end()) return &it->second;
  if (unknownFieldHandler) unknownFieldHandler(name);
  return nullptr;
}

const Field& Form::Get(std::string_view name) const {
  const Field* f = Find(name);
  return f ? *f : unknown_;
}

Field* Form::Mutable(std::string_view name) { return const_cast<Field*>(Find(name)); }

std::vector<std::string> Form::Names() const {
  std::vector<std::string> names;
  names.reserve(fields_.size());
  for (const auto& [key, field] : fields_) names.push_back(field.name);
  return names;
}

const std::string& Form::Text(std::string_view name) const { return Get(name).text; }

void Form::SetText(std::string_view name, std::string text) {
  Field* field = Mutable(name);
  if (!field) return;
  Field& f = *field;
  if (f.text == text) return;
  f.text = std::move(text);
  std::string fieldName = f.name;
  Notify(f);
  Fire(fieldName, FieldEvent::Change);
}

double Form::Number(std::string_view name) const { return LeadingNumber(Text(name)); }

int Form::Value(std::string_view name) const { return Get(name).value; }

void Form::SetValue(std::string_view name, int value) {
  Field* field = Mutable(name);
  if (!field) return;
  Field& f = *field;
  if (f.value == value) return;
  f.value = value;
  std::string fieldName = f.name;
  Notify(f);
  Fire(fieldName, FieldEvent::Click);
}

int Form::ListIndex(std::string_view name) const { return Get(name).listIndex; }

void Form::SetListIndex(std::string_view name, int index) {
  Field* field = Mutable(name);
  if (!field) return;
  Field& f = *field;
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
  Field* field = Mutable(name);
  if (!field) return;
  Field& f = *field;
  f.items.push_back(std::move(item));
  Notify(f);
}

void Form::ClearItems(std::string_view name) {
  Field* field = Mutable(name);
  if (!field) return;
  Field& f = *field;
  f.items.clear();
  f.listIndex = -1;
  f.text.clear();
  Notify(f);
}

const std::string& Form::Caption(std::string_view name) const { return Get(name).caption; }

void Form::SetCaption(std::string_view name, std::string caption) {
  Field* field = Mutable(name);
  if (!field) return;
  Field& f = *field;
  if (f.caption == caption) return;
  f.caption = std::move(caption);
  Notify(f);
}

int32_t Form::BackColor(std::string_view name) const { return Get(name).backColor; }

void Form::SetBackColor(std::string_view name, int32_t color) {
  Field* field = Mutable(name);
  if (!field) return;
  Field& f = *field;
  if (f.backColor == color) return;
  f.backColor = color;
  Notify(f);
}

bool Form::Enabled(std::string_view name) const { return Get(name).enabled; }

void Form::SetEnabled(std::string_view name, bool enabled) {
  Field* field = Mutable(name);
  if (!field) return;
  Field& f = *field;
  if (f.enabled == enabled) return;
  f.enabled = enabled;
  Notify(f);
}

void Form::On(std::string_view name, FieldEvent event, Handler handler) {
  if (!Find(name)) return;  // a handler on no field would never run
  handlers_[{Lower(name), event}].push_back(std::move(handler));
}

void Form::Fire(std::string_view name, FieldEvent event) {
  if (!Find(name)) return;
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
