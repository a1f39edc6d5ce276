#include "page/dump_reader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "page/page_document.h"
#include "support/su_writer.h"

namespace tavelo {
namespace {

// Dump, read back, dump again: the two texts must be the same.
std::string ReadBack(const std::string& dump, PageDocument& page) {
  std::string error;
  EXPECT_TRUE(ReadDump(dump, page, &error)) << error;
  return DumpPage(page);
}

// Every op kind, each state kind twice, texts with escapes and line breaks,
// points in both storages, cells in codes and whole colours.
void DrawEveryKind(PageDocument& page) {
  page.SetPaperSize(16838, 11906.5);
  page.SetLeftMargin(283.5);
  page.SetTopMargin(-0.25);
  page.BeginDocument();
  page.SetFontName("Odd | Face");
  page.SetFontSize(7.3);
  page.SetTextX(-12.25);
  page.SetTextY(1e7);
  page.DrawText("a\\b\r\nc\rd\ne \\n");
  page.SetFontBold(true);
  page.DrawText("");
  page.SetPenColor(-5);
  page.SetPenWidth(0.3);
  page.DrawLine(0.1, -0.0, 1e-30, 3e38);
  page.SetPenColor(16777215);
  page.DrawPolyline(std::vector<double>{5, 5});  // one point
  page.DrawPolyline(std::vector<float>{0.3f, -0.0f, 1.5f, -7, 1e30f, 2});
  page.SetBrushStyle(1);
  page.DrawPolygon(std::vector<double>{-1, -2, 3.5, 4, 5, -6});
  page.SetBrushStyle(0);
  page.SetBrushColor(255);
  page.DrawPolygon(std::vector<double>{10, 10});
  std::vector<Color> many;
  for (int k = 0; k < 300; ++k) many.push_back(k * 7 - 100);
  page.DrawCells(10.5, 20, -3, 0.5, many);
  page.DrawCells(0, 0, 1, -1, std::vector<Color>{many[3]});
  page.EndDocument();
}

TEST(DumpRoundTrip, GoldenPageAndEveryOpKindComeBackLineForLine) {
  const std::string golden = test::ReadBytes(std::string(TAVELO_SOURCE_DIR) + "/tests/render/golden/small_page.dump");
  ASSERT_FALSE(golden.empty());
  PageDocument page;
  EXPECT_EQ(ReadBack(golden, page), golden);
  EXPECT_EQ(page.PageCount(), 1);
  EXPECT_FALSE(page.IsOpen());

  PageDocument every;
  DrawEveryKind(every);
  const std::string dump = DumpPage(every);
  for (const char* word : {"font", "pen", "brush", "text", "line", "polyline", "polygon", "cells"})
    EXPECT_NE(dump.find(std::string("\n") + word + ' '), std::string::npos) << word;
  PageDocument again;
  EXPECT_EQ(ReadBack(dump, again), dump);
  // The page read holds the same ops and points, not only the same text.
  const std::vector<PageOp> a = CollectOps(every), b = CollectOps(again);
  ASSERT_EQ(a.size(), b.size());
  for (size_t i = 0; i < a.size(); ++i) {
    EXPECT_EQ(a[i].kind, b[i].kind) << i;
    EXPECT_EQ(every.PointsOf(a[i]), again.PointsOf(b[i])) << i;
    EXPECT_EQ(every.CellColorsOf(a[i]), again.CellColorsOf(b[i])) << i;
  }
  EXPECT_EQ(again.texts()[0], "a\\b\r\nc\r\nd\r\ne \\n");
  EXPECT_EQ(again.fonts()[0].name, "Odd | Face");

  // From a file as well.
  const std::string path = test::TempFile("page.dump");
  ASSERT_TRUE(test::WriteBytes(path, dump));
  PageDocument fromFile;
  ASSERT_TRUE(ReadDumpFile(path, fromFile));
  EXPECT_EQ(DumpPage(fromFile), dump);
}

TEST(DumpReader, RefusesWhatTheDumpNeverWritesAndLeavesThePageEmpty) {
  const std::string head = "page 5000 3000 0 0\n";
  const std::vector<std::pair<std::string, std::string>> bad = {
      {"", "line 0"},  // nothing at all
      {"pen 0 0\n", "line 1"},
      {head + "page 5000 3000 0 0\n", "line 2"},
      {"page 0 3000 0 0\n", "line 1"},
      {"page 5000 3000 0\n", "line 1"},
      {head + "circle 1 2 3\n", "line 2"},
      {head + "\n", "line 2"},
      {head + "pen 0\n", "line 2"},
      {head + "pen 0 0 7\n", "line 2"},
      {head + "pen 99999999999 0\n", "line 2"},
      {head + "pen x 0\n", "line 2"},
      {head + "line 1 2 3 4x\n", "line 2"},
      {head + "line 1 2 3 4\r\n", "line 2"},
      {head + "font Arial|9\n", "line 2"},
      {head + "font Arial|nine|0\n", "line 2"},
      {head + "font Arial|9|2\n", "line 2"},
      {head + "text 1 2 back\\\n", "line 2"},
      {head + "text 1 2 \\t\n", "line 2"},
      {head + "text 1 2\n", "line 2"},
      {head + "polyline  1 2 3\n", "line 2"},
      {head + "polyline \n", "line 2"},
      {head + "polygon  1 2 nan 4\n", "line 2"},
      {head + "polygon  1 2,5 3 4\n", "line 2"},
      {head + "cells 1 2 3 4\n", "line 2"},
      {head + "cells 1 2 3 4 5 red\n", "line 2"},
  };
  for (const auto& [dump, where] : bad) {
    PageDocument page;
    std::string error;
    EXPECT_FALSE(ReadDump(dump, page, &error)) << dump;
    if (where != "line 0") EXPECT_EQ(error.rfind(where + ": ", 0), 0u) << dump << " -> " << error;
    else EXPECT_FALSE(error.empty());
    EXPECT_TRUE(page.ops().empty()) << dump;
    EXPECT_EQ(page.PageCount(), 0) << dump;
  }
  PageDocument page;
  std::string error;
  EXPECT_FALSE(ReadDumpFile("/nonexistent/page.dump", page, &error));
  EXPECT_NE(error.find("/nonexistent/page.dump"), std::string::npos);
  // A last line without its line break is read.
  EXPECT_TRUE(ReadDump(head + "line 1 2 3 4", page));
  EXPECT_EQ(page.ops().size(), 2u);
}

// The page's own storage, seen through the bytes it takes and what comes back.
TEST(PageStorage, HalfTwipDifferencesFloatFallbackAndWholeColours) {
  PageDocument page;
  page.BeginDocument();
  // Whole and half twips close together: two one-byte varints a point.
  std::vector<float> halves;
  for (int i = 0; i < 1000; ++i) {
    halves.push_back(1000.5f + static_cast<float>(i % 7));
    halves.push_back(2000.0f + static_cast<float>(i) * 0.5f);
  }
  page.DrawPolyline(halves);
  const uint64_t afterHalves = page.RecordedBytes();
  EXPECT_LT(afterHalves, 2 * 1000 + 32);
  // One value that is not a half twip sends the whole list to floats; 0.3
  // and -0 come back bit for bit.
  std::vector<float> mixed = halves;
  mixed[1] = 0.3f;
  mixed[2] = -0.0f;
  page.DrawPolyline(mixed);
  EXPECT_GE(page.RecordedBytes() - afterHalves, mixed.size() * sizeof(float));
  // -0 alone also keeps the list in floats (a half-twip -0 would come back +0).
  page.DrawPolyline(std::vector<float>{-0.0f, 1});
  // A list of one point.
  page.DrawPolygon(std::vector<float>{-7.5f, 12});

  // 256 colours fit the one-byte table; the column that brings a 257th keeps
  // whole colours, and later columns of known colours are coded again.
  std::vector<Color> table;
  for (int k = 0; k < 256; ++k) table.push_back(k * 65793);
  page.DrawCells(0, 0, 1, 1, table);
  const uint64_t beforeWhole = page.RecordedBytes();
  std::vector<Color> beyond(64, table[5]);
  beyond[30] = 123456;
  page.DrawCells(1, 0, 1, 1, beyond);
  EXPECT_GE(page.RecordedBytes() - beforeWhole, beyond.size() * sizeof(Color));
  const uint64_t beforeCoded = page.RecordedBytes();
  std::vector<Color> known;
  for (int k = 0; k < 64; ++k) known.push_back(table[static_cast<size_t>(255 - k * 3)]);
  page.DrawCells(2, 0, 1, 1, known);
  EXPECT_LT(page.RecordedBytes() - beforeCoded, known.size() * sizeof(Color));

  const std::vector<PageOp> ops = CollectOps(page);
  ASSERT_EQ(ops.size(), 9u);  // pen, 3 polylines, brush, polygon, 3 cells
  EXPECT_EQ(page.PointsOf(ops[1]), halves);
  const std::vector<float> back = page.PointsOf(ops[2]);
  ASSERT_EQ(back.size(), mixed.size());
  EXPECT_EQ(back[1], 0.3f);
  EXPECT_TRUE(std::signbit(back[2]) && back[2] == 0);
  EXPECT_TRUE(back == mixed);
  const std::vector<float> zero = page.PointsOf(ops[3]);
  ASSERT_EQ(zero.size(), 2u);
  EXPECT_TRUE(std::signbit(zero[0]));
  EXPECT_EQ(ops[5].count, 1u);
  EXPECT_EQ(page.PointsOf(ops[5]), (std::vector<float>{-7.5f, 12}));
  EXPECT_EQ(page.CellColorsOf(ops[6]), table);
  EXPECT_EQ(page.CellColorsOf(ops[7]), beyond);
  EXPECT_EQ(page.CellColorsOf(ops[8]), known);
}

}  // namespace
}  // namespace tavelo
