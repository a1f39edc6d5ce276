// The fold, statics and elevation diagrams and the topography line: where
// their curves, frames, grids, scale texts and captions land, the fold
// question, and the pen each leaves for what is drawn after it.

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "common/numeric.h"
#include "overlays/diagram_strip.h"
#include "overlays/elevation.h"
#include "overlays/fold.h"
#include "overlays/statics.h"
#include "overlays/topo.h"
#include "settings/form_fields.h"
#include "support/page_ops.h"
#include "support/program_fixture.h"
#include "support/su_writer.h"

namespace tavelo {
namespace {

using test::OfKind;
using test::ProgramFixture;
using test::SuTrace;

// What one recorded drawing operation looked like, with the state it used.
struct Drawn {
  OpKind kind = OpKind::Text;
  std::vector<double> points;  // polyline, polygon; a line's two ends
  std::string text;
  double x = 0, y = 0;
  PenState pen;
  BrushState brush;
  FontState font;
};

std::vector<Drawn> Drawing(const PageDocument& page) {
  std::vector<Drawn> out;
  PenState pen;
  BrushState brush;
  FontState font;
  for (const PageOp& op : page.ops()) {
    switch (op.kind) {
      case OpKind::Pen: pen = page.pens()[op.index]; continue;
      case OpKind::Brush: brush = page.brushes()[op.index]; continue;
      case OpKind::Font: font = page.fonts()[op.index]; continue;
      default: break;
    }
    Drawn d;
    d.kind = op.kind;
    d.pen = pen;
    d.brush = brush;
    d.font = font;
    if (op.kind == OpKind::Polyline || op.kind == OpKind::Polygon) {
      for (float v : page.PointsOf(op)) d.points.push_back(v);
    } else if (op.kind == OpKind::Line) {
      d.points = {op.x, op.y, op.x2, op.y2};
    } else if (op.kind == OpKind::Text) {
      d.text = page.texts()[op.index];
      d.x = op.x;
      d.y = op.y;
    }
    out.push_back(d);
  }
  return out;
}

// The y of every point of a point list.
std::vector<double> Ys(const Drawn& d) {
  std::vector<double> ys;
  for (size_t i = 1; i < d.points.size(); i += 2) ys.push_back(d.points[i]);
  return ys;
}

// A program on a small file, its layout computed by one build with no
// diagram, and a fresh page for the diagram under test.
struct DiagramCase {
  ProgramFixture p;
  double left = 0;

