// The annotations around the section: time and depth lines, trace and
// station labels, title, orientation texts and the history block.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "render/labels.h"
#include "render/time_lines.h"
#include "render/title.h"
#include "settings/form_fields.h"
#include "support/program_fixture.h"
#include "support/su_writer.h"

namespace tavelo {
namespace {

using test::ProgramFixture;

struct PlacedText {
  double x, y;
  std::string text;
};

// Texts drawn on the page, optionally only those at one y.
std::vector<PlacedText> Texts(const PageDocument& page) {
  std::vector<PlacedText> out;
  for (const PageOp& op : page.ops())
    if (op.kind == OpKind::Text) out.push_back({op.x, op.y, page.texts()[op.index]});
  return out;
}
std::vector<std::string> TextsAt(const PageDocument& page, double y) {
  std::vector<std::string> out;
  for (const PlacedText& t : Texts(page))
    if (t.y == y) out.push_back(t.text);
  return out;
}
std::vector<PageOp> Lines(const PageDocument& page) {
  std::vector<PageOp> out;
  for (const PageOp& op : page.ops())
    if (op.kind == OpKind::Line) out.push_back(op);
  return out;
}

// ---------------------------------------------------------------- time lines

struct TimeLineCase : ::testing::Test {
  ProgramFixture p;
  void SetUp() override {
    p.state.su.SampleInterval = 4000;
    PlotLayout& l = p.state.layout;
    l.SectionTop = 1000;
    l.SectionWidth = 2000;
    l.SectionHeight = 2500;
    l.SamplesToDraw = 250;
    p.state.page.SetLeftMargin(1000);
    p.state.page.BeginDocument();
    p.state.page.SetPenWidth(37);  // whatever the earlier drawing left
  }
  std::vector<std::string> Values() {
    std::vector<std::string> out;
    for (const PlacedText& t : Texts(p.state.page)) out.push_back(t.text);
    return out;
  }
};

TEST_F(TimeLineCase, LinesEveryStepDownToTheBottomEdgeWithTheirTimes) {
  p.form().SetValue(kTimeSection, 1);
  p.state.layout.TimeLineSpacing = 100;
  Affichage_line_Temps(p.state);
  const auto lines = Lines(p.state.page);
  ASSERT_EQ(lines.size(), 10u);
  for (size_t i = 0; i < lines.size(); ++i) {
    const double y = 1000 + 250.0 * static_cast<double>(i + 1);
    EXPECT_EQ(lines[i].y, y);
    EXPECT_EQ(lines[i].y2, y);
    EXPECT_EQ(lines[i].x, 1000);
    EXPECT_EQ(lines[i].x2, 3000);
  }
  EXPECT_EQ(lines.back().y, 3500);  // the section's bottom edge
  EXPECT_EQ(Values(), (std::vector<std::string>{" 100 ms", " 200 ms", " 300 ms", " 400 ms",
                                                " 500 ms", " 600 ms", " 700 ms", " 800 ms",
                                                " 900 ms", " 1000 ms"}));
  const std::string head =
      "page 11906 16838 1000 1440\n"
      "pen 0 37\n"  // the pen is left as it was
      "line 1000 1250 3000 1250\n"
      "font Arial|8|0\n"
      "text 250 1150  100 ms\n";
  EXPECT_EQ(DumpPage(p.state.page).substr(0, head.size()), head);
}

TEST_F(TimeLineCase, ATimeWindowedFileCountsFromItsFirstTracesDelay) {
  // suwind tmin=0.8: delrt 800 ms in every header.
  auto traces = test::MakeTraces(3, 250, 4000);
  for (auto& t : traces) t.Set(su::kDelrt, 800);
  const std::string path = test::TempFile("windowed.su");
  ASSERT_TRUE(test::WriteSuFile(path, traces));
  p.state.su.ActiveFilePath = path;
  p.state.su.SamplesPerTrace = 250;
  p.state.layout.TimeLineSpacing = 100;
  p.form().SetValue(kTimeSection, 1);
  Affichage_line_Temps(p.state);
  ASSERT_EQ(Values().size(), 10u);
  EXPECT_EQ(Values().front(), " 900 ms");
  EXPECT_EQ(Values().back(), " 1800 ms");

  // Depth sections and a delrt of 0 are labelled as before.
  p.state.page.BeginDocument();
  p.form().SetValue(kTimeSection, 0);
  p.form().SetText(kDatum, "300");
  Affichage_line_Temps(p.state);
  EXPECT_EQ(Values().front(), " 200 m");
  for (auto& t : traces) t.Set(su::kDelrt, 0);
  ASSERT_TRUE(test::WriteSuFile(path, traces));
  p.state.page.BeginDocument();
  p.form().SetValue(kTimeSection, 1);
  Affichage_line_Temps(p.state);
  EXPECT_EQ(Values().front(), " 100 ms");
}

TEST_F(TimeLineCase, RoundedStepKeepsCountingTheSpacingAskedFor) {
  p.form().SetValue(kTimeSection, 1);
  p.state.su.SampleInterval = 3000;  // 10 ms is 3.33 samples: lines every 3
  p.state.layout.SamplesToDraw = 10;
  p.state.layout.SectionHeight = 1000;
  p.state.layout.TimeLineSpacing = 10;
  Affichage_line_Temps(p.state);
  const auto lines = Lines(p.state.page);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].y, 1300);
  EXPECT_EQ(lines[1].y, 1600);
  EXPECT_EQ(lines[2].y, 1900);
  EXPECT_EQ(Values(), (std::vector<std::string>{" 10 ms", " 20 ms", " 30 ms"}));
}

