// The metafile writer, checked by reading its records back and by libwmf's
// wmf2svg, a reader drawing programs share.

#include "output/wmf_writer.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QString>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <span>
#include <string>
#include <vector>

#include "common/safe_file.h"
#include "page/page_document.h"
#include "support/su_writer.h"

namespace tavelo {
namespace {

constexpr uint16_t kPolyline = 0x0325;
constexpr uint16_t kPolygon = 0x0324;
constexpr uint16_t kStretchDib = 0x0F43;
constexpr uint16_t kExtTextOut = 0x0A32;

uint16_t U16(const std::string& b, size_t at) {
  uint16_t v;
  std::memcpy(&v, b.data() + at, 2);
  return v;
}
int16_t S16(const std::string& b, size_t at) { return static_cast<int16_t>(U16(b, at)); }
uint32_t U32(const std::string& b, size_t at) {
  uint32_t v;
  std::memcpy(&v, b.data() + at, 4);
  return v;
}

struct Record {
  uint16_t function;
  size_t at;     // offset of the record in the file
  size_t bytes;  // its length
};

struct P16 {
  int x, y;
  bool operator==(const P16&) const = default;
};

// The records after the placeable header and the metafile header; fails
// the test when a record runs past the end or the file does not end on EOF.
std::vector<Record> Records(const std::string& wmf) {
  std::vector<Record> records;
  size_t at = 22 + 18;
  while (at + 6 <= wmf.size()) {
    const size_t bytes = size_t{U32(wmf, at)} * 2;
    const uint16_t function = U16(wmf, at + 4);
    EXPECT_GE(bytes, 6u);
    EXPECT_LE(at + bytes, wmf.size());
    if (bytes < 6 || at + bytes > wmf.size()) break;
    records.push_back({function, at, bytes});
    at += bytes;
  }
  EXPECT_EQ(at, wmf.size());
  EXPECT_FALSE(records.empty());
  if (!records.empty()) {
    EXPECT_EQ(records.back().function, 0);  // EOF
  }
  return records;
}

std::vector<P16> PointsOf(const std::string& wmf, const Record& r) {
  const int count = S16(wmf, r.at + 6);
  std::vector<P16> points;
  for (int i = 0; i < count; ++i)
    points.push_back({S16(wmf, r.at + 8 + 4 * i), S16(wmf, r.at + 10 + 4 * i)});
  return points;
}

double Area(const std::vector<P16>& ring) {
  double twice = 0;
  for (size_t i = 0; i < ring.size(); ++i) {
    const P16& a = ring[i];
    const P16& b = ring[(i + 1) % ring.size()];
    twice += double(a.x) * b.y - double(b.x) * a.y;
  }
  return std::abs(twice) / 2;
}

struct Converted {
  bool ran = false;
  int exitCode = -1;
  std::string svg, complaints;
};

// wmf2svg with images inlined; `ran` false when the tool is missing.
Converted Wmf2Svg(const std::string& wmf) {
  Converted result;
  const std::string dir = test::TempDir();
  EXPECT_TRUE(test::WriteBytes(dir + "/page.wmf", wmf));
  QProcess process;
  process.start(QStringLiteral("wmf2svg"),
                {QStringLiteral("--inline"), QStringLiteral("-o"), QString::fromStdString(dir + "/page.svg"),
                 QString::fromStdString(dir + "/page.wmf")});
  if (!process.waitForStarted(10000)) return result;
  result.ran = process.waitForFinished(120000);
  result.exitCode = process.exitCode();
  result.complaints = (process.readAllStandardError() + process.readAllStandardOutput()).toStdString();
  result.svg = test::ReadBytes(dir + "/page.svg");
  return result;
}

#define REQUIRE_CLEAN_CONVERSION(converted)                                             \
  do {                                                                                  \
    if (!(converted).ran && (converted).exitCode == -1) GTEST_SKIP() << "no wmf2svg"; \
    ASSERT_EQ((converted).exitCode, 0) << (converted).complaints;                      \
    EXPECT_EQ((converted).complaints, "");                                              \
  } while (0)

// First x of every <polyline>, in drawing order.
std::vector<double> PolylineStarts(const std::string& svg) {
  std::vector<double> xs;
  static const QRegularExpression re(QStringLiteral("<polyline points=\"\\s*([-0-9.]+),"));
  auto it = re.globalMatch(QString::fromStdString(svg));
  while (it.hasNext()) xs.push_back(it.next().captured(1).toDouble());
  return xs;
}

// An A4 page with all kinds of marks.
PageDocument MixedPage() {
  PageDocument page;
  page.BeginDocument();
  page.SetFontSize(24);
  page.SetFontBold(true);
  page.SetTextX(1440);
  page.SetTextY(1440);
  page.DrawText("Hello TAVELO\r\nSecond line");
  page.SetFontBold(false);
  page.SetFontSize(10);
  page.SetTextY(3000);
  page.DrawText("Vitesse \xC3\xA9lev\xC3\xA9\x65");  // "Vitesse élevée"
  page.SetPenWidth(144);
  page.DrawLine(1440, 7200, 10080, 7200);
  page.SetPenWidth(0);
  page.SetPenColor(255);
  page.DrawPolylineText(" 1440 8000 2000 8500 2600 8000");
  page.SetBrushColor(255 * 256);
  page.DrawPolygonText(" 1440 9000 4320 9000 4320 11520 1440 11520");
  const Color cells[] = {255 * 256, 255 * 65536, 128 + 64 * 256 + 32 * 65536};
  page.DrawCells(7200, 9000, 1440, 720, cells);
  page.EndDocument();
  return page;
}

TEST(WmfWriter, PlaceableHeaderDescribesThePaperInTwips) {
  const std::string wmf = WmfBytes(MixedPage());
  ASSERT_GT(wmf.size(), 40u);
  EXPECT_EQ(U32(wmf, 0), 0x9AC6CDD7u);  // placeable key
  EXPECT_EQ(S16(wmf, 6), 0);
  EXPECT_EQ(S16(wmf, 8), 0);
  EXPECT_EQ(S16(wmf, 10), 11906);  // A4 in twips
  EXPECT_EQ(S16(wmf, 12), 16838);
  EXPECT_EQ(U16(wmf, 14), 1440);
  uint16_t checksum = 0;
  for (int i = 0; i < 10; ++i) checksum ^= U16(wmf, 2 * i);
  EXPECT_EQ(U16(wmf, 20), checksum);
  // Metafile header: file size in words, largest record.
  EXPECT_EQ(U32(wmf, 22 + 6), (wmf.size() - 22) / 2);
  const std::vector<Record> records = Records(wmf);
  size_t largest = 0;
  for (const Record& r : records) largest = std::max(largest, r.bytes / 2);
  EXPECT_EQ(U32(wmf, 22 + 12), largest);

  // Text in Windows-1252, one record a line, the second line lower.
  std::vector<std::pair<int, std::string>> texts;
  for (const Record& r : records) {
    if (r.function != kExtTextOut) continue;
    const int length = S16(wmf, r.at + 10);
    texts.emplace_back(S16(wmf, r.at + 6), wmf.substr(r.at + 14, length));
  }
  ASSERT_EQ(texts.size(), 3u);
  EXPECT_EQ(texts[0].second, "Hello TAVELO");
  EXPECT_EQ(texts[1].second, "Second line");
  EXPECT_EQ(texts[2].second, "Vitesse \xE9lev\xE9\x65");
  EXPECT_EQ(texts[0].first, 1440);
  EXPECT_NEAR(texts[1].first - texts[0].first, 24 * 20 * 1.15, 2);
}

TEST(WmfWriter, Wmf2svgDrawsTextsPathsAndCells) {
  const Converted c = Wmf2Svg(WmfBytes(MixedPage()));
  REQUIRE_CLEAN_CONVERSION(c);
  EXPECT_NE(c.svg.find(">Hello TAVELO<"), std::string::npos) << c.svg;
  EXPECT_NE(c.svg.find(">Second line<"), std::string::npos);
  EXPECT_NE(c.svg.find("<polyline"), std::string::npos);
  EXPECT_NE(c.svg.find("<polygon"), std::string::npos);
  EXPECT_NE(c.svg.find("font-weight:bold"), std::string::npos);
  EXPECT_NE(c.svg.find("stroke:red"), std::string::npos);

  // The cell column comes back as a 1 x 3 picture, top cell first.
  static const QRegularExpression re(QStringLiteral("data:image/png;base64,([A-Za-z0-9+/=\\s]+)\""));
  const auto match = re.match(QString::fromStdString(c.svg));
  ASSERT_TRUE(match.hasMatch()) << c.svg;
  const QImage cells = QImage::fromData(QByteArray::fromBase64(match.captured(1).toLatin1()));
  ASSERT_EQ(cells.size(), QSize(1, 3));
  EXPECT_EQ(cells.pixelColor(0, 0), QColor(0, 255, 0));
  EXPECT_EQ(cells.pixelColor(0, 1), QColor(0, 0, 255));
  EXPECT_EQ(cells.pixelColor(0, 2), QColor(128, 64, 32));
}

TEST(WmfWriter, UnitsPerInchFitThePaperInto16Bits) {
  EXPECT_EQ(WmfUnitsPerInch(11906, 16838), 1440);
  EXPECT_EQ(WmfUnitsPerInch(32767, 100), 1440);
  EXPECT_EQ(WmfUnitsPerInch(32768, 100), 720);
  EXPECT_EQ(WmfUnitsPerInch(1200 * 56.7, 800 * 56.7), 480);
  EXPECT_EQ(WmfUnitsPerInch(100000 * 56.7, 800 * 56.7), 8);  // a 100 m roll
  EXPECT_EQ(WmfUnitsPerInch(0, 100), 0);
  EXPECT_EQ(WmfUnitsPerInch(1e12, 100), 0);
  PageDocument huge;
  huge.SetPaperSize(1e12, 1000);
  EXPECT_TRUE(WmfBytes(huge).empty());
  std::string error;
  EXPECT_FALSE(ExportWmf(huge, test::TempFile("huge.wmf"), &error));
  EXPECT_FALSE(error.empty());
}

TEST(WmfWriter, WidePaperKeepsEveryMarkInPlace) {
  // Vertical lines across a 1200 mm paper, the last far beyond 32 767 twips.
  PageDocument page;
  page.SetPaperSize(1200 * 56.7, 800 * 56.7);
  page.BeginDocument();
  const double xs[] = {1000, 20000, 34000, 50000, 67000};
  for (double x : xs) {
    const double line[] = {x, 1000, x, 40000};
    page.DrawPolyline(std::span<const double>(line));
  }
  page.EndDocument();
  const std::string wmf = WmfBytes(page);
  EXPECT_EQ(U16(wmf, 14), 480);
  EXPECT_EQ(S16(wmf, 10), 22680);  // 68040 twips at 480 per inch
  std::vector<int> recorded;
  for (const Record& r : Records(wmf))
    if (r.function == kPolyline) recorded.push_back(PointsOf(wmf, r)[0].x);
  EXPECT_EQ(recorded, (std::vector<int>{333, 6667, 11333, 16667, 22333}));

  const Converted c = Wmf2Svg(wmf);
  REQUIRE_CLEAN_CONVERSION(c);
  const std::vector<double> svgX = PolylineStarts(c.svg);
  ASSERT_EQ(svgX.size(), 5u) << c.svg;
  // One scale for all: the far lines are not folded back onto the page.
  const double scale = (svgX[4] - svgX[0]) / (xs[4] - xs[0]);
  ASSERT_GT(scale, 0);
  for (int i = 0; i < 5; ++i) EXPECT_NEAR(svgX[i], svgX[0] + (xs[i] - xs[0]) * scale, 1) << i;
}

TEST(WmfWriter, LongPolylinesAreSplitSharingOnePoint) {
  for (int total : {32767, 32768, 100000}) {
    PageDocument page;
    page.BeginDocument();
    std::vector<double> xy;
    for (int i = 0; i < total; ++i) {
      xy.push_back(1000 + i % 9000);  // every point distinct from its neighbour
      xy.push_back(1000 + i / 9000 + (i % 2) * 100);
    }
    page.DrawPolyline(std::span<const double>(xy));
    page.EndDocument();
    const std::string wmf = WmfBytes(page);
    std::vector<std::vector<P16>> pieces;
    for (const Record& r : Records(wmf))
      if (r.function == kPolyline) pieces.push_back(PointsOf(wmf, r));
    ASSERT_EQ(pieces.size(), static_cast<size_t>(total <= 32767 ? 1 : (total - 2) / 32766 + 1)) << total;
    size_t points = 0;
    for (size_t i = 0; i < pieces.size(); ++i) {
      EXPECT_LE(pieces[i].size(), 32767u);
      points += pieces[i].size();
      if (i > 0) {
        EXPECT_EQ(pieces[i].front(), pieces[i - 1].back());
      }
    }
    EXPECT_EQ(points - (pieces.size() - 1), static_cast<size_t>(total));
    EXPECT_EQ(pieces.back().back(), (P16{static_cast<int>(xy[xy.size() - 2]), static_cast<int>(xy.back())}));
  }
}

TEST(WmfWriter, LongPolygonIsFilledInPiecesOfTheSameArea) {
  // A lobe: from the zero line out along a wiggle of 100 000 samples and
  // back, as the filled wiggle display draws it.
  PageDocument page;
  page.BeginDocument();
  page.SetPenColor(0);
  page.SetBrushColor(0);
  std::vector<double> xy;
  const int samples = 100000;
  const double zero = 3000;
  xy.push_back(zero);
  xy.push_back(1000);
  for (int i = 0; i < samples; ++i) {
    const double y = 1000 + i * 0.15;
    xy.push_back(zero + 1 + 2000 * std::abs(std::sin(i * 0.001)) + (i % 2));
    xy.push_back(y);
  }
  xy.push_back(zero);
  xy.push_back(1000 + (samples - 1) * 0.15);
  page.DrawPolygon(std::span<const double>(xy));
  page.EndDocument();

  std::vector<P16> original;
  for (size_t i = 0; i + 1 < xy.size(); i += 2)
    original.push_back({static_cast<int>(std::lround(xy[i])), static_cast<int>(std::lround(xy[i + 1]))});
  const double expectedArea = Area(original);

  const std::string wmf = WmfBytes(page);
  double area = 0;
  int polygons = 0, polylinePoints = 0;
  std::vector<P16> outlineEnds;
  for (const Record& r : Records(wmf)) {
    if (r.function == kPolygon) {
      const std::vector<P16> piece = PointsOf(wmf, r);
      EXPECT_LE(piece.size(), 32767u);
      area += Area(piece);
      ++polygons;
    } else if (r.function == kPolyline) {
      const std::vector<P16> line = PointsOf(wmf, r);
      polylinePoints += static_cast<int>(line.size());
      if (outlineEnds.empty()) outlineEnds.push_back(line.front());
      outlineEnds.push_back(line.back());
    }
  }
  EXPECT_GT(polygons, 1);
  EXPECT_NEAR(area, expectedArea, expectedArea * 1e-3);
  // The outline is drawn once, closed, over the pieces.
  // (points rounding onto their neighbour are left out).
  EXPECT_GE(polylinePoints, samples / 2);
  ASSERT_FALSE(outlineEnds.empty());
  EXPECT_EQ(outlineEnds.front(), outlineEnds.back());
  EXPECT_EQ(outlineEnds.front(), original.front());

  const Converted c = Wmf2Svg(wmf);
  REQUIRE_CLEAN_CONVERSION(c);
  EXPECT_NE(c.svg.find("<polygon"), std::string::npos);
}

TEST(WmfWriter, MarksFarOffThePaperAreClippedNotWrapped) {
  PageDocument page;
  page.BeginDocument();
  page.DrawLine(-1e7, 500, 1e7, 500);
  const double far[] = {1000, 1000, 5e6, 1000, 5e6, 3000, 1000, 3000};
  page.DrawPolyline(std::span<const double>(far));
  page.SetBrushColor(255);
  page.DrawPolygon(std::span<const double>(far));
  std::vector<Color> tall(100000, 255);
  page.DrawCells(2000, -1e6, 100, 30, tall);  // runs from far above to far below
  page.EndDocument();

  const std::string wmf = WmfBytes(page);
  bool sawLine = false;
  double area = 0;
  int bitmaps = 0;
  for (const Record& r : Records(wmf)) {
    if (r.function == kPolyline) {
      const std::vector<P16> p = PointsOf(wmf, r);
      if (p.size() == 2 && p[0].y == 500) {
        EXPECT_EQ(p[0].x, -32768);
        EXPECT_EQ(p[1].x, 32767);
        sawLine = true;
      }
      for (const P16& q : p) EXPECT_GE(q.x, -32768);  // never wrapped round
    } else if (r.function == kPolygon) {
      area += Area(PointsOf(wmf, r));
    } else if (r.function == kStretchDib) {
      ++bitmaps;
      EXPECT_LE(S16(wmf, r.at + 12), 32767);  // source height
    }
  }
  EXPECT_TRUE(sawLine);
  EXPECT_NEAR(area, (32767 - 1000) * 2000.0, 1);
  EXPECT_GE(bitmaps, 1);

  const Converted c = Wmf2Svg(wmf);
  REQUIRE_CLEAN_CONVERSION(c);
}

TEST(WmfWriter, EmptyPageAndExportToFile) {
  PageDocument page;
  page.BeginDocument();
  page.EndDocument();
  const std::string wmf = WmfBytes(page);
  const Converted c = Wmf2Svg(wmf);
  REQUIRE_CLEAN_CONVERSION(c);

  const std::string path = test::TempFile("page.wmf");
  ASSERT_TRUE(test::WriteBytes(path, "old"));
  std::string error;
  ASSERT_TRUE(ExportWmf(MixedPage(), path, &error)) << error;
  EXPECT_EQ(test::ReadBytes(path), WmfBytes(MixedPage()));
  EXPECT_FALSE(ExportWmf(MixedPage(), path + "/below/page.wmf", &error));
  EXPECT_FALSE(error.empty());
}

// A roll-plotter page with every kind of long record: a polyline and a
// polygon past the 32 767 points of one record, a cell column past the
// 32 767 rows of one bitmap, many more columns; its metafile is several
// megabytes, well past what the file writer gathers before writing.
PageDocument LongRecordsPage() {
  PageDocument page;
  page.SetPaperSize(68040, 45360);  // 1200 x 800 mm
  page.BeginDocument();
  page.SetFontSize(12);
  page.SetTextX(1417.5);
  page.SetTextY(300);
  page.DrawText("Profondeur (m)\r\nHöhe");
  std::vector<double> wiggle;
  for (int i = 0; i < 120000; ++i) {
    wiggle.push_back(2000 + 500 * std::sin(i * 0.01) + (i % 2));
    wiggle.push_back(1500 + i * 0.35);
  }
  page.DrawPolyline(std::span<const double>(wiggle));
  page.SetBrushColor(255);
  std::vector<double> lobe = {9000, 1500};
  for (int i = 0; i < 50000; ++i) {
    lobe.push_back(9001 + 800 * std::abs(std::sin(i * 0.002)) + (i % 2));
    lobe.push_back(1500 + i * 0.8);
  }
  lobe.push_back(9000);
  lobe.push_back(1500 + 49999 * 0.8);
  page.DrawPolygon(std::span<const double>(lobe));
  std::vector<Color> column;
  for (int k = 0; k < 40000; ++k) column.push_back(static_cast<Color>((k * 2654435761u) & 0xFFFFFF));
  page.DrawCells(20000, 1500, 31.185, 1, column);
  column.resize(1500);
  for (int c = 0; c < 300; ++c) page.DrawCells(25000 + 31.185 * c, 1568.12, 31.185, -30.24 * (c % 2 ? 1 : -1), column);
  page.EndDocument();
  return page;
}

// The file is written record by record and its header patched at the end:
// it must be the very metafile WmfBytes makes (the clipboard's), header
// sizes included.
TEST(WmfWriter, StreamedFileIsTheMetafileMadeInMemory) {
  auto emptyPage = [] {
    PageDocument page;
    page.BeginDocument();
    page.EndDocument();
    return page;
  };
  // The last never begun: the bare paper.
  const PageDocument pages[] = {MixedPage(), LongRecordsPage(), emptyPage(), PageDocument()};
  const std::string path = test::TempFile("streamed.wmf");
  for (size_t i = 0; i < std::size(pages); ++i) {
    const std::string memory = WmfBytes(pages[i]);
    ASSERT_FALSE(memory.empty()) << i;
    std::string error;
    ASSERT_TRUE(ExportWmf(pages[i], path, &error)) << i << ": " << error;
    const std::string file = test::ReadBytes(path);
    ASSERT_EQ(file.size(), memory.size()) << i;
    EXPECT_TRUE(file == memory) << i;
    // The patched header: size in words after the placeable header, the
    // largest record in words, some objects.
    const std::vector<Record> records = Records(file);
    size_t largest = 9;
    for (const Record& r : records) largest = std::max(largest, r.bytes / 2);
    EXPECT_EQ(U32(file, 22 + 6), (file.size() - 22) / 2) << i;
    EXPECT_EQ(U32(file, 22 + 12), largest) << i;
    EXPECT_GT(U16(file, 22 + 10), 0) << i;
  }
  const std::string wmf = WmfBytes(pages[1]);
  EXPECT_GT(wmf.size(), size_t{2} << 20);
  int bitmaps = 0, polylines = 0;
  for (const Record& r : Records(wmf)) {
    bitmaps += r.function == kStretchDib;
    polylines += r.function == kPolyline;
  }
  EXPECT_EQ(bitmaps, 2 + 300);  // the long column in two pieces
  EXPECT_GE(polylines, 4);      // the wiggle in four, the lobe's outline
}

// A write that fails at any stage (the test seam: a folder we may not write
// in, a full disk, a failing sync or rename) while the page streams out
// keeps the old file and leaves no temporary file beside it.
TEST(WmfWriter, FailedWriteKeepsTheOldFileAndLeavesNoTemporary) {
  const std::string folder = test::TempDir();
  const std::string path = folder + "/line.wmf";
  ASSERT_TRUE(test::WriteBytes(path, "old metafile"));
  auto entries = [&] {
    size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) ++count;
    return count;
  };
  const PageDocument pages[] = {MixedPage(), LongRecordsPage()};
  for (const char* fault : {"open:line.wmf", "write:line.wmf", "sync:*", "rename:line.wmf"}) {
    for (const PageDocument& page : pages) {
      setenv(kWriteFaultVariable, fault, 1);
      std::string error;
      const bool written = ExportWmf(page, path, &error);
      unsetenv(kWriteFaultVariable);
      EXPECT_FALSE(written) << fault;
      EXPECT_FALSE(error.empty()) << fault;
      EXPECT_EQ(test::ReadBytes(path), "old metafile") << fault;
      EXPECT_EQ(entries(), 1u) << fault;
    }
  }
  std::string error;
  ASSERT_TRUE(ExportWmf(pages[1], path, &error)) << error;
  EXPECT_TRUE(test::ReadBytes(path) == WmfBytes(pages[1]));
  EXPECT_EQ(entries(), 1u);
}

}  // namespace
}  // namespace tavelo
