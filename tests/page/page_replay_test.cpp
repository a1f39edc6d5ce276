#include "page/page_replay.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "page/page_document.h"

namespace tavelo {
namespace {

// Writes what it is handed, one short line a call.
class RecordingSink : public PageSink {
 public:
  std::vector<std::string> calls;
  size_t stopAfter = SIZE_MAX;
  size_t done = 0;

  void Font(const FontState& f) override { calls.push_back("font " + f.name); }
  void Pen(const PenState& p) override { calls.push_back("pen " + std::to_string(p.color)); }
  void Brush(const BrushState& b) override { calls.push_back("brush " + std::to_string(b.style)); }
  void Text(const TextMark& t) override {
    calls.push_back(Numbered(t.number, "text " + t.text + " in " + t.font.name));
  }
  void Line(const LineMark& l) override { calls.push_back(Numbered(l.number, "line " + std::to_string(l.x2))); }
  void Polyline(PointsMark& m) override { calls.push_back(Numbered(m.number, "polyline " + Points(m))); }
  void Polygon(PointsMark& m) override {
    // Passed over without decoding: the count alone.
    calls.push_back(Numbered(m.number, "polygon of " + std::to_string(m.count)));
  }
  void Cells(CellsMark& m) override {
    std::string text = "cells";
    for (Color c : m.Colors()) text += " " + std::to_string(c);
    if (m.CoversNothing()) text += " covering nothing";
    calls.push_back(Numbered(m.number, text + " h " + std::to_string(static_cast<int>(m.cellHeight))));
  }
  bool OpDone() override { return ++done < stopAfter; }

 private:
  static std::string Numbered(size_t number, const std::string& text) {
    return std::to_string(number) + ": " + text;
  }
  static std::string Points(PointsMark& m) {
    const std::span<const float> first = m.Points();
    const std::span<const float> again = m.Points();  // decoded once, the same span
    std::string text;
    for (float v : first) text += std::to_string(static_cast<int>(v)) + ",";
    if (first.data() != again.data() || first.size() != again.size()) text += " decoded twice";
    return text;
  }
};

void DrawSample(PageDocument& page) {
  page.BeginDocument();
  page.DrawText("before");  // records the default font first
  page.SetFontName("Courier");
  page.DrawText("after");
  page.SetPenColor(7);
  page.DrawLine(0, 0, 5, 5);
  page.DrawPolyline(std::vector<double>{1, 2, 3, 4});
  page.SetBrushStyle(1);
  page.DrawPolygon(std::vector<double>{1, 1, 2, 2, 3, 1});
  page.DrawCells(0, 0, 1, -3, std::vector<Color>{9, 8});
  page.DrawCells(0, 0, 0, 2, std::vector<Color>{5});  // no width
  page.EndDocument();
}

TEST(PageReplay, HandsEveryOpInOrderWithItsNumberAndTheFontInEffect) {
  PageDocument page;
  DrawSample(page);
  RecordingSink sink;
  EXPECT_TRUE(Replay(page, sink));
  const std::vector<std::string> expected = {
      "font Arial", "1: text before in Arial", "font Courier",         "3: text after in Courier",
      "pen 7",      "5: line 5.000000",        "6: polyline 1,2,3,4,", "brush 1",
      "8: polygon of 3", "9: cells 9 8 h -3", "10: cells 5 covering nothing h 2",
  };
  EXPECT_EQ(sink.calls, expected);
  EXPECT_EQ(sink.done, page.ops().size());

  // A sink that says stop after the fourth op sees no more.
  RecordingSink stopping;
  stopping.stopAfter = 4;
  EXPECT_FALSE(Replay(page, stopping));
  EXPECT_EQ(stopping.calls.size(), 4u);
  EXPECT_EQ(stopping.done, 4u);

  // A sink that handles nothing still walks the page.
  PageSink quiet;
  EXPECT_TRUE(Replay(page, quiet));
  PageDocument empty;
  RecordingSink none;
  EXPECT_TRUE(Replay(empty, none));
  EXPECT_TRUE(none.calls.empty());
}

// The display list's encoding is read in one place: no other folder names
// its op kinds (a back end gets marks from Replay instead).
TEST(PageReplay, OpKindsAreNamedOnlyUnderPage) {
  const std::filesystem::path src = std::filesystem::path(TAVELO_SOURCE_DIR) / "src";
  std::string offenders;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(src)) {
    if (!entry.is_regular_file()) continue;
    const std::filesystem::path relative = std::filesystem::relative(entry.path(), src);
    if (*relative.begin() == "page") continue;
    std::ifstream in(entry.path());
    std::stringstream text;
    text << in.rdbuf();
    if (text.str().find("OpKind") != std::string::npos) offenders += " " + relative.string();
  }
  EXPECT_TRUE(offenders.empty()) << offenders;
}

}  // namespace
}  // namespace tavelo