TEST_F(TimeLineCase, SpacingUnderHalfASampleOrBadIntervalDrawsNothing) {
  p.form().SetValue(kTimeSection, 1);
  for (double spacing : {0.0, 1.0, 2.0, -100.0}) {  // 2 ms is half a sample: rounds to 0
    p.state.layout.TimeLineSpacing = spacing;
    Affichage_line_Temps(p.state);
  }
  p.state.layout.TimeLineSpacing = 100;
  p.state.su.SampleInterval = 0;
  Affichage_line_Temps(p.state);
  EXPECT_TRUE(p.state.page.ops().empty());
  // 6 ms is 1.5 samples, which rounds to 2.
  p.state.su.SampleInterval = 4000;
  p.state.layout.TimeLineSpacing = 6;
  Affichage_line_Temps(p.state);
  EXPECT_EQ(Lines(p.state.page).size(), 125u);
}

TEST_F(TimeLineCase, DepthSectionCountsDownFromTheDatum) {
  p.form().SetValue(kTimeSection, 0);
  p.form().SetText(kDatum, "300");
  p.state.su.SampleInterval = 1000;
  p.state.layout.SamplesToDraw = 350;
  p.state.layout.TimeLineSpacing = 50;
  Affichage_line_Temps(p.state);
  EXPECT_EQ(Values(), (std::vector<std::string>{" 250 m", " 200 m", " 150 m", " 100 m", " 50 m",
                                                " 0 m", "-50 m"}));
}

TEST_F(TimeLineCase, LongTallSectionsKeepTheirPositionsAndValues) {
  // Values past 32767 and k * SectionHeight past 32 bits stay exact.
  p.form().SetValue(kTimeSection, 1);
  p.state.su.SampleInterval = 1000;
  p.state.layout.SamplesToDraw = 100000;
  p.state.layout.SectionHeight = 100000;
  p.state.layout.TimeLineSpacing = 40000;
  Affichage_line_Temps(p.state);
  const auto lines = Lines(p.state.page);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1].y, 81000);
  EXPECT_EQ(Values(), (std::vector<std::string>{" 40000 ms", " 80000 ms"}));
}

// -------------------------------------------------------------------- labels

struct LabelCase : ::testing::Test {
  ProgramFixture p;
  std::string path;
  double top = 0;

