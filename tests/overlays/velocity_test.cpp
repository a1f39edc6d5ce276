// Velocity panels: the file choice, the columns a function lands on, the
// panel geometry and rows, the Dix interval velocities and their messages.

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <sstream>

#include "common/numeric.h"
#include "app/wiring.h"
#include "overlays/velocity.h"
#include "overlays/velocity_handlers.h"
#include "settings/form_fields.h"
#include "support/program_fixture.h"
#include "support/su_writer.h"

namespace tavelo {
namespace {

using test::ProgramFixture;

struct Function {
  int cdp;
  std::vector<int> times;       // ms
  std::vector<int> velocities;
};

std::string TableText(const std::vector<Function>& functions) {
  PickTable t;
  for (size_t i = 0; i < functions.size(); ++i) {
    const int f = static_cast<int>(i) + 1;
    t.At(f, 1) = static_cast<int16_t>(functions[i].cdp);
    for (size_t m = 0; m < functions[i].times.size(); ++m)
      t.At(f, static_cast<int>(m) + 2) = static_cast<int16_t>(functions[i].times[m]);
    for (size_t m = 0; m < functions[i].velocities.size(); ++m)
      t.At(f, static_cast<int>(m) + 12) = static_cast<int16_t>(functions[i].velocities[m]);
  }
  return VelocityTableText(t);
}

// Ten traces with CDPs 101..110 in `dir`/ten.su, laid out so a column is
// 567 twips wide (centre of column k: 1701 + 567 k) and the section top is
// at 3708 (panel top 2008).
struct PanelPage {
  ProgramFixture p;
  std::string dir = test::TempDir();
  std::string su = dir + "/ten.su";

