// One small page, every step of the build, against its golden display list.
// Regenerate (after checking the difference by eye) with
//   TAVELO_UPDATE_GOLDEN=1 test_render --gtest_filter=GoldenPage.*

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "settings/form_fields.h"
#include "support/program_fixture.h"
#include "support/su_writer.h"

namespace tavelo {
namespace {

std::string GoldenPath(const char* name) {
  return std::string(TAVELO_SOURCE_DIR) + "/tests/render/golden/" + name;
}

void CheckGolden(const std::string& dump, const char* name) {
  const std::string path = GoldenPath(name);
  if (std::getenv("TAVELO_UPDATE_GOLDEN")) {
    ASSERT_TRUE(test::WriteBytes(path, dump));
    return;
  }
  const std::string golden = test::ReadBytes(path);
  ASSERT_FALSE(golden.empty()) << "missing " << path;
  EXPECT_EQ(dump, golden);
}

// Four traces of twelve samples: a dipping event, one negative lobe, a
// static on the third trace; labels every two traces, time lines every
// 8 ms, both diagrams that read headers.
std::string SmallLine() {
  auto traces = test::MakeTraces(4, 12, 2000, [](int s, int t) {
    return static_cast<float>(std::sin((s - 3 - t) * 0.9) * 4.0);
  });
  for (int t = 0; t < 4; ++t) {
    auto& tr = traces[static_cast<size_t>(t)];
    tr.Set(su::kSdel, 150).Set(su::kNhs, 2 + t).Set(su::kScalel, -10);
    tr.Set(su::kGelev, 1200 + 40 * t).Set(su::kD2AsInt, 500);
  }
  traces[2].Set(su::kTstat, 4);
  const std::string path = test::TempFile("small.su");
  EXPECT_TRUE(test::WriteSuFile(path, traces));
  return path;
}

TEST(GoldenPage, SmallSectionWithLabelsLinesAndDiagrams) {
  test::ProgramFixture p;
  p.Start(SmallLine());
  Form& f = p.form();
  f.SetText(kPlotTitle, "Small line");
  f.SetText(kPlotWidthMm, "40");
  f.SetText(kProfileHeightMm, "30");
  f.SetText(kSectionTopMm, "60");
  f.SetText(kFoldTopMm, "30");
  f.SetText(kElevationTopMm, "20");
  f.SetText(kTimeLineSpacingMs, "8");
  f.SetText(kLabelSpacing, "2");
  f.SetText(kFirstLabel, "1");
  f.SetText(kFoldMaximum, "6");
  f.SetValue(kTimeSection, 1);
  f.SetValue(kFoldDrawing, 1);
  f.SetValue(kElevationDiagram, 1);
  f.SetValue(kTopoDrawing, 1);
  DoDocument(p.state);
  ASSERT_EQ(p.state.page.PageCount(), 1);
  CheckGolden(DumpPage(p.state.page), "small_page.dump");
}

}  // namespace
}  // namespace tavelo