  explicit DiagramCase(const std::vector<SuTrace>& traces) {
    const std::string path = test::TempFile("line.su");
    EXPECT_TRUE(test::WriteSuFile(path, traces));
    p.Start(path);
    p.form().SetText(kFoldTopMm, "60");
    p.form().SetText(kElevationTopMm, "40");
    p.form().SetText(kStaticsTopMm, "20");
    Relayout();
  }
  void Relayout() {
    DoDocument(p.state);
    p.dialogs.asked.clear();
    p.dialogs.shown.clear();
    p.state.page.BeginDocument();
    p.state.page.SetBrushStyle(1);  // as the builder leaves it
    left = p.state.page.LeftMargin();
  }
  const PlotLayout& layout() const { return p.state.layout; }
  double Right() const { return left + p.state.layout.SectionWidth; }
  double Centre(int column) const {
    return RoundHalfEven(p.state.layout.ColumnCentre(left, column));
  }
  int32_t Top(double mm) const { return static_cast<int32_t>(RoundHalfEven(mm * 56.7 + 1440)); }
  std::vector<Drawn> drawn() const { return Drawing(p.state.page); }
};

std::vector<SuTrace> TracesWith(const su::HeaderField& field, const std::vector<double>& values,
                                int ns = 250, int dt = 4000) {
  auto traces = test::MakeTraces(static_cast<int>(values.size()), ns, dt);
  for (size_t i = 0; i < values.size(); ++i) traces[i].Set(field, values[i]);
  return traces;
}

// ---------------------------------------------------------------- fold

TEST(FoldDiagram, AsksForTheMaximumUntilOneIsGivenAndAgainAtTheNextPage) {
  DiagramCase c(TracesWith(su::kNhs, {10, 20, 30}));
  c.p.form().SetText(kFoldMaximum, "0");
  c.p.dialogs.answers = {"", "0", "30"};
  Affichage_Fold(c.p.state);
  ASSERT_EQ(c.p.dialogs.asked.size(), 3u);
  for (const auto& a : c.p.dialogs.asked) {
    EXPECT_EQ(a.prompt, "Enter the fold maxi to display");
    EXPECT_EQ(a.title, "Korvane Printer 4.2");
    EXPECT_EQ(a.defaultText, "24");
  }
  const auto texts = OfKind(c.drawn(), OpKind::Text);
  ASSERT_GE(texts.size(), 2u);
  EXPECT_EQ(texts[1].text, "Fold  30");
  EXPECT_EQ(c.p.form().Text(kFoldMaximum), "0");

  c.p.dialogs.asked.clear();
  c.p.state.page.BeginDocument();
  Affichage_Fold(c.p.state);  // no answers left: the default "24"
  ASSERT_EQ(c.p.dialogs.asked.size(), 1u);
  EXPECT_EQ(OfKind(c.drawn(), OpKind::Text)[1].text, "Fold  24");

  // A negative maximum has no scale either: it is asked for like 0.
  c.p.dialogs.asked.clear();
  c.p.form().SetText(kFoldMaximum, "-5");
  c.p.dialogs.answers = {"12"};
  c.p.state.page.BeginDocument();
  Affichage_Fold(c.p.state);
  EXPECT_EQ(c.p.dialogs.asked.size(), 1u);
  EXPECT_EQ(OfKind(c.drawn(), OpKind::Text)[1].text, "Fold  12");
}

TEST(FoldDiagram, CurveFillFrameScaleAndCaptions) {
  // nhs 0 draws as fold 1, 48 is clipped to the maximum, 12 lies half-way.
  DiagramCase c(TracesWith(su::kNhs, {0, 48, 12, -3}));
  c.p.state.settings.DiagramHeight = 850;
  c.p.state.settings.DiagramLineWidth = 30;
  c.p.form().SetText(kFoldMaximum, "24");
  Affichage_Fold(c.p.state);
  const int32_t t = c.Top(60);
  const double b = t + 850;
  const std::vector<Drawn> all = c.drawn();

  const auto curves = OfKind(all, OpKind::Polyline);
  ASSERT_EQ(curves.size(), 1u);
  const Drawn& curve = curves[0];
  const double fold1 = RoundHalfEven(b - 830.0 / 24);
  EXPECT_EQ(Ys(curve), (std::vector<double>{fold1, fold1, t + 20.0, b - 415, fold1, fold1}));
  EXPECT_EQ(curve.points[0], c.left);
  EXPECT_EQ(curve.points[2], c.Centre(0));
  EXPECT_EQ(curve.points[8], c.Centre(3));
  EXPECT_EQ(curve.points[10], c.Right());
  EXPECT_EQ(curve.pen, (PenState{c.p.state.settings.FoldLineColor, 30}));

  const auto polygons = OfKind(all, OpKind::Polygon);
  ASSERT_EQ(polygons.size(), 2u);
  std::vector<double> fill = curve.points;
  fill.insert(fill.end(), {c.Right(), b, c.left, b});
  EXPECT_EQ(polygons[0].points, fill);
  EXPECT_EQ(polygons[0].brush, (BrushState{c.p.state.settings.FoldFillColor, 0}));
  EXPECT_EQ(polygons[0].pen, curve.pen);
  EXPECT_EQ(polygons[1].points,
            (std::vector<double>{c.left, double(t), c.left, b, c.Right(), b, c.Right(), double(t)}));
  EXPECT_EQ(polygons[1].pen, (PenState{0, 25}));
  EXPECT_EQ(polygons[1].brush.style, 1);

  const auto lines = OfKind(all, OpKind::Line);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].points, (std::vector<double>{c.left, t + 400.0, c.Right(), t + 400.0}));
  EXPECT_EQ(lines[0].pen, (PenState{0, 0}));

