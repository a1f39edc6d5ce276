#include "page/page_replay.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
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

// Passes over the runs it is told to, and notes the widest pen it was told
// of for each run asked about.
class PassingSink : public RecordingSink {
 public:
  std::set<size_t> passing;  // run numbers
  std::map<size_t, double> widest;
  bool PassesOver(size_t first, size_t count, double widestPen) override {
    EXPECT_EQ(first % ReplayRuns::kOps, 0u);
    EXPECT_GT(count, 0u);
    widest[first / ReplayRuns::kOps] = widestPen;
    return passing.count(first / ReplayRuns::kOps) > 0;
  }
};

// The op number of a numbered call ("12: ..."), or -1 for a state call.
long NumberOf(const std::string& call) {
  const size_t colon = call.find(':');
  return colon == std::string::npos ? -1 : std::stol(call.substr(0, colon));
}

// `lines` short lines, the pen changed every `penEvery` of them (widths
// 0 .. widths - 1; 40 twips from line `widePenAt` on), font, brush, a text
// and a triangle every `fontEvery`.
PageDocument ManyStates(int lines, int penEvery, int widths, int fontEvery, int widePenAt = -1) {
  PageDocument page;
  page.BeginDocument();
  for (int i = 0; i < lines; ++i) {
    if (i % penEvery == 0) {
      page.SetPenColor(static_cast<Color>(i));
      page.SetPenWidth(i % widths);
    }
    if (i == widePenAt) page.SetPenWidth(40);
    if (i % fontEvery == 0) {
      page.SetFontName("Font" + std::to_string(i));
      page.SetBrushStyle(i % 2);
      page.DrawText("t");
      page.DrawPolygon(std::vector<double>{0, 0, 1, 1, 2, 0});
    }
    page.DrawPolyline(std::vector<double>{static_cast<double>(i), 0, static_cast<double>(i), 10});
  }
  page.EndDocument();
  return page;
}

TEST(PageReplay, RunsPassedOverHandOnTheirStateAndSkipNothingElse) {
  // A wide pen early in run 1 (an op or so a line).
  const PageDocument page = ManyStates(3200, 97, 5, 311, static_cast<int>(ReplayRuns::kOps) + 10);
  const size_t total = page.ops().size();
  ASSERT_GT(total, 3 * ReplayRuns::kOps);

  ReplayRuns runs;
  RecordingSink full;
  ASSERT_TRUE(Replay(page, full, nullptr, &runs));
  ASSERT_TRUE(runs.Covers(total));

  PassingSink passing;
  passing.passing = {1};
  ASSERT_TRUE(Replay(page, passing, &runs));
  const long from = ReplayRuns::kOps, to = 2 * ReplayRuns::kOps;
  // Everything outside run 1 comes in the same order; of run 1 only the
  // last font, pen and brush it set.
  std::vector<std::string> expected, inRun;
  bool inside = false;
  for (const std::string& call : full.calls) {
    const long n = NumberOf(call);
    if (n >= from && n < to) inside = true;
    if (n >= to && inside) {
      for (const char* kind : {"font ", "pen ", "brush "})
        for (auto it = inRun.rbegin(); it != inRun.rend(); ++it)
          if (it->rfind(kind, 0) == 0) {
            expected.push_back(*it);
            break;
          }
      inside = false;
    }
    if (inside) {
      if (n < 0) inRun.push_back(call);
      continue;
    }
    expected.push_back(call);
  }
  EXPECT_FALSE(inRun.empty());
  EXPECT_EQ(passing.calls, expected);
  EXPECT_EQ(passing.done, total - ReplayRuns::kOps);
  // Run 1 has a 40-twip pen in effect somewhere; run 0 starts with none.
  EXPECT_EQ(passing.widest[1], 40);

  // Runs left by a replay that was stopped are not used.
  RecordingSink stopping;
  stopping.stopAfter = 10;
  EXPECT_FALSE(Replay(page, stopping, nullptr, &runs));
  EXPECT_FALSE(runs.Covers(total));
  PassingSink unused;
  unused.passing = {0, 1, 2};
  EXPECT_TRUE(Replay(page, unused, &runs));
  EXPECT_TRUE(unused.widest.empty());
  EXPECT_EQ(unused.calls, full.calls);
}

// Notes each drawing op with the state in effect at it.
class StateSink : public PassingSink {
 public:
  std::vector<std::string> drawn;
  void Pen(const PenState& p) override { pen_ = std::to_string(p.color) + "/" + std::to_string(p.width); }
  void Brush(const BrushState& b) override { brush_ = std::to_string(b.style); }
  void Text(const TextMark& t) override { Note(t.number, "text in " + t.font.name); }
  void Polyline(PointsMark& m) override { Note(m.number, "polyline"); }
  void Polygon(PointsMark& m) override { Note(m.number, "polygon"); }

 private:
  void Note(size_t number, const std::string& what) {
    drawn.push_back(std::to_string(number) + " " + what + " pen " + pen_ + " brush " + brush_);
  }
  std::string pen_ = "-", brush_ = "-";
};

// Runs passed over one after another, the first and the last among them:
// every op outside them is drawn with the state it has in a whole replay.
TEST(PageReplay, RunsPassedOverInARowLeaveTheStateOfTheWholeReplay) {
  const PageDocument page = ManyStates(4000, 89, 3, 157);
  const size_t total = page.ops().size();
  const size_t runCount = (total + ReplayRuns::kOps - 1) / ReplayRuns::kOps;
  ASSERT_GE(runCount, 6u);
  ReplayRuns runs;
  StateSink full;
  ASSERT_TRUE(Replay(page, full, nullptr, &runs));
  for (const std::set<size_t>& passed :
       {std::set<size_t>{0}, std::set<size_t>{1, 2, 3}, std::set<size_t>{2, 4, runCount - 1},
        std::set<size_t>{runCount - 2, runCount - 1}}) {
    StateSink sink;
    sink.passing = passed;
    ASSERT_TRUE(Replay(page, sink, &runs));
    std::vector<std::string> expected;
    for (const std::string& call : full.drawn)
      if (!passed.count(std::stoul(call) / ReplayRuns::kOps)) expected.push_back(call);
    EXPECT_EQ(sink.drawn, expected) << "passing from run " << *passed.begin();
  }
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
