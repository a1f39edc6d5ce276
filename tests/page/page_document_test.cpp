#include "page/page_document.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <span>
#include <utility>
#include <vector>

namespace tavelo {
namespace {

std::vector<OpKind> Kinds(const PageDocument& page) {
  std::vector<OpKind> kinds;
  for (const PageOp& op : page.ops()) kinds.push_back(op.kind);
  return kinds;
}

TEST(PageDocumentLife, StartsAsA4WithInchMarginsAndRecordsOnlyWhileOpen) {
  PageDocument page;
  EXPECT_EQ(page.PageWidth(), 11906);
  EXPECT_EQ(page.PageHeight(), 16838);
  EXPECT_EQ(page.LeftMargin(), 1440);
  EXPECT_EQ(page.TopMargin(), 1440);
  EXPECT_EQ(page.RightMargin(), 1440);
  EXPECT_EQ(page.BottomMargin(), 1440);
  EXPECT_EQ(page.PageCount(), 0);

  page.DrawLine(0, 0, 100, 100);
  page.DrawText("before");
  EXPECT_TRUE(page.ops().empty());

  page.BeginDocument();
  EXPECT_TRUE(page.IsOpen());
  page.DrawLine(0, 0, 100, 100);
  page.EndDocument();
  EXPECT_FALSE(page.IsOpen());
  EXPECT_EQ(page.PageCount(), 1);
  EXPECT_EQ(page.ops().size(), 2u);  // pen, line

  page.DrawLine(5, 5, 6, 6);  // after the end: ignored
  EXPECT_EQ(page.ops().size(), 2u);

  const uint64_t before = page.Generation();
  page.BeginDocument();
  EXPECT_TRUE(page.ops().empty());
  EXPECT_EQ(page.PageCount(), 0);
  page.DrawLine(0, 0, 1, 1);  // the new page records its pen again
  EXPECT_EQ(page.ops().size(), 2u);
  EXPECT_EQ(CollectOps(page)[0].kind, OpKind::Pen);
  page.DiscardDocument();
  EXPECT_FALSE(page.IsOpen());
  EXPECT_EQ(page.PageCount(), 0);
  EXPECT_TRUE(page.ops().empty());
  EXPECT_EQ(DumpPage(page), "page 11906 16838 1440 1440\n");
  EXPECT_GT(page.Generation(), before);
}

TEST(PageDocumentLife, PaperSizeRejectsImpossibleValues) {
  PageDocument page;
  page.SetPaperSize(68040, 45360);
  EXPECT_EQ(page.PageWidth(), 68040);
  page.SetPaperSize(0, 100);
  page.SetPaperSize(std::nan(""), 100);
  page.SetPaperSize(100, -5);
  EXPECT_EQ(page.PageWidth(), 68040);
  EXPECT_EQ(page.PageHeight(), 45360);
}

TEST(PageDocumentState, RecordsStateOnlyWhenADrawingUsesAChangedOne) {
  PageDocument page;
  page.BeginDocument();
  page.SetPenColor(255);
  page.SetPenColor(0);  // changed and back before any drawing: nothing to record
  page.DrawLine(0, 0, 1, 1);
  page.DrawPolyline(std::vector<double>{0, 0, 5, 5});
  page.SetFontSize(12);  // not used by lines
  page.DrawLine(1, 1, 2, 2);
  page.DrawText("a");
  page.DrawText("b");
  page.SetFontBold(true);
  page.DrawText("c");
  page.DrawPolygon(std::vector<double>{0, 0, 5, 0, 5, 5});
  page.DrawPolygon(std::vector<double>{0, 0, 6, 0, 6, 6});
  page.SetPenWidth(20);
  page.DrawPolygon(std::vector<double>{0, 0, 7, 0, 7, 7});  // new pen, same brush
  page.SetBrushStyle(1);
  const Color cells[] = {1, 2};
  page.DrawCells(0, 0, 10, 10, cells);  // cells use no state
  page.DrawLine(0, 0, 3, 3);            // a brush change does not matter to a line
  page.DrawPolygon(std::vector<double>{0, 0, 8, 0, 8, 8});
  page.EndDocument();

  using K = OpKind;
  EXPECT_EQ(Kinds(page), (std::vector<OpKind>{K::Pen, K::Line, K::Polyline, K::Line, K::Font, K::Text,
                                               K::Text, K::Font, K::Text, K::Brush, K::Polygon,
                                               K::Polygon, K::Pen, K::Polygon, K::Cells, K::Line,
                                               K::Brush, K::Polygon}));
  ASSERT_EQ(page.fonts().size(), 2u);
  EXPECT_EQ(page.fonts()[0].size, 12);
  EXPECT_FALSE(page.fonts()[0].bold);
  EXPECT_TRUE(page.fonts()[1].bold);
  ASSERT_EQ(page.brushes().size(), 2u);
  EXPECT_EQ(page.brushes()[1].style, 1);
}

TEST(PageDocumentDrawing, ShapeOneIsALineAndOtherShapesDrawNothing) {
  PageDocument page;
  page.BeginDocument();
  page.SetShapeX1(10);
  page.SetShapeY1(20);
  page.SetShapeX2(30.5);
  page.SetShapeY2(40);
  page.DrawShape(2);
  EXPECT_TRUE(page.ops().empty());
  page.DrawShape(1);
  ASSERT_EQ(page.ops().size(), 2u);
  const PageOp line = CollectOps(page)[1];
  EXPECT_EQ(line.kind, OpKind::Line);
  EXPECT_EQ(line.x, 10);
  EXPECT_EQ(line.y, 20);
  EXPECT_EQ(line.x2, 30.5);
  EXPECT_EQ(line.y2, 40);
}

TEST(PageDocumentDrawing, BadCoordinatesAndEmptyListsRecordNothing) {
  PageDocument page;
  page.BeginDocument();
  const double inf = std::numeric_limits<double>::infinity();
  page.DrawLine(0, std::nan(""), 1, 1);
  page.DrawPolyline(std::vector<double>{0, 0, inf, 5});
  page.DrawPolygon(std::vector<double>{});
  page.DrawPolylineText("abc");
  page.DrawPolylineText(" 7");  // one lone number: no point
  page.DrawCells(0, 0, 10, 10, {});
  page.SetTextX(inf);
  page.DrawText("x");
  EXPECT_TRUE(page.ops().empty());

  // Beyond float range: kept, clamped, never undefined.
  page.DrawPolyline(std::vector<double>{1e300, -1e300, 0, 0});
  const std::vector<PageOp> ops = CollectOps(page);
  ASSERT_EQ(ops.size(), 2u);
  EXPECT_EQ(page.PointsOf(ops[1]), (std::vector<float>{std::numeric_limits<float>::max(),
                                                       -std::numeric_limits<float>::max(), 0, 0}));
}

TEST(PageDocumentDrawing, PointListsComeBackExactlyAsGiven) {
  PageDocument page;
  page.BeginDocument();
  page.DrawPolylineText(" 100 200-5 300");
  page.DrawPolygon(std::vector<float>{1.5f, 2.5f, 3, 4, 5, 6, 99});  // odd: last dropped
  // Not whole or half twips, huge jumps, the largest float, minus zero.
  const std::vector<float> awkward = {0.1f,      -1e-30f, 16777217.0f * 4, -3e38f, 1e30f,
                                      -8388607.5f, 2.25f, -0.0f,           7,      7};
  page.DrawPolyline(awkward);
  const std::vector<float> halves = {-1e15f, 1e15f, 1e15f, -1e15f, 0.5f, -0.5f};
  page.DrawPolyline(halves);
  const std::vector<PageOp> ops = CollectOps(page);
  ASSERT_EQ(ops.size(), 6u);
  EXPECT_EQ(ops[1].count, 2u);
  EXPECT_EQ(page.PointsOf(ops[1]), (std::vector<float>{100, 200, -5, 300}));
  EXPECT_EQ(ops[3].count, 3u);
  EXPECT_EQ(page.PointsOf(ops[3]), (std::vector<float>{1.5f, 2.5f, 3, 4, 5, 6}));
  const std::vector<float> back = page.PointsOf(ops[4]);
  ASSERT_EQ(back.size(), awkward.size());
  for (size_t i = 0; i < back.size(); ++i) {
    EXPECT_EQ(back[i], awkward[i]) << i;
    EXPECT_EQ(std::signbit(back[i]), std::signbit(awkward[i])) << i;
  }
  EXPECT_EQ(page.PointsOf(ops[5]), halves);
  EXPECT_TRUE(page.PointsOf(ops[0]).empty());  // a pen has no points
}

TEST(PageDocumentDrawing, BigPagesSpanBlocksAndCellsKeepEveryColour) {
  PageDocument page;
  page.BeginDocument();
  // A wiggle of 600 000 points crosses several storage blocks.
  std::vector<float> wiggle;
  for (int64_t j = 0; j < 600000; ++j) {
    wiggle.push_back(static_cast<float>(5000 + (j * 7919) % 301 - 150));
    wiggle.push_back(static_cast<float>(1553 + j / 2) + (j % 2 ? 0.5f : 0));
  }
  page.DrawPolyline(wiggle);
  const uint64_t wiggleBytes = page.RecordedBytes();
  // Jumps that take eight bytes a coordinate, across a block's end.
  std::vector<float> jumps;
  for (int j = 0; j < 150000; ++j) {
    jumps.push_back(j % 2 ? 1e15f : -1e15f);
    jumps.push_back(j % 3 ? 0.5f : -4e14f);
  }
  page.DrawPolyline(jumps);
  // 300 distinct colours: more than one byte can name.
  std::vector<Color> colours;
  for (int k = 0; k < 300; ++k) colours.push_back(k * 65793);
  page.DrawCells(10, 20, 30.5, -2, colours);
  page.DrawCells(40.5, 20, 30.5, 2, std::vector<Color>{0, 65793, 16777215});
  page.DrawText("after");
  EXPECT_GT(page.RecordedBytes(), ByteBlocks::kBlockBytes);
  EXPECT_LT(wiggleBytes, wiggle.size() * 2);  // well under a float pair a point

  const std::vector<PageOp> ops = CollectOps(page);
  ASSERT_EQ(ops.size(), 7u);  // pen, polyline, polyline, cells, cells, font, text
  EXPECT_TRUE(page.PointsOf(ops[1]) == wiggle);
  EXPECT_TRUE(page.PointsOf(ops[2]) == jumps);
  EXPECT_EQ(ops[3].kind, OpKind::Cells);
  EXPECT_EQ(ops[3].x, 10);
  EXPECT_EQ(ops[3].y2, -2);
  EXPECT_EQ(page.CellColorsOf(ops[3]), colours);
  EXPECT_EQ(ops[4].x, 40.5);
  EXPECT_EQ(page.CellColorsOf(ops[4]), (std::vector<Color>{0, 65793, 16777215}));
  EXPECT_TRUE(page.CellColorsOf(ops[1]).empty());
  EXPECT_EQ(page.texts()[ops[6].index], "after");

  // A new page starts empty; its ops do not see the old bytes.
  page.BeginDocument();
  page.DrawCells(0, 0, 1, 1, std::vector<Color>{255});
  const std::vector<PageOp> again = CollectOps(page);
  ASSERT_EQ(again.size(), 1u);
  EXPECT_EQ(page.CellColorsOf(again[0]), std::vector<Color>{255});
}

// Decoding resumed part of the way through a list gives the same points as
// the whole decoding, for both encodings and across storage blocks.
TEST(PageDocumentDrawing, PointsResumedPartWayAgreeWithTheWholeList) {
  PageDocument page;
  page.BeginDocument();
  std::vector<float> wiggle;  // half twips: differences; 1.5 MB, so it crosses a block's end
  for (int64_t j = 0; j < 400000; ++j) {
    wiggle.push_back(static_cast<float>(5000 + (j * 7919) % 30001 - 15000) + (j % 2 ? 0.5f : 0));
    wiggle.push_back(static_cast<float>(1553 + j));
  }
  page.DrawPolyline(wiggle);
  std::vector<float> floats;  // not half twips: stored as floats
  for (int j = 0; j < 1000; ++j) {
    floats.push_back(0.1f * static_cast<float>(j));
    floats.push_back(-0.3f * static_cast<float>(j));
  }
  page.DrawPolyline(floats);
  EXPECT_GT(page.RecordedBytes(), ByteBlocks::kBlockBytes);
  const std::vector<PageOp> ops = CollectOps(page);
  ASSERT_EQ(ops.size(), 3u);  // pen and the two lists
  for (const size_t k : {size_t{1}, size_t{2}}) {
    const PageOp& op = ops[k];
    const std::vector<float>& given = k == 1 ? wiggle : floats;
    std::vector<float> xy;
    std::vector<PointResume> resumes;
    page.PointsOf(op, xy, 128, resumes);
    EXPECT_TRUE(xy == given) << k;
    ASSERT_EQ(resumes.size(), (op.count + 127) / 128) << k;
    for (size_t r = 0; r < resumes.size(); ++r) {
      ASSERT_EQ(resumes[r].point, r * 128) << k;
      // The stretch and the first point of the next.
      std::vector<float> part;
      page.PointsFrom(op, resumes[r], 129, part);
      const size_t begin = 2 * resumes[r].point, end = std::min(given.size(), begin + 2 * 129);
      ASSERT_TRUE(std::equal(part.begin(), part.end(), given.begin() + static_cast<ptrdiff_t>(begin),
                             given.begin() + static_cast<ptrdiff_t>(end)) &&
                  part.size() == end - begin)
          << k << " from point " << resumes[r].point;
    }
    // Fewer points are left at the end of the list than asked for.
    std::vector<float> tail;
    page.PointsFrom(op, resumes.back(), 100000, tail);
    EXPECT_EQ(tail.size(), 2 * (op.count - resumes.back().point)) << k;
    // A resume that does not belong to this list gives nothing.
    PointResume beyond = resumes.back();
    beyond.point = op.count;
    page.PointsFrom(op, beyond, 10, tail);
    EXPECT_TRUE(tail.empty()) << k;
    beyond = resumes.front();
    beyond.data = page.RecordedBytes();
    page.PointsFrom(op, beyond, 10, tail);
    EXPECT_TRUE(tail.empty()) << k;
  }
  std::vector<float> none;
  std::vector<PointResume> resumes{PointResume{}};
  page.PointsOf(ops[0], none, 128, resumes);  // a pen has no points
  EXPECT_TRUE(none.empty() && resumes.empty());
}

bool Contains(const OpBoxes::Box& outer, const OpBoxes::Box& inner) {
  return outer[0] <= inner[0] && outer[1] <= inner[1] && outer[2] >= inner[2] && outer[3] >= inner[3];
}

// The page keeps each op's box in steps of 1/65534 of the paper: a kept box
// must hold the points (else a band or a half would pass over an op that
// marks it) and stay close to them (else nothing is passed over).
TEST(PageDocumentBoxes, HoldTheRecordedPointsAndStayCloseToThem) {
  constexpr float kFar = std::numeric_limits<float>::infinity();
  const std::vector<OpBoxes::Box> boxes{
      {1234.5f, 8910.0f, 1234.5f, 8910.0f},  // one point, in half twips
      {0.5f, 0.5f, 67999.5f, 50999.0f},      // the whole paper
      {33333.33f, 100.01f, 33334.0f, 25000.5f},  // stored as floats
      {-500.0f, -20.0f, 70000.0f, 60000.0f},     // beyond the paper
  };
  for (const bool paperFirst : {true, false}) {
    PageDocument page;
    // A dump names its paper once the page has begun: the steps follow it.
    if (paperFirst) page.SetPaperSize(68000, 51000);
    page.BeginDocument();
    if (!paperFirst) page.SetPaperSize(68000, 51000);
    for (const OpBoxes::Box& b : boxes) {
      const std::vector<float> corners{b[0], b[1], b[2], b[1], b[2], b[3], b[0], b[3]};
      page.DrawPolyline(std::span<const float>(corners));
    }
    page.SetTextX(100);
    page.SetTextY(100);
    page.DrawText("Trace");
    page.EndDocument();
    const std::vector<PageOp> ops = CollectOps(page);
    ASSERT_EQ(page.Boxes().size(), ops.size());
    size_t polyline = 0;
    for (size_t op = 0; op < ops.size(); ++op) {
      const OpBoxes::Box kept = page.Boxes()[op];
      if (ops[op].kind == OpKind::Pen || ops[op].kind == OpKind::Font) {
        EXPECT_GT(kept[0], kept[2]) << "a change of state marks nothing";
        continue;
      }
      if (ops[op].kind != OpKind::Polyline) {
        EXPECT_TRUE(Contains(kept, {-1e30f, -1e30f, 1e30f, 1e30f})) << "a text's box is not known";
        continue;
      }
      const OpBoxes::Box& recorded = boxes[polyline++];
      EXPECT_TRUE(Contains(kept, recorded)) << op << (paperFirst ? "" : ", paper named after");
      for (int side = 0; side < 4; ++side) {
        if (std::isinf(kept[side])) continue;
        const double step = (side % 2 == 0 ? 68000.0 : 51000.0) / 65534;
        EXPECT_LE(std::abs(kept[side] - recorded[side]), 2 * step) << op << " side " << side;
      }
    }
    ASSERT_EQ(polyline, boxes.size());
    // Beyond the paper reaches everywhere.
    const OpBoxes::Box beyond = page.Boxes()[ops.size() - 3];
    EXPECT_EQ(beyond[0], -kFar);
    EXPECT_EQ(beyond[3], kFar);
    // A new page starts a new list.
    page.BeginDocument();
    EXPECT_EQ(page.Boxes().size(), 0u);
  }
}

// A reader on another thread (the preview's background replay) is stopped
// before the page or its paper changes and before the page goes; the page
// its contents are moved into does not take it along.
TEST(PageDocumentReaders, AreStoppedBeforeThePageChangesOrGoes) {
  struct Counting : PageReader {
    int stops = 0;
    void StopReading() override { ++stops; }
  } reader, other;
  {
    PageDocument page;
    page.AddReader(&reader);
    page.AddReader(&reader);  // once is enough
    page.BeginDocument();
    EXPECT_EQ(reader.stops, 1);
    const std::vector<float> line{0, 0, 100, 100};
    page.DrawPolyline(std::span<const float>(line));
    page.EndDocument();
    EXPECT_EQ(reader.stops, 1) << "drawing into an open page reads nothing yet";
    page.SetPaperSize(20000, 10000);
    EXPECT_EQ(reader.stops, 2);
    page.SetPaperSize(-1, 10000);  // refused: nothing changes
    EXPECT_EQ(reader.stops, 2);
    {
      const PageDocument moved(std::move(page));
      EXPECT_EQ(moved.ops().size(), 2u);  // the pen and the line
    }
    EXPECT_EQ(reader.stops, 2) << "the page moved into another kept its readers";
    page.DiscardDocument();
    EXPECT_EQ(reader.stops, 3);
    page.AddReader(&other);
    page.RemoveReader(&other);
  }
  EXPECT_EQ(reader.stops, 4);
  EXPECT_EQ(other.stops, 0);
}

TEST(PointText, ParsesBlanksAndSignsAsSeparators) {
  EXPECT_EQ(ParsePointText(" 100 200-5 300"), (std::vector<double>{100, 200, -5, 300}));
  EXPECT_EQ(ParsePointText("283.5-0.25 1 2"), (std::vector<double>{283.5, -0.25, 1, 2}));
  EXPECT_EQ(ParsePointText("\t1\r\n2 "), (std::vector<double>{1, 2}));
  EXPECT_EQ(ParsePointText(" .5 +3"), (std::vector<double>{0.5, 3}));
  EXPECT_EQ(ParsePointText(" 1e3 2.5E-1"), (std::vector<double>{1000, 0.25}));
  EXPECT_EQ(ParsePointText(" 1. 2"), (std::vector<double>{1, 2}));
  EXPECT_TRUE(ParsePointText("").empty());
  EXPECT_TRUE(ParsePointText("   ").empty());
}

TEST(PointText, GarbageStopsAndAnOddCountDropsTheLastNumber) {
  EXPECT_EQ(ParsePointText(" 1 2 3"), (std::vector<double>{1, 2}));
  EXPECT_EQ(ParsePointText(" 10 20 x 30 40"), (std::vector<double>{10, 20}));
  EXPECT_EQ(ParsePointText(" 10 20 30abc 40"), (std::vector<double>{10, 20}));
  EXPECT_EQ(ParsePointText(" 10 20 - 30"), (std::vector<double>{10, 20}));
  EXPECT_EQ(ParsePointText(" 10 20 1e999 5"), (std::vector<double>{10, 20}));
  EXPECT_EQ(ParsePointText(" 10 20 nan 5"), (std::vector<double>{10, 20}));
  EXPECT_EQ(ParsePointText(" 10 20 1,5 7"), (std::vector<double>{10, 20}));
  EXPECT_TRUE(ParsePointText("--1 2").empty());
}

TEST(PointText, AppendWritesTheSignPositionAndReadsBack) {
  std::string text;
  for (double v : {100.0, 200.0, -5.0, 300.0}) AppendPointText(text, v);
  EXPECT_EQ(text, " 100 200-5 300");
  text.clear();
  AppendPointText(text, -0.0);
  AppendPointText(text, 283.5);
  AppendPointText(text, -0.1);
  EXPECT_EQ(text, " 0 283.5-0.1");
  EXPECT_EQ(ParsePointText(text), (std::vector<double>{0, 283.5}));  // odd count
}

TEST(PageDump, GoldenTinyPage) {
  PageDocument page;
  page.SetPaperSize(5000, 3000);
  page.SetLeftMargin(283.5);
  page.SetTopMargin(1440);
  page.BeginDocument();
  page.SetFontName("Liberation Sans");
  page.SetFontSize(8.5);
  page.SetTextX(283.5);
  page.SetTextY(100);
  page.DrawText("C:\\data\\line1.su\r\nsecond\rthird\nfourth");
  page.SetPenColor(255 + 256 * 128);
  page.SetPenWidth(28.35);
  page.DrawLine(283.5, 1440, 4716.5, 1440);
  page.SetPenWidth(0);
  page.SetPenColor(0);
  page.DrawPolylineText(" 300 1500-12.5 1600");
  page.SetBrushColor(16777215);
  page.SetBrushStyle(1);
  page.DrawPolygonText("-1-2 3 4 5-6");
  const Color cells[] = {255, 65280, 16711680};
  page.DrawCells(400.5, 2000, 57, 0.5, cells);
  page.SetFontBold(true);
  page.SetTextY(200);
  page.DrawText("");
  page.EndDocument();

  EXPECT_EQ(DumpPage(page),
            "page 5000 3000 283.5 1440\n"
            "font Liberation Sans|8.5|0\n"
            "text 283.5 100 C:\\\\data\\\\line1.su\\nsecond\\nthird\\nfourth\n"
            "pen 33023 28.35\n"
            "line 283.5 1440 4716.5 1440\n"
            "pen 0 0\n"
            "polyline  300 1500-12.5 1600\n"
            "brush 16777215 1\n"
            "polygon -1-2 3 4 5-6\n"
            "cells 400.5 2000 57 0.5 255 65280 16711680\n"
            "font Liberation Sans|8.5|1\n"
            "text 283.5 200 \n");
}

}  // namespace
}  // namespace tavelo
