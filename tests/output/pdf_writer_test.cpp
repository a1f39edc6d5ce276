// Our PDF writer, read back by real clients: poppler's pdftotext, pdfinfo,
// pdfimages and pdftoppm, and qpdf's structural check. The picture is
// compared with the one Qt's PDF engine makes of the same page.

#include "output/pdf_writer.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QRect>
#include <QRectF>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "output/painter_replay.h"
#include "page/page_document.h"
#include "support/gui_app.h"

namespace tavelo {
namespace {

// Runs a tool; false when it is missing or fails.
bool RunTool(const QString& program, const QStringList& arguments, QString* output = nullptr) {
  QProcess process;
  process.start(program, arguments);
  if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit ||
      process.exitCode() != 0)
    return false;
  if (output) *output = QString::fromUtf8(process.readAllStandardOutput());
  return true;
}

bool HaveTool(const char* program) {
  QProcess process;
  process.start(QString::fromLatin1(program), {QStringLiteral("-v")});
  return process.waitForFinished(10000);
}

class PdfWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::EnsureGuiApp();
    ASSERT_TRUE(dir_.isValid());
    if (!HaveTool("pdftotext")) GTEST_SKIP() << "poppler-utils missing";
  }
  QString Path(const QString& name) const { return dir_.filePath(name); }

  void Write(const PageDocument& page, const QString& name) {
    std::string error;
    ASSERT_TRUE(WritePdf(page, Path(name).toStdString(), &error)) << error;
  }

  // The first page rasterised by poppler at `dpi`.
  QImage Raster(const QString& name, int dpi) {
    const QString stem = Path(name + QStringLiteral("-raster"));
    if (!RunTool(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QString::number(dpi),
                                              QStringLiteral("-png"), QStringLiteral("-singlefile"),
                                              Path(name), stem}))
      return {};
    return QImage(stem + QStringLiteral(".png")).convertToFormat(QImage::Format_RGB32);
  }

  void ExpectSoundFile(const QString& name) {
    QString info;
    ASSERT_TRUE(RunTool(QStringLiteral("pdfinfo"), {Path(name)}, &info)) << name.toStdString();
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Pages:\\s+1\\n"))));
    if (HaveTool("qpdf")) {
      QString check;
      EXPECT_TRUE(RunTool(QStringLiteral("qpdf"), {QStringLiteral("--check"), Path(name)}, &check))
          << check.toStdString();
    }
  }

  QTemporaryDir dir_;
};

// A small section page as the builder draws one: frame, captions in the five
// languages' accents, a two-line text, wiggles with filled lobes, a thick
// line, an outlined polygon, and cell columns running down and up.
PageDocument SectionPage() {
  PageDocument page;
  page.SetPaperSize(68040, 45360);  // 1200 x 800 mm: far past 16-bit twips
  page.BeginDocument();
  page.SetBrushStyle(1);
  page.DrawPolygon(std::vector<double>{1417.5, 1553, 60000, 1553, 60000, 40000, 1417.5, 40000});
  page.SetFontSize(28);
  page.SetTextX(1417.5);
  page.SetTextY(300);
  page.DrawText("Profondità (m)  Höhe (m)");
  page.SetFontSize(14);
  page.SetFontBold(true);
  page.SetTextX(40000);
  page.DrawText("Profundidad (m)\r\nProfondeur à l'Est");
  page.SetFontBold(false);
  page.SetBrushStyle(0);
  page.SetBrushColor(0);
  for (int k = 0; k < 40; ++k) {
    const double x0 = 3000 + 700.0 * k;
    std::vector<float> wiggle;
    for (int j = 0; j < 200; ++j) {
      wiggle.push_back(static_cast<float>(std::round(x0 + 600 * std::sin(j * 0.2 + k))));
      wiggle.push_back(static_cast<float>(2000 + 90 * j));
    }
    page.DrawPolyline(wiggle);
    std::vector<float> lobe = {static_cast<float>(x0), 2000};
    for (int j = 1; j < 15; ++j) {
      lobe.push_back(static_cast<float>(std::round(x0 + 600 * std::sin(j * 0.2))));
      lobe.push_back(static_cast<float>(2000 + 90 * j));
    }
    lobe.push_back(static_cast<float>(x0));
    lobe.push_back(3350);
    page.DrawPolygon(lobe);
  }
  page.SetPenWidth(144);
  page.SetPenColor(255);
  page.DrawLine(3000, 25000, 60000, 25000.5);
  page.SetPenWidth(0);
  page.SetBrushColor(255 * 256);
  page.DrawPolygon(std::vector<double>{40000, 30000, 50000, 30000, 45000, 38000});
  std::vector<Color> column;
  for (int k = 0; k < 60; ++k) column.push_back(k % 3 == 0 ? 255 : k % 3 == 1 ? 255 * 65536 : 16777215);
  for (int c = 0; c < 20; ++c) page.DrawCells(3000 + 500 * c, 27000, 500, 200, column);
  page.DrawCells(15000, 39000, 1000, -200, std::vector<Color>{255 * 256, 0, 255});
  page.EndDocument();
  return page;
}