  const auto texts = OfKind(all, OpKind::Text);
  ASSERT_EQ(texts.size(), 4u);
  EXPECT_EQ(texts[0].text, "Fold 1");
  EXPECT_EQ(texts[0].x, c.left - 650);
  EXPECT_EQ(texts[0].y, b);
  EXPECT_EQ(texts[0].font.size, 8);
  EXPECT_EQ(texts[1].text, "Fold  24");
  EXPECT_EQ(texts[1].y, t);
  EXPECT_EQ(texts[2].text, "Fold");
  EXPECT_EQ(texts[2].x, c.left);
  EXPECT_EQ(texts[2].y, t - 200);
  EXPECT_TRUE(texts[2].font.bold);
  EXPECT_EQ(texts[3].x, c.Right() - 350);
  EXPECT_EQ(texts[3].y, t - 200);

  // What the time lines drawn later take over.
  EXPECT_EQ(c.p.state.page.pen(), (PenState{0, 0}));
  EXPECT_EQ(c.p.state.page.brush(), (BrushState{0, 1}));
  EXPECT_FALSE(c.p.state.page.font().bold);
}

TEST(FoldDiagram, InverseOrderLanguageAndOneTrace) {
  DiagramCase c(TracesWith(su::kNhs, {1, 2, 3, 4}));
  c.p.form().SetText(kFoldMaximum, "4");
  c.p.form().SetValue(kInverseTraces, 1);
  c.p.state.settings.LanguageCode = "F";
  c.Relayout();
  Affichage_Fold(c.p.state);
  const int32_t t = c.Top(60);
  const double b = t + 800;
  auto y = [&](int fold) { return RoundHalfEven(b - 780.0 / 4 * fold); };
  const auto all = c.drawn();
  EXPECT_EQ(Ys(OfKind(all, OpKind::Polyline)[0]),
            (std::vector<double>{y(4), y(4), y(3), y(2), y(1), y(1)}));
  const auto texts = OfKind(all, OpKind::Text);
  EXPECT_EQ(texts[2].text, "Couverture");
  EXPECT_EQ(texts[3].text, "Couverture");

  // One plotted trace: a flat line across the strip.
  c.p.form().SetValue(kInverseTraces, 0);
  c.p.form().SetText(kFirstTrace, "3");
  c.p.form().SetText(kLastTrace, "3");
  c.Relayout();
  Affichage_Fold(c.p.state);
  const Drawn curve = OfKind(c.drawn(), OpKind::Polyline)[0];
  EXPECT_EQ(curve.points, (std::vector<double>{c.left, y(3), c.Centre(0), y(3), c.Right(), y(3)}));

  // A language with no caption draws none.
  c.p.state.settings.LanguageCode = "X";
  c.p.state.page.BeginDocument();
  Affichage_Fold(c.p.state);
  EXPECT_EQ(OfKind(c.drawn(), OpKind::Text).size(), 2u);
}

TEST(FoldDiagram, MaximumOneDrawsCurveAndFillThenOnlyTheMessage) {
  DiagramCase c(TracesWith(su::kNhs, {1, 5}));
  c.p.form().SetText(kFoldMaximum, "1");
  Affichage_Fold(c.p.state);
  ASSERT_EQ(c.p.dialogs.shown.size(), 1u);
  EXPECT_EQ(c.p.dialogs.shown[0].text, "Fold max=1 !");
  EXPECT_EQ(c.p.dialogs.shown[0].style, msg::kCritical);
  EXPECT_EQ(c.p.dialogs.shown[0].title, "Korvane Printer 4.2");
  const auto all = c.drawn();
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(all[0].kind, OpKind::Polyline);
  EXPECT_EQ(all[1].kind, OpKind::Polygon);
  EXPECT_EQ(c.p.state.page.pen(), (PenState{0, 0}));
}