  // Writes the traces, starts on them and sets the range to all of them.
  void Start(const std::vector<test::SuTrace>& traces) {
    path = test::TempFile("line.su");
    ASSERT_TRUE(test::WriteSuFile(path, traces));
    p.Start(path);
    p.form().SetText(kSectionTopMm, "10");  // 567 + 1440
    top = 2007;
    PlotLayout& l = p.state.layout;
    l.FirstTrace = 1;
    l.LastTrace = static_cast<int32_t>(traces.size());
    l.TraceSpacing = 100;
  }
  void Label(const std::string& firstLabel, const std::string& spacing) {
    p.form().SetText(kFirstLabel, firstLabel);
    p.form().SetText(kLabelSpacing, spacing);
    p.state.page.BeginDocument();
    Affichage_Label(p.state);
  }
  std::vector<std::string> Numbers() { return TextsAt(p.state.page, top - 300); }
  std::vector<std::string> Stations() { return TextsAt(p.state.page, top - 500); }
};

TEST_F(LabelCase, EveryFifthNumberFromTheFirstLabel) {
  Start(test::MakeTraces(30, 4, 4000));
  Label("10", "5");
  EXPECT_EQ(Numbers(), (std::vector<std::string>{"Trace", " 10", " 15", " 20", " 25", " 30"}));
  EXPECT_EQ(p.state.settings.FirstLabel, 10);
  EXPECT_EQ(p.state.layout.SectionTop, 2007);

  // The first number is centred on its column with its tick under it.
  const auto texts = Texts(p.state.page);
  EXPECT_EQ(texts[0].x, 1417.5 - 800);
  EXPECT_EQ(texts[1].x, 1417.5 + 50 + 900 - 100);
  const auto ticks = Lines(p.state.page);
  ASSERT_EQ(ticks.size(), 5u);
  EXPECT_EQ(ticks[0].x, 2367.5);
  EXPECT_EQ(ticks[0].y, top);
  EXPECT_EQ(ticks[0].y2, top - 100);
  EXPECT_EQ(p.state.page.pens()[ticks[0].index].width, 20);
  EXPECT_EQ(p.state.page.pen().width, 10);  // what the time lines then use

  // A first label under the first number moves the target on once.
  Label("0", "5");
  EXPECT_EQ(Numbers(), (std::vector<std::string>{"Trace", " 5", " 10", " 15", " 20", " 25",
                                                 " 30"}));
}

TEST_F(LabelCase, NumbersThatNeverMeetTheTargetGetNoLabelButTheCaption) {
  auto traces = test::MakeTraces(20, 4, 4000);
  for (size_t t = 0; t < traces.size(); ++t) traces[t].Set(su::kTracl, 101.0 + t);
  Start(traces);
  Label("10", "5");
  EXPECT_EQ(Numbers(), std::vector<std::string>{"Trace"});
  EXPECT_TRUE(Lines(p.state.page).empty());
}

TEST_F(LabelCase, TraclZeroIsLabelledByPositionAndSpacingZeroIsTen) {
  auto traces = test::MakeTraces(30, 4, 4000);
  for (auto& t : traces) t.Set(su::kTracl, 0);
  Start(traces);
  Label("10", "0");
  EXPECT_EQ(Numbers(), (std::vector<std::string>{"Trace", " 10", " 20", " 30"}));
  EXPECT_EQ(p.state.layout.LabelSpacing, 10);
  Label("10", "");
  EXPECT_EQ(Numbers(), (std::vector<std::string>{"Trace", " 10", " 20", " 30"}));
}

TEST_F(LabelCase, InverseOrderCountsDownFromTheFirstLabel) {
  Start(test::MakeTraces(10, 4, 4000));
  p.form().SetValue(kInverseTraces, 1);
  Label("10", "2");
  EXPECT_EQ(Numbers(), (std::vector<std::string>{"Trace", " 10", " 8", " 6", " 4", " 2"}));
  const auto ticks = Lines(p.state.page);
  ASSERT_EQ(ticks.size(), 5u);
  EXPECT_EQ(ticks[0].x, 1467.5);  // trace 10 is in the first column
  EXPECT_EQ(ticks[1].x, 1667.5);
}

