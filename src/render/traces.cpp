#include "render/traces.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <optional>
#include <vector>

#include "common/numeric.h"
#include "data/su_reader.h"
#include "settings/form_fields.h"
#include "settings/palette.h"

namespace tavelo {
namespace {

constexpr Color kBlack = 0;
constexpr Color kWhite = 16777215;
// Offset of the white shadow of the colour-with-wiggle type (twips).
constexpr int32_t kShadowOffset = 15;
// Growth of the static-shift taper per drawn sample: 40 samples fade in.
constexpr double kTaperStep = 0.025;

// Everything a build reads once, and the trace being drawn.
struct TracePass {
  explicit TracePass(ProgramState& s) : state(s), page(s.page), layout(s.layout) {}

  ProgramState& state;
  PageDocument& page;
  PlotLayout& layout;
  std::optional<SuReader> reader;
  int64_t traceBytes = 0;
  int64_t tracesInFile = 0;  // traces whose whole header lies in the file
  std::vector<float> samples;  // TraceSamples: samples[j - 1] holds sample j

  double left = 0;
  double top = 0;
  double sampleHeight = 0;    // SampleHeight
  double amplitudeScale = 0;  // AmplitudeScale: twips per amplitude unit
  int32_t lastSample = 0;     // SamplesToDraw, never past the trace
  int64_t columns = 0;
  bool topo = false;
  bool inverse = false;

  // Per column.
  int64_t column = 0;
  int32_t x0 = 0;
  int32_t firstSample = 1;  // FirstSampleDrawn
  double taperStart = 1;

  // Reads trace n (from 1); non-finite samples become 0. False when its
  // header does not lie in the file.
  bool ReadTrace(int64_t n) {
    if (!reader || n < 1 || n > tracesInFile) return false;
    // A trace cut short by the end of the file keeps what it has; the rest is 0.
    (void)reader->ReadSamples(n - 1, traceBytes, samples);
    for (float& v : samples)
      if (!std::isfinite(v)) v = 0;
    return true;
  }

  double Sample(int32_t j) const { return samples[static_cast<size_t>(j - 1)]; }

  int32_t SampleY(int32_t j) const {
    return ToInt32(top + sampleHeight * j).value_or(static_cast<int32_t>(top));
  }

  // The taper in the wiggle and lobe loops: fades the first 40 samples of a
  // shifted trace in.
  void GrowTaper(double& taper) const {
    if (topo && taper < 1) taper += kTaperStep;
  }

