#include "program/handlers.h"

#include <cctype>
#include <cmath>

#include "common/numeric.h"
#include "program/startup.h"
#include "program/su_file_fields.h"
#include "settings/form_fields.h"

namespace tavelo {
namespace {

// "007" -> "7", "" -> "0": the whole-number text of the field's value.
void WholeNumberText(Form& form, FieldName name) {
  if (auto v = ToInt32(form.Number(name))) form.SetText(name, IntegerText(*v));
}

// Traces in the chosen range, for the scale and plot-width rule.
std::optional<int32_t> RangeTraces(const Form& form) {
  return ToInt32(form.Number(kLastTrace) - form.Number(kFirstTrace) + 1);
}

void TabChanged(ProgramState& state) {
  Form& form = state.form;
  const int tab = form.Value(kTabs);
  form.SetEnabled(kEditorMenu, tab == 2);
  if (tab == 0 && !state.listsFilled) {
    state.listsFilled = true;
    form.ClearItems(kDisplayType);
    for (const char* entry : kDisplayEntries) form.AddItem(kDisplayType, entry);
    // Start on the saved display type so the saved choice is not lost.
    int start = 0;
    for (int i = 0; i < 6; ++i)
      if (state.settings.DisplayType == kDisplayWords[i]) start = i;
    form.SetListIndex(kDisplayType, start);
    // The click handler sets DisplayType; run it also when the index stayed.
    state.settings.DisplayType = kDisplayWords[start];
    form.ClearItems(kStationHeaderWord);
    for (const char* word : kStationWords) form.AddItem(kStationHeaderWord, word);
    form.SetListIndex(kStationHeaderWord, 0);
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
  if (form.Get(field).name == kPaperSize) {
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
  if (state.form.Value(kTabs) == index)
    TabChanged(state);
  else
    state.form.SetValue(kTabs, index);  // its click runs the rule
}

void AttachFieldHandlers(ProgramState& state) {
  Form& form = state.form;
  ProgramState* s = &state;
  auto on = [&form](FieldName name, FieldEvent event, Form::Handler h) {
    form.On(name, event, std::move(h));
  };

  // Trace numbering.
  auto refresh = [s] { RefreshNumbering(s->su, s->form); };
  on(kFirstTrace, FieldEvent::Change, refresh);
  on(kLastTrace, FieldEvent::Change, refresh);
  on(kCdpNumbering, FieldEvent::Click, refresh);
  on(kInverseTraces, FieldEvent::Click, refresh);
  on(kLastTrace, FieldEvent::KeyUp, [s] {
    if (s->form.Number(kLastTrace) > s->su.TraceCount)
      s->form.SetText(kLastTrace, SignedText(s->su.TraceCount));
  });

  // Whole-number fields.
  for (FieldName name : {kProfileHeightMm, kTimeToDrawMs, kTimeLineSpacingMs, kLabelSpacing})
    on(name, FieldEvent::Change, [s, name] { WholeNumberText(s->form, name); });
  on(kLeftMarginMm, FieldEvent::Change, [s] {
    s->page.SetLeftMargin(s->form.Number(kLeftMarginMm) * kTwipsPerMm);
    WholeNumberText(s->form, kLeftMarginMm);
  });

  on(kLeftOrientation, FieldEvent::Change, [s] { s->settings.LeftOrientation = s->form.Text(kLeftOrientation); });
  on(kRightOrientation, FieldEvent::Change, [s] { s->settings.RightOrientation = s->form.Text(kRightOrientation); });
  on(kFoldMaximum, FieldEvent::Change, [s] {
    if (auto v = ToInt16(s->form.Number(kFoldMaximum))) s->settings.FoldMaximum = *v;
  });
  on(kFirstLabel, FieldEvent::Change, [s] {
    if (auto v = ToInt32(s->form.Number(kFirstLabel))) s->settings.FirstLabel = *v;
  });
  on(kDiagramHeightMm, FieldEvent::Change, [s] {
    const double tenth = RoundTo(s->form.Number(kDiagramHeightMm) * kTwipsPerMm, 1);
    auto height = ToInt16(tenth);
    if (!height) return;
    if (*height < 1) {
      // The text first: its own change would otherwise overwrite the 800.
      s->form.SetText(kDiagramHeightMm, "15");
      s->settings.DiagramHeight = 800;
    } else {
      s->settings.DiagramHeight = *height;
    }
  });
  on(kDiagramLineWidth, FieldEvent::Change, [s] {
    if (auto v = ToInt16(s->form.Number(kDiagramLineWidth))) s->settings.DiagramLineWidth = *v;
  });

  // Display type and tabs.
  on(kDisplayType, FieldEvent::Click, [s] {
    const int i = s->form.ListIndex(kDisplayType);
    if (i >= 0 && i < 6) s->settings.DisplayType = kDisplayWords[i];
  });
  on(kTabs, FieldEvent::Click, [s] { TabChanged(*s); });

  // Scale, trace spacing and plot width: plot width (mm) =
  // n * trace spacing * 1000 / PlotScale, recomputed on a double click.
  auto widthFromScale = [s] {
    Form& f = s->form;
    auto scale = ToInt32(f.Number(kScaleDenominator));
    if (!scale) return;
    s->settings.PlotScale = *scale;
    auto n = RangeTraces(f);
    if (!n || *scale == 0) return;
    if (auto width = ToInt32(*n * f.Number(kTraceSpacingM) * (1.0 / (*scale / 1000.0))))
      f.SetText(kPlotWidthMm, SignedText(*width));
  };
  on(kTraceSpacingM, FieldEvent::DoubleClick, widthFromScale);
  on(kScaleDenominator, FieldEvent::DoubleClick, widthFromScale);
  on(kPlotWidthMm, FieldEvent::DoubleClick, [s] {
    Form& f = s->form;
    auto width = ToInt32(f.Number(kPlotWidthMm));
    auto n = RangeTraces(f);
    if (!width || !n || *width == 0) return;
    if (auto scale = ToInt32(1000.0 * (*n * f.Number(kTraceSpacingM) / *width))) {
      s->settings.PlotScale = *scale;
      f.SetText(kScaleDenominator, IntegerText(*scale));
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
  on(kLoadSuFileButton, FieldEvent::Click, load);
  on(kSuFilePath, FieldEvent::DoubleClick, load);

  // A settings file that could not be written, or not read safely (and so
  // is left as it is), is said so: the user asked for the save.
  on(kSaveAndExitButton, FieldEvent::Click, [s] {
    std::string error;
    if (!SaveSettings(s->settingsFiles, s->settings, s->form, &error))
      s->dialogs->MessageBox("The settings were not saved: " + error, msg::kExclamation, kDefaultTitle);
  });

}

}  // namespace tavelo
