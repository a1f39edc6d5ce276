// The trace pass: the six display types on a ten-trace file, the maximum
// amplitude and its question, dead traces, noise clipping, static shifts,
// reversed order, and files that do not hold what the range asks for.
//
// The ten-trace files have 20 samples at 4 ms, so with the start-up
// defaults: left margin 1417.5, SectionTop 1553, TraceSpacing 198.4,
// MaxExcursion 124, SampleHeight 99.2; column k's zero line is at
// 1516.7 + 198.4 k, rounded (1517, 1715, ...).

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <set>

#include "common/numeric.h"
#include "settings/form_fields.h"
#include "settings/palette.h"
#include "support/page_ops.h"
#include "support/program_fixture.h"
#include "support/su_writer.h"

namespace tavelo {
namespace {

using test::OfKind;
using test::ProgramFixture;

constexpr double kTop = 1553;
constexpr double kSampleHeight = 99.2;

int32_t X0(int k) { return static_cast<int32_t>(RoundHalfEven(1516.7 + 198.4 * k)); }
float SampleY(int j) { return static_cast<float>(RoundHalfEven(kTop + kSampleHeight * j)); }

// One drawing operation of the pass with the pen and brush it used.
struct Drawn {
  OpKind kind = OpKind::Polyline;
  PenState pen;
  BrushState brush;
  std::vector<float> xy;        // polyline, polygon
  std::vector<Color> colours;   // cells
  double x = 0, y = 0, w = 0, h = 0;
  float X(size_t i) const { return xy[2 * i]; }
  float Y(size_t i) const { return xy[2 * i + 1]; }
  size_t Points() const { return xy.size() / 2; }
};

// The pass draws after every text of the page (the axis caption and the
// time lines' values come first; no history here): its polylines, polygons
// and cells are the drawing operations that follow the last text.
std::vector<Drawn> TraceOps(const PageDocument& page) {
  const std::vector<PageOp> ops = CollectOps(page);
  size_t start = 0;
  for (size_t i = 0; i < ops.size(); ++i)
    if (ops[i].kind == OpKind::Text) start = i + 1;
  PenState pen;
  BrushState brush;
  std::vector<Drawn> out;
  for (size_t i = 0; i < ops.size(); ++i) {
    const PageOp& op = ops[i];
    if (op.kind == OpKind::Pen) pen = page.pens()[op.index];
    if (op.kind == OpKind::Brush) brush = page.brushes()[op.index];
    if (i < start) continue;
    if (op.kind != OpKind::Polyline && op.kind != OpKind::Polygon && op.kind != OpKind::Cells)
      continue;
    Drawn d;
    d.kind = op.kind;
    d.pen = pen;
    d.brush = brush;
    if (op.kind == OpKind::Cells) {
      d.colours = page.CellColorsOf(op);
      d.x = op.x, d.y = op.y, d.w = op.x2, d.h = op.y2;
    } else {
      d.xy = page.PointsOf(op);
    }
    out.push_back(std::move(d));
  }
  return out;
}

std::string WriteTraces(const std::vector<test::SuTrace>& traces) {
  const std::string path = test::TempFile("traces.su");
  EXPECT_TRUE(test::WriteSuFile(path, traces));
  return path;
}

// Sample j (from 1) of every trace: -2, -1, 0, 1, 2, -2, ... The scanned
// samples 1, 4, 7 ... hold at most 2, so MaxAmplitude is 2 and a sample of
// 1 deflects 62 twips (124 / 2.000001, rounded).
float Saw(int sample, int) { return static_cast<float>(sample % 5 - 2); }

struct Section {
  ProgramFixture p;
  explicit Section(const std::vector<test::SuTrace>& traces) { p.Start(WriteTraces(traces)); }
  explicit Section(const test::SampleFunction& fn = Saw)
      : Section(test::MakeTraces(10, 20, 4000, fn)) {}
  std::vector<Drawn> Build(int displayIndex) {
    p.form().SetListIndex(kDisplayType, displayIndex);
    DoDocument(p.state);
    return TraceOps(p.state.page);
  }
  Form& form() { return p.form(); }
};

TEST(TracePass, WiggleIsOnePolylinePerTrace) {
  Section s;
  s.p.dialogs.asked.clear();
  const auto ops = s.Build(1);
  EXPECT_FLOAT_EQ(s.p.state.layout.MaxAmplitude, 2);
  ASSERT_EQ(ops.size(), 10u);
  for (int k = 0; k < 10; ++k) {
    const Drawn& d = ops[static_cast<size_t>(k)];
    ASSERT_EQ(d.kind, OpKind::Polyline);
    ASSERT_EQ(d.Points(), 20u);  // samples 1 to SamplesToDraw
    EXPECT_EQ(d.pen.color, 0);
    EXPECT_EQ(d.X(2), X0(k));        // sample 3 is 0
    EXPECT_EQ(d.X(3), X0(k) + 62);   // 1
    EXPECT_EQ(d.X(4), X0(k) + 124);  // 2
    EXPECT_EQ(d.X(0), X0(k) - 124);  // no edge limit for the wiggle alone
    EXPECT_EQ(d.Y(0), SampleY(1));
    EXPECT_EQ(d.Y(19), SampleY(20));
  }
  EXPECT_TRUE(s.p.dialogs.asked.empty());  // no maximum question
}

TEST(TracePass, WiggleAndAreaFillsPositiveLobesAndLimitsTheFirstColumns) {
  Section s;
  const auto ops = s.Build(0);
  const auto lines = OfKind(ops, OpKind::Polyline);
  const auto lobes = OfKind(ops, OpKind::Polygon);
  ASSERT_EQ(lines.size(), 10u);
  // Lobes at samples 4-5, 9-10 and 14-15; the one opened at sample 19 is
  // still open at the end of the loop and is not drawn.
  ASSERT_EQ(lobes.size(), 30u);
  for (const Drawn& lobe : lobes) {
    EXPECT_EQ(lobe.brush.style, 0);
    EXPECT_EQ(lobe.brush.color, 0);
    EXPECT_EQ(lobe.pen.color, 0);
    EXPECT_EQ(lobe.pen.width, 0);
  }
  // The first lobe of column 0: zero crossing, samples 4 and 5, zero
  // crossing; the mid points are rounded half to even (1900.5 -> 1900).
  const std::vector<float> first{1517, 1900, 1579, 1950, 1641, 2049, 1517, 2098};
  EXPECT_EQ(lobes[0].xy, first);
  // Loop to SamplesToDraw - 1; a sample of -2 lies left of the margin in the
  // first five columns only, and is drawn on the margin (1417.5 -> 1418).
  ASSERT_EQ(lines[0].Points(), 19u);
  EXPECT_EQ(lines[0].X(0), 1418);
  EXPECT_EQ(lines[4].X(0), X0(4) - 124);
  EXPECT_EQ(lines[5].X(0), X0(5) - 124);
  // Lobes are drawn as they close, the wiggle after the trace.
  EXPECT_EQ(ops[3].kind, OpKind::Polyline);
}

TEST(TracePass, PositiveOnlyDrawsTheLobesAlone) {
  Section s;
  const auto ops = s.Build(2);
  ASSERT_EQ(ops.size(), 30u);
  for (const Drawn& d : ops) {
    EXPECT_EQ(d.kind, OpKind::Polygon);
    EXPECT_EQ(d.brush.style, 0);
    EXPECT_EQ(d.brush.color, 0);
  }
  EXPECT_EQ(ops[0].xy, (std::vector<float>{1517, 1900, 1579, 1950, 1641, 2049, 1517, 2098}));
}

TEST(TracePass, PositiveFirstSampleIsListedTwiceAndAnAllPositiveTraceHasNoLobe) {
  // Trace 1: 1, -1, 0 ...; trace 2: all 1.
  Section s([](int sample, int trace) {
    if (trace == 1) return 1.0f;
    if (trace == 0 && sample < 2) return sample == 0 ? 1.0f : -1.0f;
    return 0.0f;
  });
  const auto ops = s.Build(0);
  const auto lobes = OfKind(ops, OpKind::Polygon);
  ASSERT_EQ(lobes.size(), 1u);
  const float yMid = static_cast<float>(RoundHalfEven((SampleY(2) + SampleY(1)) / 2.0));
  EXPECT_EQ(lobes[0].xy,
            (std::vector<float>{1641, SampleY(1), 1641, SampleY(1), 1517, yMid}));
  const auto lines = OfKind(ops, OpKind::Polyline);
  ASSERT_EQ(lines.size(), 10u);
  EXPECT_EQ(lines[1].X(7), X0(1) + 124);  // the all-positive trace's wiggle

  EXPECT_EQ(OfKind(s.Build(2), OpKind::Polygon).size(), 1u);
}

TEST(TracePass, ColourAndGreyCellsOneColumnPerTrace) {
  Section s;
  s.p.dialogs.asked.clear();
  const auto colour = s.Build(3);
  ASSERT_EQ(s.p.dialogs.asked.size(), 1u);
  EXPECT_EQ(s.p.dialogs.asked[0].prompt, "Maximale Amplitude");
  EXPECT_EQ(s.p.dialogs.asked[0].title, "Korvane Printer 4.2");
  EXPECT_EQ(s.p.dialogs.asked[0].defaultText, " 2");
  ASSERT_EQ(colour.size(), 10u);
  const auto& pal = kDefaultAmplitudeColors;
  for (int k = 0; k < 10; ++k) {
    const Drawn& d = colour[static_cast<size_t>(k)];
    ASSERT_EQ(d.kind, OpKind::Cells);
    EXPECT_DOUBLE_EQ(d.x, X0(k) - 99.2);
    EXPECT_DOUBLE_EQ(d.w, 198.4);
    EXPECT_DOUBLE_EQ(d.y, kTop + 0.5 * kSampleHeight);  // cell 1 centred on sample 1
    EXPECT_DOUBLE_EQ(d.h, kSampleHeight);
    ASSERT_EQ(d.colours.size(), 20u);
    // Samples in eighths of the maximum 2: -2 saturates, 1 is in band 5.
    EXPECT_EQ(d.colours[0], pal[0]);
    EXPECT_EQ(d.colours[1], pal[3]);
    EXPECT_EQ(d.colours[2], pal[8]);
    EXPECT_EQ(d.colours[3], pal[12]);
    EXPECT_EQ(d.colours[4], pal[15]);
  }
  EXPECT_EQ(s.p.state.settings.DisplayType, "color");

  const auto grey = s.Build(4);
  ASSERT_EQ(grey.size(), 10u);
  EXPECT_EQ(grey[9].colours[0], GreyColor(255));
  EXPECT_EQ(grey[9].colours[1], GreyColor(207));
  EXPECT_EQ(grey[9].colours[2], GreyColor(127));
  EXPECT_EQ(grey[9].colours[4], GreyColor(15));
}

TEST(TracePass, ColourPlotReloadsThePaletteFromKorvaneIni) {
  Section s;
  // Changed on disk after start-up: a colour build reads the file.
  ASSERT_TRUE(test::WriteBytes(s.p.settingsDir + "/Korvane.ini",
                               "[KORVANE]\r\nAmplitude16=4242\r\n"));
  const auto grey = s.Build(4);
  EXPECT_NE(s.p.state.palette.colors[15], 4242);  // grey does not reload
  const auto colour = s.Build(3);
  EXPECT_EQ(colour[0].colours[4], 4242);  // sample 2: the strongest band
}

TEST(TracePass, ColourWithWiggleShadowsTheBlackWiggleAtTwiceTheDeflection) {
  Section s;
  const auto ops = s.Build(5);
  ASSERT_EQ(ops.size(), 30u);
  for (int k = 0; k < 10; ++k) {
    const Drawn& cells = ops[static_cast<size_t>(3 * k)];
    const Drawn& white = ops[static_cast<size_t>(3 * k + 1)];
    const Drawn& black = ops[static_cast<size_t>(3 * k + 2)];
    ASSERT_EQ(cells.kind, OpKind::Cells);
    ASSERT_EQ(white.kind, OpKind::Polyline);
    ASSERT_EQ(black.kind, OpKind::Polyline);
    EXPECT_EQ(white.pen, (PenState{16777215, 0}));
    EXPECT_EQ(black.pen, (PenState{0, 0}));
    ASSERT_EQ(white.Points(), 20u);
    ASSERT_EQ(black.Points(), 20u);
    EXPECT_EQ(black.X(3), X0(k) + 124);  // sample 1: twice 62
    EXPECT_EQ(black.X(4), X0(k) + 248);
    for (size_t i = 0; i < 20; ++i) {
      EXPECT_EQ(white.X(i), black.X(i) + 15);
      EXPECT_EQ(white.Y(i), black.Y(i));
    }
  }
  EXPECT_EQ(s.p.state.settings.DisplayType, "color");
  EXPECT_EQ(ops[0].colours[4], kDefaultAmplitudeColors[15]);
}

TEST(TracePass, MaximumQuestionProposalAndAnswers) {
  Section s;
  s.p.dialogs.answers = {"0"};
  s.Build(4);
  EXPECT_FLOAT_EQ(s.p.state.layout.MaxAmplitude, 2);  // the proposal
  s.p.dialogs.answers = {"abc"};
  s.Build(4);
  EXPECT_FLOAT_EQ(s.p.state.layout.MaxAmplitude, 2);
  s.p.dialogs.answers = {" 3.5"};
  s.Build(4);
  EXPECT_FLOAT_EQ(s.p.state.layout.MaxAmplitude, 3.5f);
  s.p.dialogs.answers = {"1e300"};  // beyond single precision: the scan stays
  s.Build(4);
  EXPECT_FLOAT_EQ(s.p.state.layout.MaxAmplitude, 2);

  // Up to 1 the proposal keeps three decimals; above it is rounded.
  Section small([](int sample, int) { return sample == 3 ? 0.12345f : -1.0f; });
  small.p.dialogs.asked.clear();
  small.Build(3);
  ASSERT_EQ(small.p.dialogs.asked.size(), 1u);
  EXPECT_EQ(small.p.dialogs.asked[0].defaultText, " 0.123");
  EXPECT_FLOAT_EQ(small.p.state.layout.MaxAmplitude, 0.123f);

  Section big([](int sample, int trace) { return sample == 6 && trace == 3 ? 2.5f : 0.0f; });
  big.p.dialogs.asked.clear();
  big.Build(5);
  EXPECT_EQ(big.p.dialogs.asked[0].defaultText, " 2");  // half to even

  // Only every third trace and sample is scanned: the 9 of trace 2 and of
  // sample 2 are not seen.
  Section scan([](int sample, int trace) { return trace == 1 || sample == 1 ? 9.0f : 1.0f; });
  scan.Build(1);
  EXPECT_FLOAT_EQ(scan.p.state.layout.MaxAmplitude, 1);
}

TEST(TracePass, DeadTracesAreLeftOutUnlessAsked) {
  auto traces = test::MakeTraces(10, 20, 4000, Saw);
  traces[2].Set(su::kTrid, 2);                       // dead, dt 4000
  traces[3].Set(su::kTrid, 2).Set(su::kDt, 0);       // dt 0: drawn
  traces[4].Set(su::kTrid, 1);                       // live
  Section s(traces);
  auto ops = s.Build(1);
  ASSERT_EQ(ops.size(), 9u);
  EXPECT_EQ(ops[1].X(2), X0(1));
  EXPECT_EQ(ops[2].X(2), X0(3));  // column 2 stays empty
  s.form().SetValue(kDeadTraces, 1);
  EXPECT_EQ(s.Build(1).size(), 10u);
}

TEST(TracePass, NoiseClippingZeroesSmallSamples) {
  // Sample 1 is 10 (MaxAmplitude 10: 12.4 twips per unit), then -4.9, -5.
  Section s([](int sample, int) {
    const float v[] = {10, -4.9f, -5, 4.99f};
    return sample < 4 ? v[sample] : 0.0f;
  });
  auto ops = s.Build(1);
  EXPECT_EQ(ops[0].X(1), X0(0) - 61);  // no clipping: -60.76
  EXPECT_EQ(ops[0].X(2), X0(0) - 62);
  s.form().SetText(kNoiseAmplitude, "5");
  ops = s.Build(1);
  EXPECT_EQ(ops[0].X(0), X0(0) + 124);
  EXPECT_EQ(ops[0].X(1), X0(0));       // -4.9 clipped
  EXPECT_EQ(ops[0].X(2), X0(0) - 62);  // -5 kept
  EXPECT_EQ(ops[0].X(3), X0(0));
  EXPECT_FLOAT_EQ(s.p.state.layout.MaxAmplitude, 10);
  s.form().SetText(kNoiseAmplitude, "");  // an empty field clips nothing
  ops = s.Build(1);
  EXPECT_EQ(ops[0].X(1), X0(0) - 61);
}

TEST(TracePass, InverseOrderStartsWithTheLastTraceAndLimitsTheLastColumns) {
  // Sample 1 of trace t (from 1) is t; sample 2 is 10 everywhere.
  Section s([](int sample, int trace) {
    if (sample == 0) return static_cast<float>(trace + 1);
    return sample == 1 ? 10.0f : 0.0f;
  });
  s.form().SetValue(kInverseTraces, 1);
  auto ops = s.Build(1);
  ASSERT_EQ(ops.size(), 10u);
  EXPECT_EQ(ops[0].X(0), X0(0) + 124);  // trace 10
  EXPECT_EQ(ops[9].X(0), X0(9) + 12);   // trace 1 (12.4)
  EXPECT_EQ(ops[9].X(1), X0(9) + 124);  // the wiggle alone is not limited

  // With the area type the last five columns stop at the right edge
  // (1417.5 + 1984 = 3401.5, drawn at 3402).
  auto lines = OfKind(s.Build(0), OpKind::Polyline);
  EXPECT_EQ(lines[9].X(1), 3402);
  EXPECT_EQ(lines[8].X(1), X0(8) + 124);
  s.form().SetValue(kInverseTraces, 0);
  lines = OfKind(s.Build(0), OpKind::Polyline);
  EXPECT_EQ(lines[9].X(1), X0(9) + 124);  // 3426: not limited in normal order
  EXPECT_EQ(lines[0].X(0), X0(0) + 12);
}

TEST(TracePass, StaticShiftStartsLaterAndFadesIn) {
  // Constant 2: full deflection 124 twips once the taper reaches 1.
  auto traces = test::MakeTraces(10, 20, 4000, [](int, int) { return 2.0f; });
  traces[0].Set(su::kTstat, 8);   // 8 ms: starts at sample 2
  traces[1].Set(su::kTstat, -8);  // before the first sample: starts at 1
  Section s(traces);

  // Without "topo" the statics are not applied.
  auto ops = s.Build(1);
  EXPECT_EQ(ops[0].Points(), 20u);
  EXPECT_EQ(ops[0].X(0), X0(0) + 124);

  s.form().SetValue(kTopoDrawing, 1);
  ops = s.Build(1);
  const auto lines = OfKind(ops, OpKind::Polyline);
  std::vector<Drawn> black;
  for (const Drawn& d : lines)
    if (d.pen.color == 0) black.push_back(d);
  ASSERT_EQ(black.size(), 10u);
  ASSERT_EQ(black[0].Points(), 19u);
  EXPECT_EQ(black[0].Y(0), SampleY(2));
  EXPECT_EQ(black[0].X(0), X0(0) + 3);   // 0.025 * 124 = 3.1
  EXPECT_EQ(black[0].X(1), X0(0) + 6);   // 6.2
  EXPECT_EQ(black[0].X(9), X0(0) + 31);  // 0.25
  ASSERT_EQ(black[1].Points(), 20u);
  EXPECT_EQ(black[1].Y(0), SampleY(1));
  EXPECT_EQ(black[1].X(0), X0(1) + 3);
  EXPECT_EQ(black[2].X(0), X0(2) + 124);  // tstat 0: no taper

  // Index 0 draws the zero line above a shifted trace.
  s.Build(0);
  bool found = false;
  for (const PageOp& op : s.p.state.page.ops())
    if (op.kind == OpKind::Line && op.x == X0(0) && op.x2 == X0(0) && op.y == kTop &&
        op.y2 == kTop + kSampleHeight * 2)
      found = true;
  EXPECT_TRUE(found);
}

TEST(TracePass, NoColumnWhenTheRangeIsEmpty) {
  Section s;
  s.form().SetText(kLastTrace, "5");
  s.form().SetText(kFirstTrace, "8");
  s.p.state.layout.MaxAmplitude = 7;
  const auto ops = s.Build(3);
  EXPECT_TRUE(ops.empty());
  EXPECT_EQ(s.p.state.layout.MaxAmplitude, 0);
  const std::string dump = DumpPage(s.p.state.page);
  EXPECT_NE(dump.find("polygon  1417.5 1553 3401.5 1553 3401.5 3537 1417.5 3537"),
            std::string::npos);
  EXPECT_NE(dump.find("Depth (m)"), std::string::npos);
}

TEST(TracePass, NonFiniteSamplesDrawAsZero) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  Section s([&](int sample, int trace) {
    if (trace == 0 && sample == 0) return inf;  // scanned, left out
    if (trace == 0 && sample == 1) return nan;
    if (trace == 3 && sample == 3) return nan;
    return sample == 6 ? 4.0f : 0.0f;
  });
  for (int type : {0, 1, 5}) {
    const auto ops = s.Build(type);
    EXPECT_FLOAT_EQ(s.p.state.layout.MaxAmplitude, 4);
    std::vector<Drawn> lines;
    for (const Drawn& d : OfKind(ops, OpKind::Polyline))
      if (d.pen.color == 0) lines.push_back(d);
    ASSERT_EQ(lines.size(), 10u);
    EXPECT_EQ(lines[0].X(0), X0(0)) << type;
    EXPECT_EQ(lines[0].X(1), X0(0)) << type;
    EXPECT_EQ(lines[3].X(3), X0(3)) << type;
  }
  const auto cells = s.Build(3);
  EXPECT_EQ(cells[0].colours[0], kDefaultAmplitudeColors[8]);
}

TEST(TracePass, ColumnsPastTheEndOfTheFileStayEmpty) {
  auto traces = test::MakeTraces(10, 20, 4000, Saw);
  Section s(traces);
  std::vector<std::pair<int64_t, int64_t>> progress;
  int events = 0;
  s.p.state.progress = [&](int64_t value, int64_t maximum) { progress.emplace_back(value, maximum); };
  s.p.state.processEvents = [&] { ++events; };
  s.form().SetText(kLastTrace, "12");
  auto ops = s.Build(1);
  ASSERT_EQ(ops.size(), 10u);
  const double spacing = 1984.0 / 12;
  EXPECT_EQ(ops[0].X(2), RoundHalfEven(1417.5 + spacing / 2));
  EXPECT_EQ(ops[9].X(2), RoundHalfEven(1417.5 + spacing / 2 + 9 * spacing));
  ASSERT_EQ(progress.size(), 10u);
  EXPECT_EQ(progress[0], (std::pair<int64_t, int64_t>{1, 12}));
  EXPECT_EQ(events, 10);

  // Reversed, the first two columns are the empty ones; a range starting at
  // trace 0 leaves that column empty.
  s.form().SetValue(kInverseTraces, 1);
  ops = s.Build(1);
  ASSERT_EQ(ops.size(), 10u);
  EXPECT_EQ(ops[0].X(2), RoundHalfEven(1417.5 + spacing / 2 + 2 * spacing));
  s.form().SetValue(kInverseTraces, 0);
  s.form().SetText(kLastTrace, "10");
  s.form().SetText(kFirstTrace, "0");
  EXPECT_EQ(s.Build(4).size(), 10u);

  // A range far beyond the file costs nothing and draws what exists.
  s.form().SetText(kFirstTrace, "1");
  s.form().SetText(kLastTrace, "2000000000");
  progress.clear();
  ops = s.Build(1);
  EXPECT_EQ(ops.size(), 10u);
  EXPECT_EQ(progress.size(), 10u);
}

TEST(TracePass, ACutShortLastTraceKeepsWhatItHas) {
  auto traces = test::MakeTraces(10, 20, 4000, [](int, int) { return 2.0f; });
  std::string bytes = test::SuFileBytes(traces);
  bytes.resize(bytes.size() - 4 * 15);  // the last trace keeps 5 samples
  const std::string path = test::TempFile("cut.su");
  ASSERT_TRUE(test::WriteBytes(path, bytes));
  ProgramFixture p;
  p.Start(path);
  p.form().SetText(kLastTrace, "10");
  p.form().SetListIndex(kDisplayType, 1);
  DoDocument(p.state);
  const auto ops = TraceOps(p.state.page);
  ASSERT_EQ(ops.size(), 10u);
  EXPECT_EQ(ops[9].X(4), X0(9) + 124);
  EXPECT_EQ(ops[9].X(5), X0(9));
}

}  // namespace
}  // namespace tavelo

