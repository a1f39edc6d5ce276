// The page builder's set-up: questions, geometry, the width check, the frame
// and the axis caption, and a golden dump of one small page.

#include <gtest/gtest.h>

#include <new>

#include "common/numeric.h"
#include "settings/form_fields.h"
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
  p.form().Fire(kDisplayButton, FieldEvent::Click);
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
  p.form().SetText(kPlotWidthMm, "0");
  p.form().SetText(kProfileHeightMm, "");
  p.dialogs.asked.clear();
  p.dialogs.answers = {"", "0", "120", "x", "80"};
  DoDocument(p.state);
  ASSERT_EQ(p.dialogs.asked.size(), 5u);
  EXPECT_EQ(p.dialogs.asked[0].prompt, "Enter a plot width  value (mm)");
  EXPECT_EQ(p.dialogs.asked[0].defaultText, "200");
  EXPECT_EQ(p.dialogs.asked[3].prompt, "Enter a plot height  value (mm)");
  EXPECT_EQ(p.dialogs.asked[3].defaultText, "100");
  EXPECT_EQ(p.form().Text(kPlotWidthMm), "120");
  EXPECT_EQ(p.form().Text(kProfileHeightMm), "80");
  EXPECT_EQ(p.state.layout.SectionWidth, 6804);
}

TEST(PageBuilder, WidthCheckWarnsOneMillimetreTooWideButBuilds) {
  ProgramFixture p;
  p.Start(TenTraceFile());
  const char* kTooWide = " Your plot width is too large, correct size page or profile width";
  p.form().SetText(kPlotWidthMm, "190");  // page 210 mm - 20
  p.dialogs.shown.clear();
  DoDocument(p.state);
  EXPECT_TRUE(p.dialogs.shown.empty());
  p.form().SetText(kPlotWidthMm, "191");
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
  p.form().Fire(kDisplayButton, FieldEvent::Click);
  EXPECT_EQ(DumpPage(p.state.page), before);  // the old page stays
  EXPECT_EQ(p.form().Value("SSTab1"), 1);

  ProgramFixture q;
  q.Start(TenTraceFile());
  q.form().SetText(kTimeToDrawMs, "99999");
  DoDocument(q.state);
  EXPECT_EQ(q.state.layout.SamplesToDraw, 1000);
  // A range of no traces keeps the trace spacing of the last build.
  q.form().SetText(kFirstTrace, "11");
  DoDocument(q.state);
  EXPECT_DOUBLE_EQ(q.state.layout.TraceSpacing, 198.4);
}


// A section that would come out blank says why, in one message, and the
// page (frame, captions) is still built.
TEST(PageBuilder, ABlankSectionSaysWhyInOneMessage) {
  struct Case {
    FieldName field;
    const char* value;
    const char* reason;
  };
  for (const Case& c : {Case{kFirstTrace, "11", "the last trace (10) is before the first (11)"},
                        Case{kFirstTrace, "20", "is before the first"},
                        Case{kTimeToDrawMs, "0", "the total time to draw (0 ms) holds no sample"},
                        Case{kTimeToDrawMs, "3", "the total time to draw (3 ms) holds no sample"}}) {
    ProgramFixture p;
    p.Start(TenTraceFile());
    p.form().SetText(c.field, c.value);
    p.dialogs.shown.clear();
    DoDocument(p.state);
    ASSERT_EQ(p.dialogs.shown.size(), 1u) << c.value;
    EXPECT_EQ(p.dialogs.shown[0].text.rfind("Nothing is drawn in the section: ", 0), 0u);
    EXPECT_NE(p.dialogs.shown[0].text.find(c.reason), std::string::npos) << p.dialogs.shown[0].text;
    EXPECT_EQ(p.state.page.PageCount(), 1);
  }
  // A range past the end of the file.
  ProgramFixture p;
  p.Start(TenTraceFile());
  p.form().SetText(kLastTrace, "30");
  p.form().SetText(kFirstTrace, "20");
  p.dialogs.shown.clear();
  DoDocument(p.state);
  ASSERT_EQ(p.dialogs.shown.size(), 1u);
  EXPECT_NE(p.dialogs.shown[0].text.find("the traces 20 to 30 are not in the file, which holds 10"),
            std::string::npos)
      << p.dialogs.shown[0].text;
  // A section with something to draw says nothing.
  p.form().SetText(kFirstTrace, "1");
  p.form().SetText(kLastTrace, "10");
  p.dialogs.shown.clear();
  DoDocument(p.state);
  EXPECT_TRUE(p.dialogs.shown.empty());
}

// An allocation that fails in the middle of the trace pass (injected through
// the progress hook the pass calls after every column) is reported with the
// page's size; the half-built page is dropped and the program goes on.
TEST(PageBuilder, RunningOutOfMemoryIsReportedAndTheWindowStays) {
  ProgramFixture p;
  p.Start(TenTraceFile());
  p.state.progress = [](int64_t value, int64_t) {
    if (value == 3) throw std::bad_alloc();
  };
  p.dialogs.shown.clear();
  p.form().Fire(kDisplayButton, FieldEvent::Click);
  ASSERT_EQ(p.dialogs.shown.size(), 1u);
  EXPECT_EQ(p.dialogs.shown[0].text, "not enough memory to build this page (10 traces \u00D7 1000 samples)");
  EXPECT_EQ(p.dialogs.shown[0].style, msg::kCritical);
  EXPECT_EQ(p.state.page.PageCount(), 0);
  EXPECT_FALSE(p.state.building);
  EXPECT_EQ(p.form().Value("SSTab1"), 1);

  std::string failure;
  EXPECT_FALSE(BuildPageSafely(p.state, &failure));
  EXPECT_EQ(failure, p.dialogs.shown[0].text);
  p.state.progress = nullptr;
  EXPECT_TRUE(BuildPageSafely(p.state, &failure));
  EXPECT_EQ(p.state.page.PageCount(), 1);
}

}  // namespace
}  // namespace tavelo
