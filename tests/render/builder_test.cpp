// The page builder's set-up: questions, geometry, the width check, the frame
// and the axis caption, and a golden dump of one small page.

#include <gtest/gtest.h>

#include "common/numeric.h"
#include "support/program_fixture.h"
#include "support/su_writer.h"

namespace tavelo {
namespace {

using test::ProgramFixture;

std::string TenTraceFile() {
  const std::string path = test::TempFile("ten.su");
  auto traces = test::MakeTraces(10, 1000, 4000);
  EXPECT_TRUE(test::WriteSuFile(path, traces));
  return path;
}

TEST(PageBuilder, DefaultsGiveTheSquareFrameAndTheDepthCaption) {
  ProgramFixture p;
  p.Start(TenTraceFile());
  ASSERT_EQ(p.dialogs.asked.size(), 1u);  // the datum question, answered " 0"
  p.form().Fire("Command1", FieldEvent::Click);
  EXPECT_EQ(p.form().Value("SSTab1"), 1);

  const PlotLayout& l = p.state.layout;
  EXPECT_EQ(l.SectionWidth, 1984);
  EXPECT_EQ(l.SectionHeight, 1984);
  EXPECT_EQ(l.SectionTop, 1553);  // Text9 "2": 113.4 + the top margin of 1440
  EXPECT_EQ(l.FirstTrace, 1);
  EXPECT_EQ(l.LastTrace, 10);
  EXPECT_EQ(l.SamplesToDraw, 1000);  // Text6 4000 ms / 4 ms
  EXPECT_DOUBLE_EQ(l.TraceSpacing, 198.4);
  EXPECT_FLOAT_EQ(l.MaxExcursion, 124.0f);

  const std::string dump = DumpPage(p.state.page);
  EXPECT_EQ(dump.substr(0, dump.find('\n')), "page 11906 16838 1417.5 1440");
  EXPECT_NE(dump.find("\npolygon  1417.5 1553 3401.5 1553 3401.5 3537 1417.5 3537\n"),
            std::string::npos);
  EXPECT_NE(dump.find("\ntext 1417.5 3637 Depth (m)\n"), std::string::npos);
}

TEST(PageBuilder, CaptionFollowsTimeDatumAndLanguage) {
  EXPECT_EQ(AxisCaption("E", false, 0), "Depth (m)");
  EXPECT_EQ(AxisCaption("E", false, -3), "Elevation (m)");
  EXPECT_EQ(AxisCaption("E", true, 250), "Time x 2 (ms)");
  EXPECT_EQ(AxisCaption("F", true, 0), "Temps double (ms)");
  EXPECT_EQ(AxisCaption("S", false, 1), "Altitud (m)");
  EXPECT_EQ(AxisCaption("I", false, 0), "Profondità (m)");
  EXPECT_EQ(AxisCaption("G", false, 5), "Höhe (m)");
  EXPECT_EQ(AxisCaption("e", true, 0), "");  // exact comparison
}

TEST(PageBuilder, SizeQuestionsRepeatUntilAWidthIsGiven) {
  ProgramFixture p;
  p.Start(TenTraceFile());
  p.form().SetText("Text4", "0");
  p.form().SetText("Text5", "");
  p.dialogs.asked.clear();
  p.dialogs.answers = {"", "0", "120", "x", "80"};
  DoDocument(p.state);
  ASSERT_EQ(p.dialogs.asked.size(), 5u);
  EXPECT_EQ(p.dialogs.asked[0].prompt, "Enter a plot width  value (mm)");
  EXPECT_EQ(p.dialogs.asked[0].defaultText, "200");
  EXPECT_EQ(p.dialogs.asked[3].prompt, "Enter a plot height  value (mm)");
  EXPECT_EQ(p.dialogs.asked[3].defaultText, "100");
  EXPECT_EQ(p.form().Text("Text4"), "120");
  EXPECT_EQ(p.form().Text("Text5"), "80");
  EXPECT_EQ(p.state.layout.SectionWidth, 6804);
}

TEST(PageBuilder, WidthCheckWarnsOneMillimetreTooWideButBuilds) {
  ProgramFixture p;
  p.Start(TenTraceFile());
  const char* kTooWide = " Your plot width is too large, correct size page or profile width";
  p.form().SetText("Text4", "190");  // page 210 mm - 20
  p.dialogs.shown.clear();
  DoDocument(p.state);
  EXPECT_TRUE(p.dialogs.shown.empty());
  p.form().SetText("Text4", "191");
  DoDocument(p.state);
  ASSERT_EQ(p.dialogs.shown.size(), 1u);
  EXPECT_EQ(p.dialogs.shown[0].text, kTooWide);
  EXPECT_EQ(p.dialogs.shown[0].style, msg::kCritical);
  EXPECT_EQ(p.state.page.PageCount(), 1);
}

TEST(PageBuilder, NoActiveFileBeginsNoDocumentAndLongTimesStopAtTheTrace) {
  ProgramFixture p;
  p.Start("");
  p.state.page.BeginDocument();
  p.state.page.DrawLine(0, 0, 10, 10);
  p.state.page.EndDocument();
  const std::string before = DumpPage(p.state.page);
  p.form().Fire("Command1", FieldEvent::Click);
  EXPECT_EQ(DumpPage(p.state.page), before);  // the old page stays
  EXPECT_EQ(p.form().Value("SSTab1"), 1);

  ProgramFixture q;
  q.Start(TenTraceFile());
  q.form().SetText("Text6", "99999");
  DoDocument(q.state);
  EXPECT_EQ(q.state.layout.SamplesToDraw, 1000);
  // A range of no traces keeps the trace spacing of the last build.
  q.form().SetText("Text2", "11");
  DoDocument(q.state);
  EXPECT_DOUBLE_EQ(q.state.layout.TraceSpacing, 198.4);
}

}  // namespace
}  // namespace tavelo
