#include "program/handlers.h"

#include <cctype>
#include <cmath>

#include "common/numeric.h"
#include "program/palette_handlers.h"
#include "program/startup.h"

namespace tavelo {
namespace {

// "007" -> "7", "" -> "0": the whole-number text of the field's value.
void WholeNumberText(Form& form, const char* name) {
  if (auto v = ToInt32(form.Number(name))) form.SetText(name, IntegerText(*v));
}

// Traces in the chosen range, for the scale and plot-width rule.
std::optional<int32_t> RangeTraces(const Form& form) {
  return ToInt32(form.Number("Text3") - form.Number("Text2") + 1);
}

void TabChanged(ProgramState& state) {
  Form& form = state.form;
  const int tab = form.Value("SSTab1");
  form.SetEnabled("editeur", tab == 2);
  if (tab == 0 && !state.listsFilled) {
    state.listsFilled = true;
    form.ClearItems("combo1");
    for (const char* entry : kDisplayEntries) form.AddItem("combo1", entry);
    // Start on the saved display type so the saved choice is not lost.
    int start = 0;
    for (int i = 0; i < 6; ++i)
      if (state.settings.DisplayType == kDisplayWords[i]) start = i;
    form.SetListIndex("combo1", start);
    // The click handler sets DisplayType; run it also when the index stayed.
    state.settings.DisplayType = kDisplayWords[start];
    form.ClearItems("Combo2");
    for (const char* word : kStationWords) form.AddItem("Combo2", word);
    form.SetListIndex("Combo2", 0);
  }
}

}  // namespace

int NumericKeyFilter(int keyCode, std::string_view allowed, bool backspaceAllowed) {
  std::string set;
  if (backspaceAllowed) set.push_back('\b');
  for (char c : allowed) set.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
  if (keyCode <= 0 || keyCode > 255) return 0;
  const char typed = static_cast<char>(std::toupper(keyCode));
  return set.find(typed) != std::string::npos ? keyCode : 0;
}

int FilterFieldKey(ProgramState& state, std::string_view field, int keyCode) {
  Form& form = state.form;
  if (!form.Has(field)) return keyCode;
  if (form.Get(field).name == "Text11") {
    state.dialogs->MessageBox("You must correct paper size in the main TAVELO module",
                              msg::kInformation, kDefaultTitle);
    return 0;
  }
  const std::string& allowed = form.Get(field).allowedKeys;
  if (allowed.empty()) return keyCode;
  const int key = NumericKeyFilter(keyCode, allowed, true);
  if (key == 0) state.dialogs->Beep();
  return key;
}

void ShowTab(ProgramState& state, int index) {
  if (state.form.Value("SSTab1") == index)
    TabChanged(state);
  else
    state.form.SetValue("SSTab1", index);  // its click runs the rule
}

void AttachFieldHandlers(ProgramState& state) {
  Form& form = state.form;
  ProgramState* s = &state;
  auto on = [&form](const char* name, FieldEvent event, Form::Handler h) {
    form.On(name, event, std::move(h));
  };

  // Trace numbering.
  auto refresh = [s] { RefreshNumbering(s->su, s->form); };
  on("Text2", FieldEvent::Change, refresh);
  on("Text3", FieldEvent::Change, refresh);
  on("CDP", FieldEvent::Click, refresh);
  on("Inverse_trace", FieldEvent::Click, refresh);
  on("Text3", FieldEvent::KeyUp, [s] {
    if (s->form.Number("Text3") > s->su.TraceCount)
      s->form.SetText("Text3", SignedText(s->su.TraceCount));
  });

  // Whole-number fields.
  for (const char* name : {"Text5", "Text6", "Text7", "Text10"})
    on(name, FieldEvent::Change, [s, name] { WholeNumberText(s->form, name); });
  on("Text8", FieldEvent::Change, [s] {
    s->page.SetLeftMargin(s->form.Number("Text8") * kTwipsPerMm);
    WholeNumberText(s->form, "Text8");
  });

  on("Text13", FieldEvent::Change, [s] { s->settings.LeftOrientation = s->form.Text("Text13"); });
  on("Text14", FieldEvent::Change, [s] { s->settings.RightOrientation = s->form.Text("Text14"); });
  on("Text15", FieldEvent::Change, [s] {
    if (auto v = ToInt16(s->form.Number("Text15"))) s->settings.FoldMaximum = *v;
  });
  on("Text22", FieldEvent::Change, [s] {
    if (auto v = ToInt32(s->form.Number("Text22"))) s->settings.FirstLabel = *v;
  });
  on("Text24", FieldEvent::Change, [s] {
    const double tenth = RoundTo(s->form.Number("Text24") * kTwipsPerMm, 1);
    auto height = ToInt16(tenth);
    if (!height) return;
    if (*height < 1) {
      // The text first: its own change would otherwise overwrite the 800.
      s->form.SetText("Text24", "15");
      s->settings.DiagramHeight = 800;
    } else {
      s->settings.DiagramHeight = *height;
    }
  });
  on("Text25", FieldEvent::Change, [s] {
    if (auto v = ToInt16(s->form.Number("Text25"))) s->settings.DiagramLineWidth = *v;
  });

  // Display type and tabs.
  on("combo1", FieldEvent::Click, [s] {
    const int i = s->form.ListIndex("combo1");
    if (i >= 0 && i < 6) s->settings.DisplayType = kDisplayWords[i];
  });
  on("SSTab1", FieldEvent::Click, [s] { TabChanged(*s); });

  // Scale, trace spacing and plot width: plot width (mm) =
  // n * trace spacing * 1000 / PlotScale, recomputed on a double click.
  auto widthFromScale = [s] {
    Form& f = s->form;
    auto scale = ToInt32(f.Number("Text33"));
    if (!scale) return;
    s->settings.PlotScale = *scale;
    auto n = RangeTraces(f);
    if (!n || *scale == 0) return;
    if (auto width = ToInt32(*n * f.Number("Text32") * (1.0 / (*scale / 1000.0))))
      f.SetText("Text4", SignedText(*width));
  };
  on("Text32", FieldEvent::DoubleClick, widthFromScale);
  on("Text33", FieldEvent::DoubleClick, widthFromScale);
  on("Text4", FieldEvent::DoubleClick, [s] {
    Form& f = s->form;
    auto width = ToInt32(f.Number("Text4"));
    auto n = RangeTraces(f);
    if (!width || !n || *width == 0) return;
    if (auto scale = ToInt32(1000.0 * (*n * f.Number("Text32") / *width))) {
      s->settings.PlotScale = *scale;
      f.SetText("Text33", IntegerText(*scale));
    }
  });

  // The file choice: the describing read, then an empty preview.
  auto load = [s] {
    // A SEG-Y file without a history file brings its textual header along.
    // Not SEG-Y, or no textual header: the editor keeps its text.
    if (SelectSuFile(s->su, s->form, *s->dialogs)) (void)LoadSegyTextualHeader(*s);
    s->page.BeginDocument();
    s->page.DiscardDocument();
  };
  on("Command2", FieldEvent::Click, load);
  on("Text16", FieldEvent::DoubleClick, load);

  // A settings file that could not be written, or not read safely (and so
  // is left as it is), is said so: the user asked for the save.
  on("Command101", FieldEvent::Click, [s] {
    std::string error;
    if (!SaveSettings(s->settingsFiles, s->settings, s->form, &error))
      s->dialogs->MessageBox("The settings were not saved: " + error, msg::kExclamation, kDefaultTitle);
  });

  AttachPaletteHandlers(state);
}

}  // namespace tavelo