// ---------------------------------------------------------------- topography

TEST(TopographyLine, StaticsAsTimeBelowTheTopOverTheFullTraceLength) {
  // 500 samples of 4 ms: the section height stands for 2000 ms, whatever
  // time is drawn.
  DiagramCase c(TracesWith(su::kTstat, {0, 100, -50}, 500, 4000));
  c.p.form().SetText(kTimeToDrawMs, "1000");
  c.p.form().SetText(kDiagramLineWidth, "7");
  c.Relayout();
  c.p.state.layout.SectionHeight = 8000;
  c.p.state.layout.SectionTop = 0;  // recomputed from Text9
  Affichage_topo(c.p.state);
  const double top = c.Top(c.p.form().Number(kSectionTopMm));
  EXPECT_EQ(c.p.state.layout.SectionTop, top);
  const auto lines = OfKind(c.drawn(), OpKind::Polyline);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].points, (std::vector<double>{c.left, top, c.Centre(0), top, c.Centre(1),
                                                  top + 400, c.Centre(2), top - 200, c.Right(),
                                                  top - 200}));
  EXPECT_EQ(lines[0].pen, (PenState{c.p.state.settings.TopoLineColor, 7}));
  EXPECT_EQ(c.p.state.settings.TopoLineWidth, 7);
  EXPECT_EQ(c.p.state.page.pen(), (PenState{0, 0}));

  // "0" draws the thinnest pen.
  c.p.form().SetText(kDiagramLineWidth, "0");
  c.p.state.page.BeginDocument();
  Affichage_topo(c.p.state);
  EXPECT_EQ(OfKind(c.drawn(), OpKind::Polyline)[0].pen.width, 0);
}

TEST(TopographyLine, FlatStaticsTallSectionsAndNoSampleInterval) {
  DiagramCase c(TracesWith(su::kTstat, {0, 0, 0, 20000}, 500, 4000));
  c.p.form().SetText(kLastTrace, "3");
  c.Relayout();
  Affichage_topo(c.p.state);
  const double top = c.layout().SectionTop;
  for (double y : Ys(OfKind(c.drawn(), OpKind::Polyline)[0])) EXPECT_EQ(y, top);

  // 20000 ms x 200000 twips does not fit 32 bits, yet the point is placed.
  c.p.form().SetText(kLastTrace, "4");
  c.Relayout();
  c.p.state.layout.SectionHeight = 200000;
  Affichage_topo(c.p.state);
  EXPECT_EQ(Ys(OfKind(c.drawn(), OpKind::Polyline)[0]).back(), top + 2000000);

  // With no sample interval the statics have no scale: no line, no fault.
  c.p.state.su.SampleInterval = 0;
  c.p.state.page.BeginDocument();
  Affichage_topo(c.p.state);
  EXPECT_TRUE(OfKind(c.drawn(), OpKind::Polyline).empty());
}

// ---------------------------------------------------------------- statics

TEST(StaticsDiagram, ScaleInTensFromTstatAlone) {
  struct Case {
    std::vector<double> tstat;
    const char *lower, *middle, *upper;
  };
  const Case cases[] = {
      {{12, 37, 20}, " 0 ms", " 25 ms", " 50 ms"},
      {{-23, 37, 0}, "-20 ms", " 15 ms", " 50 ms"},
      {{25, 3}, " 0 ms", " 15 ms", " 30 ms"},  // 2.5 rounds to the even 2
      {{35, 3}, " 0 ms", " 25 ms", " 50 ms"},
      {{0, 0}, " 0 ms", " 5 ms", " 10 ms"},
  };
  for (const Case& k : cases) {
    auto traces = TracesWith(su::kTstat, k.tstat);
    traces.back().Set(su::kUnassigned232, 500);  // plotted, not scaled
    DiagramCase c(traces);
    Affichage_static(c.p.state);
    const int32_t t = c.Top(20);
    const auto texts = OfKind(c.drawn(), OpKind::Text);
    ASSERT_EQ(texts.size(), 5u);
    EXPECT_EQ(texts[0].text, k.lower);
    EXPECT_EQ(texts[0].y, t + 800 - 100);
    EXPECT_EQ(texts[1].text, k.upper);
    EXPECT_EQ(texts[1].y, t - 100);
    EXPECT_EQ(texts[2].text, k.middle);
    EXPECT_EQ(texts[2].y, t + 400 - 100);
    EXPECT_EQ(texts[0].x, c.left - 650);
    EXPECT_EQ(texts[0].font.size, 8);
    EXPECT_EQ(texts[3].text, "Total statics");
    EXPECT_EQ(texts[4].x, c.Right() - 950);
  }
}