TEST_F(PdfWriterTest, TextsInEveryAccentAndThePaperSizeReadBack) {
  Write(SectionPage(), QStringLiteral("section.pdf"));
  ExpectSoundFile(QStringLiteral("section.pdf"));
  QString text, info;
  ASSERT_TRUE(RunTool(QStringLiteral("pdftotext"), {Path(QStringLiteral("section.pdf")), QStringLiteral("-")}, &text));
  EXPECT_TRUE(text.contains(QStringLiteral("Profondità (m)"))) << text.toStdString();
  EXPECT_TRUE(text.contains(QStringLiteral("Höhe (m)"))) << text.toStdString();
  EXPECT_TRUE(text.contains(QStringLiteral("Profundidad (m)\nProfondeur à l'Est"))) << text.toStdString();
  ASSERT_TRUE(RunTool(QStringLiteral("pdfinfo"), {Path(QStringLiteral("section.pdf"))}, &info));
  EXPECT_TRUE(info.contains(QStringLiteral("3402 x 2268 pts"))) << info.toStdString();

  PageDocument a4;  // A4: 595.3 x 841.9 points, whole points as Qt's engine makes them
  a4.BeginDocument();
  a4.EndDocument();
  Write(a4, QStringLiteral("a4.pdf"));
  ASSERT_TRUE(RunTool(QStringLiteral("pdfinfo"), {Path(QStringLiteral("a4.pdf"))}, &info));
  EXPECT_TRUE(info.contains(QStringLiteral("595 x 842 pts"))) << info.toStdString();
}

// Poppler's picture of our file against the QPainter replay of the page
// (the preview, PNG and print path). Qt's own PDF engine is no reference
// for cells: it stores them as JPEG, which bleeds colours across cells.
TEST_F(PdfWriterTest, PictureMatchesTheQtReplayOfTheSamePage) {
  const PageDocument page = SectionPage();
  Write(page, QStringLiteral("ours.pdf"));
  constexpr int kDpi = 30;
  const QImage ours = Raster(QStringLiteral("ours.pdf"), kDpi);
  ASSERT_FALSE(ours.isNull());
  QImage replay(ours.size(), QImage::Format_RGB32);
  replay.fill(Qt::white);
  {
    QPainter painter(&replay);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    const double scale = kDpi / 1440.0;
    ReplayPage(page, painter, QRectF(0, 0, page.PageWidth() * scale, page.PageHeight() * scale));
  }
  // Antialiasing makes thin lines grey in one picture and black in the
  // other, so compare where the ink is: every dark pixel of either picture
  // has ink within one pixel in the other (a mark one pixel off fails).
  auto grey = [](const QImage& image, int x, int y) { return qGray(image.pixel(x, y)); };
  auto unmatched = [&](const QImage& from, const QImage& to, int* dark) {
    int misses = 0;
    for (int y = 0; y < from.height(); ++y) {
      for (int x = 0; x < from.width(); ++x) {
        if (grey(from, x, y) >= 128) continue;
        ++*dark;
        bool ink = false;
        for (int dy = -1; dy <= 1 && !ink; ++dy)
          for (int dx = -1; dx <= 1 && !ink; ++dx)
            ink = to.valid(x + dx, y + dy) && grey(to, x + dx, y + dy) < 224;
        if (!ink) ++misses;
      }
    }
    return misses;
  };
  int darkOurs = 0, darkReplay = 0;
  const int missOurs = unmatched(ours, replay, &darkOurs);
  const int missReplay = unmatched(replay, ours, &darkReplay);
  EXPECT_GT(darkOurs, 10000);
  EXPECT_LT(missOurs, darkOurs / 500) << missOurs << " of " << darkOurs;
  EXPECT_LT(missReplay, darkReplay / 500) << missReplay << " of " << darkReplay;
  // The texts above the frame sit where the replay puts them: same ink box.
  auto inkBox = [&](const QImage& image) {
    QRect box;
    for (int y = 0; y < 1500 * kDpi / 1440; ++y)
      for (int x = 0; x < image.width(); ++x)
        if (grey(image, x, y) < 160) box |= QRect(x, y, 1, 1);
    return box;
  };
  const QRect textOurs = inkBox(ours), textReplay = inkBox(replay);
  ASSERT_FALSE(textOurs.isEmpty());
  EXPECT_NEAR(textOurs.top(), textReplay.top(), 1);
  EXPECT_NEAR(textOurs.bottom(), textReplay.bottom(), 1);
  EXPECT_NEAR(textOurs.left(), textReplay.left(), 1);
  EXPECT_NEAR(textOurs.right(), textReplay.right(), 2);
  // Colours (cells, fills, the red line) agree on the whole.
  int64_t total = 0;
  for (int y = 0; y < ours.height(); ++y) {
    for (int x = 0; x < ours.width(); ++x) {
      const QRgb p = ours.pixel(x, y), q = replay.pixel(x, y);
      total += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
    }
  }
  EXPECT_LT(static_cast<double>(total) / (3.0 * ours.width() * ours.height()), 4.0);
}

