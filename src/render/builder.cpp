#include "render/builder.h"

#include <cmath>
#include <new>

#include "common/numeric.h"
#include "overlays/elevation.h"
#include "overlays/fold.h"
#include "overlays/statics.h"
#include "overlays/topo.h"
#include "overlays/velocity.h"
#include "program/handlers.h"
#include "render/labels.h"
#include "render/time_lines.h"
#include "render/traces.h"
#include "render/title.h"
#include "settings/form_fields.h"

namespace tavelo {

std::string AxisCaption(const std::string& code, bool timeSection, int32_t datum) {
  struct Captions {
    const char* code;
    const char* time;
    const char* depth;
    const char* elevation;
  };
  static constexpr Captions kCaptions[] = {
      {"F", "Temps double (ms)", "Profondeur (m)", "Altitude (m)"},
      {"E", "Time x 2 (ms)", "Depth (m)", "Elevation (m)"},
      {"S", "Tiempo x 2 (ms)", "Profundidad (m)", "Altitud (m)"},
      {"I", "Tempo x 2 (ms)", "Profondità (m)", "Altitudine (m)"},
      {"G", "Zeit x 2 (ms)", "Tiefe (m)", "Höhe (m)"},
  };
  for (const Captions& c : kCaptions) {
    if (code != c.code) continue;
    if (timeSection) return c.time;
    return datum != 0 ? c.elevation : c.depth;
  }
  return {};
}

namespace {

// Asks for a size while the field reads 0; the answer is written back.
double AskSize(ProgramState& state, FieldName field, const char* prompt, const char* def) {
  double value = state.form.Number(field);
  while (value == 0) {
    value = LeadingNumber(state.dialogs->InputBox(prompt, kDefaultTitle, def));
    state.form.SetText(field, DecimalText(value));
  }
  return value;
}

void ComputeLayout(ProgramState& state, double widthMm, double heightMm) {
  PlotLayout& l = state.layout;
  const Form& form = state.form;
  const SuTraceFile& su = state.su;
  const PageDocument& page = state.page;

  AssignIfFits(l.SectionWidth, widthMm * kTwipsPerMm);
  AssignIfFits(l.SectionHeight, heightMm * kTwipsPerMm);
  if (auto v = ToInt32(form.Number(kSectionTopMm) * kTwipsPerMm + page.TopMargin())) l.SectionTop = *v;
  l.TimeToDraw = form.Number(kTimeToDrawMs);
  l.TimeLineSpacing = form.Number(kTimeLineSpacingMs);
  l.LabelSpacing = form.Number(kLabelSpacing);
  if (auto v = ToInt32(form.Number(kLastTrace))) l.LastTrace = *v;
  if (auto v = ToInt32(form.Number(kFirstTrace))) l.FirstTrace = *v;
  if (su.SampleInterval != 0) {
    const double samples = std::floor(l.TimeToDraw / su.SampleInterval * 1000.0);
    if (auto v = ToInt32(samples)) l.SamplesToDraw = std::min(*v, su.SamplesPerTrace);
  }
  const double columns = static_cast<double>(l.LastTrace) - l.FirstTrace + 1;
  if (columns != 0) l.TraceSpacing = l.SectionWidth / columns;
  l.MaxExcursion = static_cast<float>(l.TraceSpacing / 1.6);

  // The saved settings are those of the last page built.
  state.settings.TimeToDraw = l.TimeToDraw;
  state.settings.TimeLineSpacing = l.TimeLineSpacing;
  state.settings.LabelSpacing = l.LabelSpacing;
  state.settings.TraceSizeFactor = l.TraceSizeFactor;
}

// Why the section would stay blank, or empty when there is something to draw.
std::string EmptySectionReason(const ProgramState& state) {
  const PlotLayout& l = state.layout;
  const SuTraceFile& su = state.su;
  if (l.LastTrace < l.FirstTrace)
    return "the last trace (" + IntegerText(l.LastTrace) + ") is before the first (" +
           IntegerText(l.FirstTrace) + ")";
  if (l.LastTrace < 1 || (su.TraceCount > 0 && l.FirstTrace > su.TraceCount))
    return "the traces " + IntegerText(l.FirstTrace) + " to " + IntegerText(l.LastTrace) +
           " are not in the file, which holds " + IntegerText(su.TraceCount);
  if (su.SamplesPerTrace <= 0) return "the file's traces have no samples (ns " + IntegerText(su.SamplesPerTrace) + ")";
  if (su.SampleInterval <= 0)
    return "the sample interval is " + IntegerText(su.SampleInterval) + " microseconds";
  if (l.SamplesToDraw <= 0)
    return "the total time to draw (" + DecimalText(l.TimeToDraw) + " ms) holds no sample";
  return {};
}

}  // namespace

void DoDocument(ProgramState& state) {
  Form& form = state.form;
  PageDocument& page = state.page;
  PlotLayout& layout = state.layout;

  if (form.ListIndex(kDisplayType) < 0 && !form.Items(kDisplayType).empty()) form.SetListIndex(kDisplayType, 0);
  state.drawingMode = form.ListIndex(kDisplayType);
  page.SetPenColor(0);
  page.SetBrushStyle(0);
  page.SetBrushColor(16777215);
  if (state.su.ActiveFilePath.empty()) return;

  layout.TraceSizeFactor = form.Number(kTraceSizeFactor);
  if (layout.TraceSizeFactor == 0) layout.TraceSizeFactor = 1;
  const double pageWidthMm = RoundHalfEven(page.PageWidth() / kTwipsPerMm);

  const double widthMm = AskSize(state, kPlotWidthMm, "Enter a plot width  value (mm)", "200");
  const double heightMm = AskSize(state, kProfileHeightMm, "Enter a plot height  value (mm)", "100");
  ComputeLayout(state, widthMm, heightMm);
  if (widthMm + 20 > pageWidthMm)
    state.dialogs->MessageBox(" Your plot width is too large, correct size page or profile width",
                              msg::kCritical, kDefaultTitle);
  // A section that would come out blank says why, once.
  if (const std::string reason = EmptySectionReason(state); !reason.empty())
    state.dialogs->MessageBox("Nothing is drawn in the section: " + reason, msg::kExclamation,
                              kDefaultTitle);

  // Marks the build as running for the window, also when a question stops it.
  struct BuildingFlag {
    bool& flag;
    explicit BuildingFlag(bool& f) : flag(f) { flag = true; }
    ~BuildingFlag() { flag = false; }
  } building(state.building);
  page.BeginDocument();
  page.SetBrushStyle(1);

  const double left = page.LeftMargin();
  const double top = layout.SectionTop;
  const double right = left + layout.SectionWidth;
  const double bottom = top + layout.SectionHeight;
  const double frame[] = {left, top, right, top, right, bottom, left, bottom};
  page.DrawPolygon(std::span<const double>(frame));

  // Step 11: trace labels.
  Affichage_Label(state);
  // Step 12: title.
  DrawTitle(state);
  // Step 13: orientation texts.
  DrawOrientationTexts(state);
  // Step 14: diagrams, each when its box is checked: fold, topography,
  // elevation, statics, velocity model.
  if (form.Checked(kFoldDrawing)) Affichage_Fold(state);
  if (form.Checked(kTopoDrawing)) Affichage_topo(state);
  if (form.Checked(kElevationDiagram)) Affichage_Alti(state);
  if (form.Checked(kStaticsPanel)) Affichage_static(state);
  if (form.Checked(kVelocityDrawing)) Affichage_model_vitesse(state);

  // Step 15: axis caption.
  const auto datum = ToInt32(form.Number(kDatum)).value_or(0);
  page.SetTextX(left);
  page.SetTextY(bottom + 100);
  page.SetFontSize(12);
  page.DrawText(AxisCaption(state.settings.LanguageCode, form.Checked(kTimeSection), datum));

  // Step 16: time or depth lines.
  Affichage_line_Temps(state);
  // Step 17: the trace pass.
  DrawTraces(state);
  // Step 18: the history block, when "Print history" is checked.
  if (form.Checked(kPrintHistory)) DrawHistoryBlock(state);

  page.EndDocument();
}

bool BuildPageSafely(ProgramState& state, std::string* failure) {
  try {
    DoDocument(state);
    return true;
  } catch (const std::bad_alloc&) {
    // The half-built page goes, and with it the memory it held.
    state.page.DiscardDocument();
    const PlotLayout& l = state.layout;
    const int64_t traces = static_cast<int64_t>(l.LastTrace) - l.FirstTrace + 1;
    if (failure)
      *failure = "not enough memory to build this page (" + IntegerText(traces) + " traces \u00D7 " +
                 IntegerText(l.SamplesToDraw) + " samples)";
    return false;
  }
}

void AttachBuildCommands(ProgramState& state) {
  ProgramState* s = &state;
  state.form.On(kDisplayButton, FieldEvent::Click, [s] {
    if (s->building) return;
    std::string failure;
    if (!BuildPageSafely(*s, &failure)) s->dialogs->MessageBox(failure, msg::kCritical, kDefaultTitle);
    ShowTab(*s, 1);
  });
}

}  // namespace tavelo