namespace tavelo {
namespace {

// A stacked-looking section: three dipping reflectors of Ricker wavelets
// (25 Hz, 4 ms samples) of different strengths over weak noise.
float RickerSection(int sample, int trace) {
  const double t = sample * 0.004;
  double v = 0.02 * std::sin(sample * 12.9898 + trace * 78.233) * 43758.5453;
  v -= std::floor(v);
  double value = 0.06 * (v - 0.5);
  const double reflectors[3][3] = {{0.2, 0.002, 1.0}, {0.45, -0.001, -0.6}, {0.7, 0.003, 0.35}};
  for (const auto& r : reflectors) {
    const double a = 3.14159265 * 25 * (t - r[0] - r[1] * trace);
    value += r[2] * (1 - 2 * a * a) * std::exp(-a * a);
  }
  return static_cast<float>(value * 1000);
}

struct CellCount {
  std::set<Color> levels;
  double extremes = 0;  // share of the cells in the two extreme levels
};

CellCount CountCells(const std::vector<Drawn>& ops, Color low, Color high) {
  CellCount c;
  size_t all = 0, extreme = 0;
  for (const Drawn& d : ops)
    for (Color colour : d.colours) {
      c.levels.insert(colour);
      ++all;
      if (colour == low || colour == high) ++extreme;
    }
  c.extremes = all ? static_cast<double>(extreme) / all : 0;
  return c;
}

TEST(TracePass, AmplitudeCellsOfARealSectionUseTheWholePalette) {
  Section s(test::MakeTraces(48, 250, 4000, RickerSection));
  const auto& pal = kDefaultAmplitudeColors;
  for (int type : {3, 4}) {
    SCOPED_TRACE(type);
    const Color low = type == 3 ? pal[0] : GreyColor(255);
    const Color high = type == 3 ? pal[15] : GreyColor(15);
    const CellCount proposed = CountCells(s.Build(type), low, high);
    EXPECT_GE(proposed.levels.size(), 12u);
    EXPECT_LT(proposed.extremes, 0.25);

    // A quarter of the maximum, or a trace size factor of 4, saturates more.
    const float maximum = s.p.state.layout.MaxAmplitude;
    s.p.dialogs.answers.push_back(std::to_string(maximum / 4));
    const CellCount quarter = CountCells(s.Build(type), low, high);
    EXPECT_GT(quarter.extremes, proposed.extremes + 0.05);
    s.form().SetText(kTraceSizeFactor, "4");
    const CellCount larger = CountCells(s.Build(type), low, high);
    EXPECT_GT(larger.extremes, proposed.extremes + 0.05);
    s.form().SetText(kTraceSizeFactor, "1");
  }
}

TEST(TracePass, IsolatedSpikesMissedByTheSparseScanAreFoundByTheFullOne) {
  // Spikes on samples 2, 5, 8 ... of traces 2, 5, 8 ...: never on the grid.
  Section s(test::MakeTraces(9, 30, 4000, [](int sample, int trace) {
    return sample % 3 == 1 && trace % 3 == 1 ? 5.0f : 0.0f;
  }));
  const auto wiggles = s.Build(1);
  EXPECT_FLOAT_EQ(s.p.state.layout.MaxAmplitude, 5);
  // A spike deflects by the usual excursion, not a million times it.
  float widest = 0;
  for (const Drawn& d : wiggles)
    for (size_t i = 0; i < d.Points(); ++i) widest = std::max(widest, std::fabs(d.X(i) - d.X(0)));
  EXPECT_GT(widest, 50);
  EXPECT_LT(widest, 400);

  // An all-negative section keeps a maximum of 0.
  Section negative([](int, int) { return -1.0f; });
  negative.Build(1);
  EXPECT_FLOAT_EQ(negative.p.state.layout.MaxAmplitude, 0);
}

}  // namespace
}  // namespace tavelo