TEST_F(PdfWriterTest, CellColumnsAreSharpImagesInTheirPlaces) {
  Write(SectionPage(), QStringLiteral("cells.pdf"));
  if (HaveTool("pdfimages")) {
    QString list;
    ASSERT_TRUE(RunTool(QStringLiteral("pdfimages"), {QStringLiteral("-list"), Path(QStringLiteral("cells.pdf"))}, &list));
    // Three colours: one row of 2-bit indices per column; the upward column
    // brings two more colours (5 in all): 4 bits.
    EXPECT_EQ(list.count(QRegularExpression(QStringLiteral("image\\s+60\\s+1\\s+index\\s+1\\s+2\\s"))), 20)
        << list.toStdString();
    EXPECT_EQ(list.count(QRegularExpression(QStringLiteral("image\\s+3\\s+1\\s+index\\s+1\\s+4\\s"))), 1);
  }
  // 72 dpi: one pixel is 20 twips. Cells of 200 twips are 10 pixels high.
  const QImage image = Raster(QStringLiteral("cells.pdf"), 72);
  ASSERT_FALSE(image.isNull());
  auto at = [&](double xTwips, double yTwips) {
    return image.pixel(static_cast<int>(xTwips / 20), static_cast<int>(yTwips / 20)) & 0xFFFFFF;
  };
  // Column 0, cells k = 0, 1, 2 from the top: red, blue, white.
  EXPECT_EQ(at(3250, 27100), 0xFF0000u);
  EXPECT_EQ(at(3250, 27300), 0x0000FFu);
  EXPECT_EQ(at(3250, 27500), 0xFFFFFFu);
  EXPECT_EQ(at(12750, 27000 + 200 * 57 + 100), 0xFF0000u);  // near the end of the last column
  EXPECT_EQ(at(12750, 27000 + 200 * 58 + 100), 0x0000FFu);
  // A negative cell height runs upwards from y: green just above 39000.
  EXPECT_EQ(at(15500, 38900), 0x00FF00u);
  EXPECT_EQ(at(15500, 38700), 0x000000u);
  EXPECT_EQ(at(15500, 38500), 0xFF0000u);
  EXPECT_EQ(at(15500, 39100), 0xFFFFFFu);  // nothing below it
}