TEST_F(LabelCase, StationRowFromTheChosenWord) {
  auto traces = test::MakeTraces(8, 4, 4000, {}, 201);
  for (size_t t = 0; t < traces.size(); ++t) traces[t].Set(su::kSx, -5.0 * static_cast<double>(t));
  Start(traces);
  p.form().SetValue(kCdpNumbering, 1);
  p.form().SetValue(kStationNumbers, 1);
  p.form().SetText(kStationHeaderWord, "station");
  Label("201", "2");
  EXPECT_EQ(Numbers(), (std::vector<std::string>{"CDP", " 201", " 203", " 205", " 207"}));
  // Half the CDP number, halves to even.
  EXPECT_EQ(Stations(), (std::vector<std::string>{"Station n\u00b0", " 100", " 102", " 102",
                                                  " 104"}));

  p.form().SetListIndex(kStationHeaderWord, 3);  // "sx"
  ASSERT_EQ(p.form().Text(kStationHeaderWord), "sx");
  Label("201", "2");
  EXPECT_EQ(Stations(), (std::vector<std::string>{"Station n\u00b0", " 0", "-10", "-20", "-30"}));

  EXPECT_EQ(StationWordFor("ep").field.offset, 16);
  EXPECT_EQ(StationWordFor("gx").field.offset, 80);
  EXPECT_EQ(StationWordFor("cdp").divisor, 1);
  EXPECT_EQ(StationWordFor("CDP").divisor, 2);  // exact comparison
  EXPECT_EQ(StationWordFor("").field.offset, 20);
}

TEST_F(LabelCase, LargeCdpNumbersAndRangesPastTheFile) {
  Start(test::MakeTraces(10, 4, 4000, {}, 40000));
  p.form().SetValue(kCdpNumbering, 1);
  p.form().SetValue(kStationNumbers, 1);
  p.form().SetText(kStationHeaderWord, "cdp");
  p.state.layout.LastTrace = 2000000000;  // far past the file: must not spin
  Label("40000", "5");
  EXPECT_EQ(Numbers(), (std::vector<std::string>{"CDP", " 40000", " 40005"}));
  EXPECT_EQ(Stations(), (std::vector<std::string>{"Station n\u00b0", " 40000", " 40005"}));

  p.form().SetValue(kInverseTraces, 1);
  p.state.layout.LastTrace = 12;  // two columns past the end come first
  Label("40009", "3");
  EXPECT_EQ(Numbers(), (std::vector<std::string>{"CDP", " 40009", " 40006", " 40003",
                                                 " 40000"}));
}

// ------------------------------------------------- title, orientation, history

TEST(TitleAndOrientation, PlacedAboveTheSectionAndSkippedWhenBothEmpty) {
  ProgramFixture p;
  p.state.layout.SectionTop = 3000;
  p.state.layout.SectionWidth = 5000;
  p.form().SetText(kPlotTitle, "Line 7");
  p.form().SetText(kLeftOrientation, "");
  p.form().SetText(kRightOrientation, "East");
  p.state.page.SetLeftMargin(1000);
  p.state.page.SetTopMargin(2000);  // the title stays 15 mm from the paper's edge
  p.state.page.BeginDocument();
  DrawTitle(p.state);
  DrawOrientationTexts(p.state);
  p.form().SetValue(kVelocityDrawing, 1);
  DrawOrientationTexts(p.state);
  EXPECT_EQ(DumpPage(p.state.page),
            "page 11906 16838 1000 2000\n"
            "font Arial|14|0\n"
            "text 1000 850.5 Line 7\n"
            "text 1000 2200 \n"
            "text 5000 2200 East\n"
            "text 1000 900 \n"
            "text 5000 900 East\n");
  EXPECT_EQ(p.state.settings.LeftOrientation, "");
  EXPECT_EQ(p.state.settings.RightOrientation, "East");

  p.form().SetText(kRightOrientation, "");
  p.state.page.BeginDocument();
  DrawOrientationTexts(p.state);
  EXPECT_TRUE(p.state.page.ops().empty());
  EXPECT_EQ(p.state.settings.RightOrientation, "");
}