TEST(StaticsDiagram, FrameGridThenCurveFromTheSecondColumn) {
  auto traces = TracesWith(su::kTstat, {10, 20, 40});
  traces[1].Set(su::kUnassigned232, 5);
  traces[2].Set(su::kUnassigned232, 32767);  // the sum needs more than 16 bits
  DiagramCase c(traces);
  c.p.state.settings.DiagramHeight = 850;
  c.p.state.settings.DiagramLineWidth = 3;
  c.p.state.settings.LanguageCode = "F";
  Affichage_static(c.p.state);
  const int32_t t = c.Top(20);
  const double b = t + 850;
  const auto all = c.drawn();

  ASSERT_EQ(all[0].kind, OpKind::Polygon);
  EXPECT_EQ(all[0].pen, (PenState{0, 25}));
  EXPECT_EQ(all[0].brush.style, 1);
  const auto grid = OfKind(all, OpKind::Line);
  ASSERT_EQ(grid.size(), 5u);
  const double steps[] = {0, 212, 424, 636, 848};
  for (size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(grid[i].points, (std::vector<double>{c.left, t + steps[i], c.Right(), t + steps[i]}));
    EXPECT_EQ(grid[i].pen, (PenState{0, 0}));
  }

  // Scale 0..50 ms: 25 ms half-way up the 830 twips between bottom and top.
  const auto curves = OfKind(all, OpKind::Polyline);
  ASSERT_EQ(curves.size(), 1u);
  const double y25 = b - 415;
  const double yBig = RoundHalfEven(b - 830.0 / 50 * 32807);
  EXPECT_EQ(curves[0].points,
            (std::vector<double>{c.Centre(1), y25, c.Centre(2), yBig, c.Right(), yBig}));
  EXPECT_EQ(curves[0].pen, (PenState{c.p.state.settings.StaticLineColor, 3}));
  EXPECT_EQ(OfKind(all, OpKind::Text)[3].text, "Statiques totales");
  EXPECT_EQ(c.p.state.page.pen(), (PenState{0, 0}));
}

TEST(StaticsDiagram, NegativeStaticsStayInTheStripOnTheirScale) {
  // Scale -20..50 ms: -20 on the bottom edge, 40 ms 60/70 of the way up.
  DiagramCase c(TracesWith(su::kTstat, {0, -20, 40}));
  Affichage_static(c.p.state);
  const int32_t t = c.Top(20);
  const double b = t + 800;
  const auto texts = OfKind(c.drawn(), OpKind::Text);
  EXPECT_EQ(texts[0].text, "-20 ms");
  EXPECT_EQ(texts[1].text, " 50 ms");
  EXPECT_EQ(Ys(OfKind(c.drawn(), OpKind::Polyline)[0]),
            (std::vector<double>{b, RoundHalfEven(b - 780.0 / 70 * 60),
                                 RoundHalfEven(b - 780.0 / 70 * 60)}));
}