// Cell indices are packed to the fewest bits the column needs (2 or 4,
// one row per column) or kept as bytes (one column) once the page holds
// more than 16 colours; every image read back by poppler holds the column's
// colours, first cell first, and the page shows them in their places.
TEST_F(PdfWriterTest, PackedCellIndicesDecodeToTheirColours) {
  if (!HaveTool("pdfimages")) GTEST_SKIP() << "pdfimages missing";
  auto rgb = [](int r, int g, int b) { return static_cast<Color>(r | g << 8 | b << 16); };
  // One page-wide palette, in the order colours first appear.
  std::vector<std::vector<Color>> columns;
  // The amplitude palette: 16 colours, 37 cells (an odd count): 4 bits.
  columns.push_back({});
  for (int k = 0; k < 37; ++k) columns.back().push_back(rgb(k % 16 * 17, 255 - k % 16 * 16, (k * 7) % 16 * 16));
  // The palette's first two colours, 13 cells: 2 bits (one-bit images are
  // black and white to some tools), the last byte part padding.
  columns.push_back({});
  for (int k = 0; k < 13; ++k) columns.back().push_back(columns[0][k % 3 ? 1 : 0]);
  // Four new colours: the page passes 16, this column needs bytes.
  columns.push_back({rgb(1, 2, 3), rgb(250, 0, 5), rgb(1, 2, 3), rgb(9, 99, 199), rgb(77, 0, 0), columns[0][5]});
  // The palette's first four colours: 2 bits.
  columns.push_back({});
  for (int k = 0; k < 9; ++k) columns.back().push_back(columns[0][(k * 5) % 4]);
  PageDocument page;
  page.BeginDocument();
  for (size_t c = 0; c < columns.size(); ++c)
    page.DrawCells(2000 + 1000.0 * static_cast<double>(c), 2000, 400, 200, columns[c]);
  page.DrawCells(8000, 12000, 400, -200, columns[0]);  // upwards, 4 bits
  page.EndDocument();
  Write(page, QStringLiteral("packed.pdf"));
  ExpectSoundFile(QStringLiteral("packed.pdf"));

  QString list;
  ASSERT_TRUE(RunTool(QStringLiteral("pdfimages"), {QStringLiteral("-list"), Path(QStringLiteral("packed.pdf"))}, &list));
  const char* shapes[] = {"37\\s+1\\s+index\\s+1\\s+4", "13\\s+1\\s+index\\s+1\\s+2",
                          "1\\s+6\\s+index\\s+1\\s+8", "9\\s+1\\s+index\\s+1\\s+2",
                          "37\\s+1\\s+index\\s+1\\s+4"};
  const QStringList lines = list.split(QLatin1Char('\n')).filter(QStringLiteral(" image "));
  ASSERT_EQ(lines.size(), 5) << list.toStdString();
  for (int i = 0; i < 5; ++i)
    EXPECT_TRUE(lines[i].contains(QRegularExpression(QStringLiteral("image\\s+") + QLatin1String(shapes[i]) + QStringLiteral("\\s"))))
        << lines[i].toStdString();

  ASSERT_TRUE(RunTool(QStringLiteral("pdfimages"), {QStringLiteral("-png"), Path(QStringLiteral("packed.pdf")), Path(QStringLiteral("cell"))}));
  for (int i = 0; i < 5; ++i) {
    const std::vector<Color>& cells = columns[i < 4 ? i : 0];
    const QImage image = QImage(Path(QStringLiteral("cell-%1.png").arg(i, 3, 10, QLatin1Char('0'))))
                             .convertToFormat(QImage::Format_RGB32);
    ASSERT_FALSE(image.isNull()) << i;
    const bool row = image.height() == 1;
    ASSERT_EQ(static_cast<size_t>(row ? image.width() : image.height()), cells.size()) << i;
    for (size_t k = 0; k < cells.size(); ++k) {
      const QRgb p = row ? image.pixel(static_cast<int>(k), 0) : image.pixel(0, static_cast<int>(k));
      EXPECT_EQ(static_cast<Color>(qRed(p) | qGreen(p) << 8 | qBlue(p) << 16), cells[k]) << i << " cell " << k;
    }
  }

  // 72 dpi: 20 twips a pixel, cells 10 pixels high; the middle of each cell.
  const QImage raster = Raster(QStringLiteral("packed.pdf"), 72);
  ASSERT_FALSE(raster.isNull());
  auto at = [&](double xTwips, double yTwips) {
    const QRgb p = raster.pixel(static_cast<int>(xTwips / 20), static_cast<int>(yTwips / 20));
    return static_cast<Color>(qRed(p) | qGreen(p) << 8 | qBlue(p) << 16);
  };
  for (size_t c = 0; c < columns.size(); ++c)
    for (size_t k = 0; k < columns[c].size(); ++k)
      EXPECT_EQ(at(2200 + 1000.0 * static_cast<double>(c), 2100 + 200.0 * static_cast<double>(k)), columns[c][k])
          << "column " << c << " cell " << k;
  for (size_t k = 0; k < columns[0].size(); ++k)
    EXPECT_EQ(at(8200, 11900 - 200.0 * static_cast<double>(k)), columns[0][k]) << "upwards, cell " << k;
}

TEST_F(PdfWriterTest, EmptyAndWildPagesStayReadable) {
  PageDocument empty;  // never begun: the bare paper
  Write(empty, QStringLiteral("empty.pdf"));
  ExpectSoundFile(QStringLiteral("empty.pdf"));

  PageDocument wild;
  wild.BeginDocument();
  const float big = std::numeric_limits<float>::max();
  wild.DrawPolyline(std::vector<float>{0, 0, big, -big, 1e30f, 5.25f, 0.1f, 0.2f});
  wild.DrawPolygon(std::vector<double>{-1e300, 1e300, 5, 5});
  wild.DrawLine(1e15, -1e15, 100, 100);
  wild.SetTextX(1e18);
  wild.SetFontSize(1e9);
  wild.DrawText("far (away) \\ and\tback");
  wild.DrawCells(-1e12, 1e12, 1e-3, 1e9, std::vector<Color>{-1, 0x7FFFFFFF});
  wild.EndDocument();
  Write(wild, QStringLiteral("wild.pdf"));
  ExpectSoundFile(QStringLiteral("wild.pdf"));
  EXPECT_FALSE(Raster(QStringLiteral("wild.pdf"), 10).isNull());

  std::string error;
  EXPECT_FALSE(WritePdf(wild, Path(QStringLiteral("no/such/folder/x.pdf")).toStdString(), &error));
  EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace tavelo