  void DrawWiggleAndLobes(bool withWiggle);
  void DrawWiggle();
  void DrawCells();
  void DrawDoubleWiggle();
};

// Wiggle with positive lobes (index 0), or the lobes alone (index 2).
void TracePass::DrawWiggleAndLobes(bool withWiggle) {
  page.SetPenWidth(0);
  page.SetPenColor(kBlack);
  if (withWiggle && firstSample != 1)
    page.DrawLine(x0, top, x0, top + sampleHeight * firstSample);

  const bool limitLeft = withWiggle && !inverse && column < 5;
  const bool limitRight = withWiggle && inverse && columns - 1 - column < 5;
  const double leftLimit = RoundHalfEven(left);
  const double rightLimit = RoundHalfEven(left + layout.SectionWidth);

  std::vector<float> wiggle;
  std::vector<float> lobe;
  if (withWiggle) wiggle.reserve(2 * static_cast<size_t>(std::max(lastSample - firstSample, 0)));
  bool lobeOpen = false;
  double taper = taperStart;
  int32_t x = x0;
  int32_t yPrev = SampleY(firstSample - 1);  // carried from sample to sample
  for (int32_t j = firstSample; j <= lastSample - 1; ++j) {
    GrowTaper(taper);
    const int32_t y = SampleY(j);
    // A deflection beyond 32 bits keeps the previous x.
    AssignIfFits(x, x0 + taper * amplitudeScale * Sample(j));
    if (limitLeft && x < left) x = static_cast<int32_t>(leftLimit);
    if (limitRight && x > left + layout.SectionWidth) x = static_cast<int32_t>(rightLimit);
    if (withWiggle) {
      wiggle.push_back(static_cast<float>(x));
      wiggle.push_back(static_cast<float>(y));
    }
    const auto yMid = static_cast<float>(RoundHalfEven((static_cast<double>(y) + yPrev) / 2));
    yPrev = y;
    if (Sample(j) > 0) {
      if (j == 1) {
        // A positive first sample opens the lobe on itself: it is listed twice.
        lobe.assign({static_cast<float>(x), static_cast<float>(y)});
        lobeOpen = true;
      }
      if (lobeOpen) {
        lobe.push_back(static_cast<float>(x));
        lobe.push_back(static_cast<float>(y));
      } else {
        lobe.insert(lobe.end(), {static_cast<float>(x0), yMid, static_cast<float>(x),
                                 static_cast<float>(y)});
        lobeOpen = true;
      }
    } else if (lobeOpen) {
      lobe.push_back(static_cast<float>(x0));
      lobe.push_back(yMid);
      if (!withWiggle) {
        page.SetBrushStyle(0);
        page.SetBrushColor(kBlack);
      }
      page.DrawPolygon(std::span<const float>(lobe));
      lobe.clear();
      lobeOpen = false;
    }
  }
  // A lobe still open at the last sample is not drawn.
  if (withWiggle) page.DrawPolyline(std::span<const float>(wiggle));
}

// Index 1: the wiggle alone, with the pen width the earlier drawing left.
void TracePass::DrawWiggle() {
  std::vector<float> wiggle;
  wiggle.reserve(2 * static_cast<size_t>(std::max(lastSample - firstSample + 1, 0)));
  double taper = taperStart;
  int32_t x = x0;
  for (int32_t j = firstSample; j <= lastSample; ++j) {
    GrowTaper(taper);
    AssignIfFits(x, x0 + taper * amplitudeScale * Sample(j));
    wiggle.push_back(static_cast<float>(x));
    wiggle.push_back(static_cast<float>(SampleY(j)));
  }
  page.DrawPolyline(std::span<const float>(wiggle));
}

// Indexes 3 and 4 (and the cells of 5): one cell per sample, one column
// wide and one sample high, centred on the sample; recorded as one column.
void TracePass::DrawCells() {
  page.SetPenWidth(sampleHeight);
  std::vector<Color> colours;
  colours.reserve(static_cast<size_t>(std::max(lastSample - firstSample + 1, 0)));
  PlotSettings& settings = state.settings;
  // The bands are MaxAmplitude * k / 8 in sample units and the routine
  // multiplies what it gets by 10: it is handed sample * TraceSizeFactor / 10,
  // so the proposed maximum spans the section's amplitudes and a larger
  // trace size factor (or a smaller answered maximum) saturates more.
  const double cellFactor = layout.TraceSizeFactor / 10.0;
  for (int32_t j = firstSample; j <= lastSample; ++j) {
    double amplitude = Sample(j) * cellFactor;
    int32_t colour = kBlack;
    Recherche_couleur(amplitude, colour, state.palette, settings.DisplayType, layout.MaxAmplitude);
    colours.push_back(colour);
  }
  const double spacing = layout.TraceSpacing;
  page.DrawCells(x0 - spacing / 2, top + (firstSample - 0.5) * sampleHeight, spacing, sampleHeight,
                 colours);
  page.SetPenColor(kBlack);
  page.SetPenWidth(0);
}

// Index 5: colour cells, then a white wiggle 15 twips right of a black
// one, both at twice the deflection of the other types.
void TracePass::DrawDoubleWiggle() {
  state.settings.DisplayType = "color";
  DrawCells();
  std::vector<float> wiggle;
  wiggle.reserve(2 * static_cast<size_t>(std::max(lastSample - firstSample + 1, 0)));
  for (int32_t offset : {kShadowOffset, 0}) {
    page.SetPenColor(offset != 0 ? kWhite : kBlack);
    page.SetPenWidth(0);
    wiggle.clear();
    double taper = taperStart;
    int32_t x = x0;
    for (int32_t j = firstSample; j <= lastSample; ++j) {
      GrowTaper(taper);
      AssignIfFits(x, x0 + 2 * taper * amplitudeScale * Sample(j));
      wiggle.push_back(static_cast<float>(static_cast<int64_t>(x) + offset));
      wiggle.push_back(static_cast<float>(SampleY(j)));
    }
    page.DrawPolyline(std::span<const float>(wiggle));
  }
}

// First value of first, first + 3, first + 6 ... that is at least `from`.
int64_t FirstStepAtLeast(int64_t first, int64_t from, int64_t step) {
  if (first >= from) return first;
  return first + (from - first + step - 1) / step * step;
}

// The largest positive sample of the traces of the range, every sample
// counted; 0 when there is none.
float FullScanMaximum(TracePass& pass, int64_t last) {
  float maximum = 0;
  for (int64_t n = std::max<int64_t>(pass.layout.FirstTrace, 1); n <= last; ++n) {
    if (!pass.ReadTrace(n)) continue;
    for (float v : pass.samples) maximum = std::max(maximum, v);
  }
  return maximum;
}

// The maximum amplitude from every third trace and every third sample;
// only positive samples count, dead traces too, no noise clipping.
float ScanMaxAmplitude(TracePass& pass) {
  const PlotLayout& layout = pass.layout;
  const int64_t last = std::min<int64_t>(layout.LastTrace, pass.tracesInFile);
  float maximum = 0;
  for (int64_t n = FirstStepAtLeast(layout.FirstTrace, 1, 3); n <= last; n += 3) {
    if (!pass.ReadTrace(n)) continue;  // a trace past the file adds nothing
    for (size_t i = 0; i < pass.samples.size(); i += 3) maximum = std::max(maximum, pass.samples[i]);
  }
  // Isolated spikes (a test pattern, a sparse section) can all miss the
  // sparse grid; a maximum of 0 would scale them by a million. Only then
  // every sample of every trace of the range is looked at.
  if (maximum == 0) maximum = FullScanMaximum(pass, last);
  return maximum;
}

// The colour types ask for the maximum, proposing the scanned one rounded
// (to a whole number above 1, else to three decimals). An answer that is
// not a plain number, or 0, takes the proposal; one beyond float keeps the
// scanned maximum.
void AskMaxAmplitude(ProgramState& state) {
  PlotLayout& layout = state.layout;
  const double scanned = layout.MaxAmplitude;
  const double proposal = scanned > 1 ? RoundHalfEven(scanned) : RoundTo(scanned, 3);
  const std::string answer =
      state.dialogs->InputBox("Maximale Amplitude", kDefaultTitle, SignedText(proposal));
  const double value = LeadingNumber(answer);
  if (!IsPlainNumber(answer) || value == 0)
    layout.MaxAmplitude = static_cast<float>(proposal);
  else if (std::fabs(value) <= FLT_MAX)
    layout.MaxAmplitude = static_cast<float>(value);
}

}  // namespace

// Affichage_traces.
void DrawTraces(ProgramState& state) {
  PlotSettings& settings = state.settings;
  const SuTraceFile& su = state.su;
  const Form& form = state.form;
  if (settings.DisplayType.empty()) settings.DisplayType = "normal";

  TracePass pass(state);
  PlotLayout& layout = state.layout;
  PageDocument& page = state.page;

  // Set-up: the file is opened once for the whole pass.
  pass.reader = SuReader::Open(su.ActiveFilePath);
  pass.traceBytes = su.TraceBytes();
  pass.samples.assign(static_cast<size_t>(std::max(su.SamplesPerTrace, 0)), 0.0f);
  if (pass.reader && pass.traceBytes > 0 && pass.reader->Length() >= su::kHeaderBytes)
    pass.tracesInFile = (pass.reader->Length() - su::kHeaderBytes) / pass.traceBytes + 1;
  pass.columns = layout.ColumnCount();
  if (layout.SamplesToDraw != 0)
    pass.sampleHeight = static_cast<double>(layout.SectionHeight) / layout.SamplesToDraw;
  if (settings.DisplayType == "color") Lecture_INI_Couleur(state.settingsFiles.korvane, state.palette);
  page.SetBrushStyle(0);
  page.SetBrushColor(kBlack);
  page.SetPenColor(kBlack);

  layout.MaxAmplitude = pass.columns > 0 ? ScanMaxAmplitude(pass) : 0;
  const int mode = state.drawingMode;
  if (mode >= 3 && mode <= 5) AskMaxAmplitude(state);
  const double scale = static_cast<double>(layout.MaxExcursion) /
                       (static_cast<double>(layout.MaxAmplitude) + 0.000001) *
                       layout.TraceSizeFactor;
  if (std::isfinite(scale)) pass.amplitudeScale = scale;

  pass.left = page.LeftMargin();
  pass.top = layout.SectionTop;
  pass.lastSample = std::min(layout.SamplesToDraw, su.SamplesPerTrace);
  pass.topo = form.Checked(kTopoDrawing);
  pass.inverse = form.Checked(kInverseTraces);
  const bool showDead = form.Checked(kDeadTraces);
  // Noise clipping: an empty field reads 0, which clips nothing.
  const double noise = form.Number(kNoiseAmplitude);

  // Only columns whose trace lies in the file can show anything; the others
  // stay empty, so a range far beyond the file costs nothing.
  int64_t kBegin = 0;
  int64_t kEnd = pass.columns - 1;
  if (pass.inverse) {
    kBegin = std::max<int64_t>(kBegin, layout.LastTrace - pass.tracesInFile);
    kEnd = std::min<int64_t>(kEnd, static_cast<int64_t>(layout.LastTrace) - 1);
  } else {
    kBegin = std::max<int64_t>(kBegin, 1 - static_cast<int64_t>(layout.FirstTrace));
    kEnd = std::min<int64_t>(kEnd, pass.tracesInFile - layout.FirstTrace);
  }

  int32_t firstSampleDrawn = 1;
  for (int64_t k = kBegin; k <= kEnd; ++k) {
    if (state.processEvents) state.processEvents();
    if (state.progress) state.progress(k + 1, pass.columns);
    pass.column = k;
    const auto x0 = ToInt32(layout.ColumnCentre(pass.left, k));
    if (!x0) continue;
    pass.x0 = *x0;
    const int64_t n = layout.TraceInColumn(k, pass.inverse);
    const int64_t index = n - 1;
    const int32_t dt = pass.reader->ReadHeaderInt(index, pass.traceBytes, su::kDt).value_or(0);
    const int32_t tstat =
        pass.reader->ReadHeaderInt(index, pass.traceBytes, su::kTstat).value_or(0);
    const int32_t trid = pass.reader->ReadHeaderInt(index, pass.traceBytes, su::kTrid).value_or(0);
    if (!showDead && trid > 1 && dt > 0) continue;  // dead trace: the column stays empty
    if (!pass.ReadTrace(n)) continue;
    if (noise != 0)
      for (float& v : pass.samples)
        if (std::fabs(static_cast<double>(v)) < noise) v = 0;

    if (pass.topo && tstat != 0) {
      // A shift that cannot be worked out keeps the last trace's.
      AssignIfFits<int16_t>(firstSampleDrawn, tstat / (su.SampleInterval / 1000.0));
      pass.taperStart = 0;
    } else {
      firstSampleDrawn = 1;
      pass.taperStart = 1;
    }
    // A negative static starts the trace at its first sample.
    pass.firstSample = std::max<int32_t>(firstSampleDrawn, 1);

    switch (mode) {
      case 0: pass.DrawWiggleAndLobes(true); break;
      case 1: pass.DrawWiggle(); break;
      case 2: pass.DrawWiggleAndLobes(false); break;
      case 3:
      case 4: pass.DrawCells(); break;
      case 5: pass.DrawDoubleWiggle(); break;
      default: break;
    }
  }
}

}  // namespace tavelo