TEST(StaticsDiagram, OneTraceLowStripsAndMissingTraces) {
  DiagramCase c(TracesWith(su::kTstat, {10, 20}));
  c.p.form().SetText(kLastTrace, "1");
  c.Relayout();
  Affichage_static(c.p.state);
  EXPECT_TRUE(OfKind(c.drawn(), OpKind::Polyline).empty());  // the curve has no point
  EXPECT_EQ(OfKind(c.drawn(), OpKind::Text).size(), 5u);

  // A strip under 2 twips gets no grid (and does not loop).
  c.p.state.settings.DiagramHeight = 1;
  c.p.state.page.BeginDocument();
  Affichage_static(c.p.state);
  EXPECT_TRUE(OfKind(c.drawn(), OpKind::Line).empty());

  // Columns past the end of the file get no point, however far the range
  // reaches: the curve ends at the last trace, then runs to the right edge.
  c.p.state.settings.DiagramHeight = 800;
  for (const char* last : {"4", "2000000000"}) {
    c.p.form().SetText(kLastTrace, last);
    c.Relayout();
    Affichage_static(c.p.state);
    const Drawn curve = OfKind(c.drawn(), OpKind::Polyline)[0];
    ASSERT_EQ(curve.points.size(), 4u);
    EXPECT_EQ(curve.points[0], c.Centre(1));
    EXPECT_EQ(curve.points[2], c.Right());
    EXPECT_EQ(curve.points[3], curve.points[1]);
  }
}

// ---------------------------------------------------------------- elevation

TEST(ElevationDiagram, ScaleWidenedByTenAndTheCurveSpansTheStrip) {
  DiagramCase c(TracesWith(su::kGelev, {100, 155, 200}));
  Affichage_Alti(c.p.state);
  const int32_t t = c.Top(40);
  const auto all = c.drawn();
  const auto texts = OfKind(all, OpKind::Text);
  ASSERT_EQ(texts.size(), 5u);
  EXPECT_EQ(texts[0].text, " 90 m");
  EXPECT_EQ(texts[0].y, t + 700);
  EXPECT_EQ(texts[1].text, " 155 m");
  EXPECT_EQ(texts[1].y, t + 300);
  EXPECT_EQ(texts[2].text, " 220 m");
  EXPECT_EQ(texts[2].y, t - 100);
  EXPECT_EQ(texts[3].text, "Elevation");
  EXPECT_EQ(texts[4].x, c.Right() - 700);
  const auto curves = OfKind(all, OpKind::Polyline);
  ASSERT_EQ(curves.size(), 1u);
  EXPECT_EQ(curves[0].points[1], t + 400);  // 155 m half-way
  EXPECT_EQ(curves[0].points[3], RoundHalfEven(t + 800 - 800.0 / 130 * 110));
  EXPECT_EQ(curves[0].pen.color, c.p.state.settings.TopoLineColor);
  EXPECT_EQ(OfKind(all, OpKind::Line).size(), 5u);
  EXPECT_EQ(c.p.state.page.pen(), (PenState{0, 0}));
}

TEST(ElevationDiagram, ColumnsBeforeTheFileLeaveTheScaleAlone) {
  // Traces -1 and 0 do not exist: no 0 m slips into the scale.
  DiagramCase c(TracesWith(su::kGelev, {100, 155, 200}));
  c.p.form().SetText(kFirstTrace, "-1");
  c.Relayout();
  Affichage_Alti(c.p.state);
  const auto texts = OfKind(c.drawn(), OpKind::Text);
  EXPECT_EQ(texts[0].text, " 90 m");
  EXPECT_EQ(texts[2].text, " 220 m");
  const Drawn curve = OfKind(c.drawn(), OpKind::Polyline)[0];
  ASSERT_EQ(curve.points.size(), 8u);  // columns 2, 3, 4 and the right edge
  EXPECT_EQ(curve.points[0], c.Centre(2));
  EXPECT_EQ(curve.points[3], c.Top(40) + 400);  // 155 m half-way
}