TEST(History, LowerCaseCoversEveryScript) {
  EXPECT_EQ(HistoryLowerCase("SUFILTER F=10,20 \u00c9T\u00c9 \u00d7 \u00de\u00df"),
            "sufilter f=10,20 \u00e9t\u00e9 \u00d7 \u00fe\u00df");
  EXPECT_EQ(HistoryLowerCase("\u0152\u0160\u017d\u0178 \u03a9"), "\u0153\u0161\u017e\u00ff \u03c9");
  EXPECT_EQ(HistoryLowerCase("A\xc3"), "a\xc3");  // a cut sequence is kept
  EXPECT_EQ(HistoryLowerCase("\u041f\u0440\u043e\u0444\u0438\u043b\u044c 7 \u2013 \u03a9\u03bc\u03ad\u03b3\u03b1, \u0141\u00f3d\u017a"),
            "\u043f\u0440\u043e\u0444\u0438\u043b\u044c 7 \u2013 \u03c9\u03bc\u03ad\u03b3\u03b1, \u0142\u00f3d\u017a");
}

struct HistoryCase : ::testing::Test {
  ProgramFixture p;
  std::string dir;
  void Start(const std::string& suName, const std::string* historyName, const std::string& text) {
    dir = test::TempDir();
    const std::string su = dir + "/" + suName;
    ASSERT_TRUE(test::WriteSuFile(su, test::MakeTraces(4, 10, 4000)));
    if (historyName) {
      ASSERT_TRUE(test::WriteBytes(dir + "/" + *historyName, text));
    }
    p.Start(su);
    p.form().SetText(kElevationTopMm, "100");  // 5670 + 1440
    p.form().SetValue(kPrintHistory, 1);
  }
  std::vector<std::string> History() { return TextsAt(p.state.page, 7110); }
};

TEST_F(HistoryCase, PresentFilePrintsTheEditorTextInLowerCaseAfterEdits) {
  const std::string name = "line.txt";
  Start("line.su", &name, "SUGAIN AGC=1\r\nSUSTACK");
  EXPECT_EQ(p.state.editorText, "SUGAIN AGC=1\r\nSUSTACK");
  DoDocument(p.state);
  EXPECT_EQ(History(), std::vector<std::string>{"sugain agc=1\r\nsustack"});
  EXPECT_TRUE(p.dialogs.requests.empty());

  p.state.editorText += "\r\nSUMUTE";
  DoDocument(p.state);
  EXPECT_EQ(History(), std::vector<std::string>{"sugain agc=1\r\nsustack\r\nsumute"});
  const auto texts = Texts(p.state.page);
  EXPECT_EQ(texts.back().x, 1417.5);
  EXPECT_EQ(p.state.page.fonts().back().size, 8);

  p.form().SetValue(kPrintHistory, 0);
  DoDocument(p.state);
  EXPECT_TRUE(History().empty());
}

TEST_F(HistoryCase, ExtensionOfOtherLengthsLosesTwoCharactersAllTheSame) {
  const std::string name = "line.setxt";
  Start("line.segy", &name, "From Setxt");
  DoDocument(p.state);
  EXPECT_EQ(History(), std::vector<std::string>{"from setxt"});
  EXPECT_TRUE(p.dialogs.requests.empty());
}

TEST_F(HistoryCase, AbsentFileAsksForABatchFile) {
  Start("line.su", nullptr, "");
  p.state.editorText = "Typed IN The Editor";
  DoDocument(p.state);  // no file queued: the dialog is cancelled
  ASSERT_EQ(p.dialogs.requests.size(), 1u);
  const CommonDialogFields& r = p.dialogs.requests[0];
  EXPECT_EQ(r.title, "Korvane Batch file");
  EXPECT_EQ(r.filter, "Seismic Unix batch|*.bat|All files|*.*|");
  EXPECT_EQ(r.filterIndex, 1);
  EXPECT_EQ(r.initialFolder, p.state.su.DataFolder);
  EXPECT_EQ(r.fileName, "*.bat");
  EXPECT_EQ(r.flags, 4096);
  EXPECT_EQ(History(), std::vector<std::string>{"typed in the editor"});

  const std::string batch = dir + "/JOB.bat";
  ASSERT_TRUE(test::WriteBytes(batch, "SUNMO VNMO=1500\n"));
  p.dialogs.files.push_back(batch);
  DoDocument(p.state);
  EXPECT_EQ(History(), std::vector<std::string>{"sunmo vnmo=1500\n"});
  EXPECT_EQ(p.state.editorText, "SUNMO VNMO=1500\n");  // loaded into the editor
}

}  // namespace
}  // namespace tavelo