  PanelPage() {
    EXPECT_TRUE(test::WriteSuFile(su, test::MakeTraces(10, 100, 4000)));
    p.Start(su);
    p.form().SetText(kPlotWidthMm, "100");
    p.form().SetText(kSectionTopMm, "40");
    p.dialogs.shown.clear();
  }
  // The velocity file named in Text21.
  void UseTable(const std::vector<Function>& functions) {
    ASSERT_TRUE(test::WriteBytes(dir + "/model.VEL", TableText(functions)));
    p.form().SetText(kVelocityModelFile, dir + "/model.VEL");
  }
  // The panels alone, on a fresh page, after a build has set the layout.
  std::string Panels() {
    DoDocument(p.state);
    PageDocument& page = p.state.page;
    page.BeginDocument();
    page.SetPenColor(0);
    page.SetPenWidth(0);
    page.SetBrushColor(16777215);
    page.SetBrushStyle(1);
    Affichage_model_vitesse(p.state);
    page.EndDocument();
    const std::string dump = DumpPage(page);
    return dump.substr(dump.find('\n') + 1);
  }
};

// x of every marker line (from the section top 1200 twips up).
std::vector<double> MarkerColumns(const std::string& dump) {
  std::vector<double> xs;
  std::istringstream in(dump);
  for (std::string line; std::getline(in, line);) {
    double x1, y1, x2, y2;
    if (std::sscanf(line.c_str(), "line %lf %lf %lf %lf", &x1, &y1, &x2, &y2) == 4 && x1 == x2 &&
        y1 == 3708 && y2 == 2508)
      xs.push_back((x1 - 1701) / 567);
  }
  return xs;
}

TEST(VelocityPanel, ThreePicksGiveTheirRowsWithDixIntervals) {
  PanelPage page;
  page.UseTable({{104, {100, 500, 900}, {1500, 1800, 2100}}});
  page.p.state.page.SetFontName("Courier New");
  EXPECT_EQ(page.Panels(),
            "pen 0 0\n"
            "line 3402 3708 3402 2508\n"
            "brush 16777215 1\n"
            "polygon  3402 2008 4702 2008 4702 2728 3402 2728\n"
            "line 3402 2208 4702 2208\n"
            "font Arial|7|1\n"
            "text 3502 2038   ms Vnmo  Vint \n"
            "font Arial|7|0\n"
            "text 3502 2258    100  1500  1500\n"
            "text 3502 2408    500  1800  1867\n"
            "text 3502 2558    900  2100  2423\n");
  EXPECT_TRUE(page.p.dialogs.shown.empty());
  // The font name comes back; size and bold stay as the panel left them.
  const FontState& font = page.p.state.page.font();
  EXPECT_EQ(font.name, "Courier New");
  EXPECT_EQ(font.size, 7);
  EXPECT_FALSE(font.bold);
}

// Advance widths of Arial (and the metric-compatible Liberation Sans) in
// 1/1000 em: every digit 556, the blank 278, the minus 333.
int ArialWidth(const std::string& text) {
  int width = 0;
  for (char c : text) width += c == ' ' ? 278 : c == '-' ? 333 : 556;
  return width;
}

TEST(VelocityPanel, NumbersOfUpToFourDigitsEndInOnePlace) {
  EXPECT_EQ(VelocityNumberText(100), "   100");
  EXPECT_EQ(VelocityNumberText(1500), " 1500");
  EXPECT_EQ(VelocityNumberText(0), "       0");
  EXPECT_EQ(VelocityNumberText(-3), "      -3");
  EXPECT_EQ(VelocityNumberText(12345), " 12345");
  for (int64_t v : {0, 7, 42, 100, 999, 1500, 9999})
    EXPECT_EQ(ArialWidth(VelocityNumberText(v)), 9 * 278) << v;  // nine blanks wide
  // Rows of mixed widths: each column ends at the same place in every row.
  const std::string a = VelocityNumberText(5) + " " + VelocityNumberText(900);
  const std::string b = VelocityNumberText(1250) + " " + VelocityNumberText(21);
  EXPECT_EQ(ArialWidth(a), ArialWidth(b));
}

TEST(VelocityPanel, DixValuesAndItsTwoMessages) {
  ScriptedDialogs d;
  double vt = -1;
  ASSERT_TRUE(DIX(d, 1500, 1800, 100, 500, vt));
  EXPECT_EQ(vt, 1867);
  ASSERT_TRUE(DIX(d, 1800, 2100, 500, 900, vt));
  EXPECT_EQ(vt, 2423);
  ASSERT_TRUE(DIX(d, 0, 1500, 0, 100, vt));
  EXPECT_EQ(vt, 1500);
  EXPECT_TRUE(d.shown.empty());

  vt = -1;
  EXPECT_FALSE(DIX(d, 1500, 1800, 500, 100, vt));
  EXPECT_FALSE(DIX(d, 3000, 1000, 100, 500, vt));  // a negative quantity under the root
  EXPECT_FALSE(DIX(d, 1500, 1600, 100, 100, vt));  // equal times
  EXPECT_FALSE(DIX(d, 1e200, 1e200, 1, 2, vt));
  EXPECT_EQ(vt, -1);  // never assigned on a failure
  ASSERT_EQ(d.shown.size(), 4u);
  EXPECT_EQ(d.shown[0].text, " Times interval must be increasing...");
  EXPECT_EQ(d.shown[1].text, "Invalid procedure call or argument\r\n This low velocity is impossible...");
  EXPECT_EQ(d.shown[2].text, "Division by zero\r\n This low velocity is impossible...");
  EXPECT_EQ(d.shown[3].text, "Overflow\r\n This low velocity is impossible...");
  for (const auto& shown : d.shown) {
    EXPECT_EQ(shown.style, msg::kExclamation);
    EXPECT_EQ(shown.title, "Korvane Printer 4.2");
  }
}

TEST(VelocityPanel, BoxesGrowWithThePicksUpToEightRows) {
  PanelPage none;
  none.UseTable({{104, {}, {}}});
  EXPECT_EQ(none.Panels(),
            "pen 0 0\n"
            "line 3402 3708 3402 2508\n"
            "brush 16777215 1\n"
            "polygon  3402 2008 4702 2008 4702 2248 3402 2248\n"
            "line 3402 2208 4702 2208\n"
            "font Arial|7|1\n"
            "text 3502 2038   ms Vnmo  Vint \n");

  PanelPage ten;
  std::vector<int> times, velocities;
  for (int i = 1; i <= 10; ++i) {
    times.push_back(100 * i);
    velocities.push_back(1500 + 100 * i);
  }
  ten.UseTable({{104, times, velocities}});
  const std::string dump = ten.Panels();
  EXPECT_NE(dump.find("polygon  3402 2008 4702 2008 4702 3528 3402 3528\n"), std::string::npos);
  EXPECT_NE(dump.find("text 3502 3308    800  2300"), std::string::npos) << dump;  // row 8
  EXPECT_EQ(dump.find("   900  2400"), std::string::npos);
  size_t rows = 0;
  for (size_t at = 0; (at = dump.find("text 3502", at)) != std::string::npos; ++at) ++rows;
  EXPECT_EQ(rows, 1u + 8u);
}

TEST(VelocityPanel, FunctionsLandOnTheColumnOfTheirCdp) {
  const std::vector<Function> functions = {
      {101, {100}, {1500}}, {105, {100}, {1500}}, {110, {100}, {1500}},
      {200, {100}, {1500}}, {0, {100}, {1500}},   {-5, {100}, {1500}}};
  PanelPage normal;
  normal.UseTable(functions);
  EXPECT_EQ(MarkerColumns(normal.Panels()), (std::vector<double>{0, 4}));

  // In inverse order the same traces carry the panels, mirrored; the
  // first trace is not drawn twice.
  PanelPage inverse;
  inverse.UseTable(functions);
  inverse.p.form().SetValue(kInverseTraces, 1);
  EXPECT_EQ(MarkerColumns(inverse.Panels()), (std::vector<double>{5, 9}));

  // Inverse order on 19 of 20 traces: the last plotted trace stands at the
  // first column, and its next trace is in the file, so its function is
  // drawn there.
  PanelPage partial;
  ASSERT_TRUE(test::WriteSuFile(partial.su, test::MakeTraces(20, 100, 4000)));
  partial.p.Start(partial.su);
  partial.p.form().SetText(kPlotWidthMm, "100");
  partial.p.form().SetText(kSectionTopMm, "40");
  partial.p.form().SetText(kFirstTrace, "1");
  partial.p.form().SetText(kLastTrace, "19");
  partial.UseTable({{119, {100}, {1500}}, {101, {100}, {1500}}, {120, {100}, {1500}}});
  partial.p.form().SetValue(kInverseTraces, 1);
  const std::vector<double> inverseColumns = MarkerColumns(partial.Panels());
  // In normal order the last column still draws nothing: CDP 101 alone, at
  // the first column, where inverse order draws CDP 119.
  partial.p.form().SetValue(kInverseTraces, 0);
  const std::vector<double> normalColumns = MarkerColumns(partial.Panels());
  ASSERT_EQ(normalColumns.size(), 1u);
  ASSERT_EQ(inverseColumns.size(), 2u);  // CDP 120 (trace 20) is not plotted
  EXPECT_EQ(inverseColumns.front(), normalColumns.front());

  // CDPs rising by 10: a function between two traces' CDPs goes to the
  // earlier trace.
  PanelPage sparse;
  auto traces = test::MakeTraces(10, 100, 4000);
  for (size_t i = 0; i < traces.size(); ++i) traces[i].Set(su::kCdp, 1000 + 10 * double(i));
  ASSERT_TRUE(test::WriteSuFile(sparse.su, traces));
  sparse.UseTable({{1034, {100}, {1500}}, {1090, {100}, {1500}}, {1089, {100}, {1500}}});
  EXPECT_EQ(MarkerColumns(sparse.Panels()), (std::vector<double>{3, 8}));
}

TEST(VelocityPanel, FailingPicksShowTheirMessagesAndTheBuildGoesOn) {
  PanelPage page;
  page.UseTable({{103, {100, 500, 300}, {1500, 1800, 2000}},
                 {106, {100, 500, 900}, {3000, 1000, 2000}}});
  page.p.form().SetValue(kVelocityDrawing, 1);
  page.p.form().Fire(kDisplayButton, FieldEvent::Click);
  EXPECT_EQ(page.p.state.page.PageCount(), 1);
  ASSERT_EQ(page.p.dialogs.shown.size(), 2u);
  EXPECT_EQ(page.p.dialogs.shown[0].text, " Times interval must be increasing...");
  EXPECT_EQ(page.p.dialogs.shown[1].text,
            "Invalid procedure call or argument\r\n This low velocity is impossible...");

  const std::string dump = DumpPage(page.p.state.page);
  // A pick without an interval velocity shows none, not another pick's.
  EXPECT_NE(dump.find(" 2558    300  2000\n"), std::string::npos) << dump;
  EXPECT_NE(dump.find(" 2408    500  1000\n"), std::string::npos);
  EXPECT_NE(dump.find(" 2558    900  2000  2783\n"), std::string::npos);  // the next pick goes on
}

TEST(VelocityPanel, FileFromText21OrBesideTheSuFileInAnyCase) {
  PanelPage beside;
  ASSERT_TRUE(test::WriteBytes(beside.dir + "/TEN.Vel", TableText({{104, {100}, {1500}}})));
  beside.p.form().SetText(kVelocityModelFile, "*.NMO");  // five characters: no choice
  EXPECT_EQ(MarkerColumns(beside.Panels()), (std::vector<double>{3}));
  EXPECT_TRUE(beside.p.dialogs.shown.empty());
  EXPECT_EQ(beside.p.form().Text(kVelocityModelFile), "*.NMO");

  // A pick file is converted once; Text21 then names the table file.
  PanelPage picks;
  ASSERT_TRUE(test::WriteBytes(picks.dir + "/x.NMO", "sunmo cdp=105 tnmo=0.1,0.5 vnmo=1500,1800\n"));
  picks.p.form().SetText(kVelocityModelFile, picks.dir + "/x.NMO");
  std::string dump = picks.Panels();
  EXPECT_EQ(picks.p.form().Text(kVelocityModelFile), picks.dir + "/x.VEL");
  EXPECT_NE(dump.find("text 4069 2408    500  1800  1867\n"), std::string::npos) << dump;
  ASSERT_TRUE(test::WriteBytes(picks.dir + "/x.NMO", "sunmo cdp=107 tnmo=0.1 vnmo=1500\n"));
  EXPECT_EQ(MarkerColumns(picks.Panels()), (std::vector<double>{4}));
}

TEST(VelocityPanel, AMissingFileIsLocatedOrNothingIsDrawn) {
  PanelPage page;
  ASSERT_TRUE(test::WriteBytes(page.dir + "/picks.nmo", "cdp=102 tnmo=0.2 vnmo=1600"));
  page.p.dialogs.files = {page.dir + "/picks.nmo"};
  EXPECT_EQ(MarkerColumns(page.Panels()), (std::vector<double>{1}));
  ASSERT_EQ(page.p.dialogs.shown.size(), 1u);
  EXPECT_EQ(page.p.dialogs.shown[0].text, "You must locate your velocity model file");
  EXPECT_EQ(page.p.dialogs.shown[0].style, msg::kInformation);
  const CommonDialogFields& request = page.p.dialogs.requests.back();
  EXPECT_EQ(request.filter, "SU VEL velocity model|*.NMO|VEL file|*.VEL|All files|*.*|");
  EXPECT_EQ(request.title, "Velocity model selection");
  EXPECT_EQ(request.fileName, "*.NMO");
  EXPECT_EQ(request.initialFolder, page.p.state.su.DataFolder);
  EXPECT_FALSE(request.cancelError);
  EXPECT_EQ(page.p.form().Text(kVelocityModelFile), page.dir + "/picks.VEL");

  PanelPage cancelled;
  cancelled.p.form().SetText(kVelocityModelFile, cancelled.dir + "/gone.VEL");
  const std::string dump = cancelled.Panels();
  EXPECT_EQ(dump.find("Vnmo"), std::string::npos);
  EXPECT_EQ(cancelled.p.form().Text(kVelocityModelFile), "*.NMO");
  EXPECT_EQ(cancelled.p.dialogs.shown.size(), 1u);
}

TEST(VelocityPanel, Command4ChoosesTheFileAheadOfTime) {
  ScriptedDialogs dialogs;
  ProgramState state(dialogs);  // wired as the program wires it
  state.su.DataFolder = test::TempDir() + "/";
  AttachProgramHandlers(state);
  dialogs.files = {state.su.DataFolder + "model.NMO", std::nullopt};
  state.form.Fire(kVelocityModelButton, FieldEvent::Click);
  EXPECT_EQ(state.form.Text(kVelocityModelFile), state.su.DataFolder + "model.NMO");
  ASSERT_EQ(dialogs.requests.size(), 1u);
  const CommonDialogFields& request = dialogs.requests.back();
  EXPECT_EQ(request.filter, "SU NMO velocity model|*.NMO|VEL file|*.NMO|All files|*.*|");
  EXPECT_EQ(request.title, "Velocity model selection");
  EXPECT_EQ(request.fileName, "*.NMO");
  EXPECT_EQ(request.initialFolder, state.su.DataFolder);
  EXPECT_FALSE(request.cancelError);

  state.form.Fire(kVelocityModelButton, FieldEvent::Click);  // cancelled
  EXPECT_EQ(state.form.Text(kVelocityModelFile), "*.NMO");
}

TEST(VelocityPanel, DamagedTablesAndSuFilesNeverFault) {
  const std::string dir = test::TempDir();
  ASSERT_TRUE(test::WriteBytes(dir + "/a.VEL", "104,100 x 500\r\n1e99 -7.5 2.5"));
  const VelocityTable t = ReadVelocityTable(dir + "/a.VEL");
  EXPECT_EQ(t.At(1, 1), 104);
  EXPECT_EQ(t.At(1, 2), 100);
  EXPECT_EQ(t.At(1, 3), 0);  // "x" takes its cell
  EXPECT_EQ(t.At(1, 4), 500);
  EXPECT_EQ(t.At(1, 5), 0);  // out of range
  EXPECT_EQ(t.At(1, 6), -8);
  EXPECT_EQ(t.At(1, 7), 2);
  EXPECT_EQ(ReadVelocityTable(dir + "/none.VEL").At(1, 1), 0);

  std::mt19937 random(11);
  for (int round = 0; round < 20; ++round) {
    std::string bytes;
    const size_t size = random() % 4000;
    for (size_t i = 0; i < size; ++i) {
      const unsigned r = random() % 16;
      bytes += r < 10 ? char('0' + r) : r < 13 ? ' ' : r == 13 ? '-' : char(random());
    }
    PanelPage page;
    ASSERT_TRUE(test::WriteBytes(page.dir + "/model.VEL", bytes));
    page.p.form().SetText(kVelocityModelFile, page.dir + "/model.VEL");
    page.p.dialogs.maxQuestions = 100000;
    page.Panels();
    // The SU file cut short: columns past its end draw nothing.
    ASSERT_TRUE(test::WriteBytes(page.su, test::ReadBytes(page.su).substr(0, 3 * 640)));
    page.Panels();
  }
}

}  // namespace
}  // namespace tavelo