TEST(ElevationDiagram, FlatZeroScalarAndLanguages) {
  DiagramCase flat(TracesWith(su::kGelev, {0, 0}));
  flat.p.state.settings.DiagramHeight = 900;
  flat.p.state.settings.LanguageCode = "G";
  Affichage_Alti(flat.p.state);
  auto texts = OfKind(flat.drawn(), OpKind::Text);
  EXPECT_EQ(texts[0].text, "-10 m");
  EXPECT_EQ(texts[1].text, " 5 m");
  EXPECT_EQ(texts[2].text, " 20 m");
  EXPECT_EQ(texts[3].text, "Höhe");
  EXPECT_EQ(Ys(OfKind(flat.drawn(), OpKind::Polyline)[0]).front(), flat.Top(40) + 600);

  // scalel -10: 1234 reads as 123.4 m, kept as 123 (13 m above the lower
  // 110 m of a 30 m scale).
  auto traces = TracesWith(su::kGelev, {1234, 1234});
  traces[0].Set(su::kScalel, -10);
  DiagramCase scaled(traces);
  scaled.p.state.settings.DiagramHeight = 900;
  scaled.p.state.settings.LanguageCode = "S";
  Affichage_Alti(scaled.p.state);
  texts = OfKind(scaled.drawn(), OpKind::Text);
  EXPECT_EQ(texts[0].text, " 110 m");
  EXPECT_EQ(texts[2].text, " 140 m");
  EXPECT_EQ(texts[3].text, "Altitud");
  EXPECT_EQ(Ys(OfKind(scaled.drawn(), OpKind::Polyline)[0]).front(), scaled.Top(40) + 510);
}

TEST(ElevationDiagram, ElevationsBeyondSixteenBitsStayOnTheScale) {
  DiagramCase c(TracesWith(su::kGelev, {40000, 40000, 50000}));
  Affichage_Alti(c.p.state);
  const int32_t t = c.Top(40);
  const auto texts = OfKind(c.drawn(), OpKind::Text);
  EXPECT_EQ(texts[2].text, " 50020 m");
  const auto ys = Ys(OfKind(c.drawn(), OpKind::Polyline)[0]);
  for (double y : ys) {
    EXPECT_GE(y, t);
    EXPECT_LE(y, t + 800);
  }
  EXPECT_EQ(ys[1], RoundHalfEven(t + 800 - 800.0 / (50020 - 9990) * (50000 - 9990)));
}

// ---------------------------------------------------------------- the page

TEST(Diagrams, AllFourOnOnePageInTheirOrder) {
  auto traces = test::MakeTraces(6, 250, 4000);
  for (int i = 0; i < 6; ++i) {
    traces[i].Set(su::kNhs, 5 * i).Set(su::kTstat, 2 * i - 4).Set(su::kGelev, 300 + 10 * i);
  }
  const std::string path = test::TempFile("line.su");
  ASSERT_TRUE(test::WriteSuFile(path, traces));
  ProgramFixture p;
  p.Start(path);
  p.form().SetText(kFoldMaximum, "30");
  for (FieldName box : {kFoldDrawing, kTopoDrawing, kElevationDiagram, kStaticsPanel}) p.form().SetValue(box, 1);
  DoDocument(p.state);
  std::vector<std::string> order;
  for (const Drawn& d : Drawing(p.state.page)) {
    if (d.kind != OpKind::Text) continue;
    if (d.text == "Fold" || d.text == "Elevation" || d.text == "Total statics") {
      if (order.empty() || order.back() != d.text) order.push_back(d.text);
    }
  }
  EXPECT_EQ(order, (std::vector<std::string>{"Fold", "Elevation", "Total statics"}));
  // The topography line lies between the fold and elevation diagrams.
  const auto all = Drawing(p.state.page);
  size_t topo = 0, fold = 0, elevation = 0;
  for (size_t i = 0; i < all.size(); ++i) {
    if (all[i].kind == OpKind::Polyline && all[i].pen.color == p.state.settings.FoldLineColor)
      fold = i;
    if (all[i].kind == OpKind::Polyline && all[i].pen.color == p.state.settings.TopoLineColor &&
        !topo)
      topo = i;
    if (all[i].kind == OpKind::Text && all[i].text == "Elevation" && !elevation) elevation = i;
  }
  EXPECT_LT(fold, topo);
  EXPECT_LT(topo, elevation);
}

}  // namespace
}  // namespace tavelo
