// The PNG drawn in bands and the SVG written from the display list, both
// streamed to the file: their pictures against the replay's, what they hold,
// and a full disk midway.

#include <gtest/gtest.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "common/safe_file.h"
#include "output/painter_replay.h"
#include "output/png_writer.h"
#include "output/svg_writer.h"
#include "page/page_document.h"
#include "support/gui_app.h"
#include "support/image_difference.h"
#include "support/su_writer.h"
#include "support/wiggle_trace.h"

namespace tavelo {
namespace {

// Wiggles with their positive lobes filled, as the page builder draws them
// (at the sizes drawn here several samples share a pixel), then a block of
// cell columns side by side, a thick diagonal and two lines of text.
PageDocument Section(bool colouredCells) {
  PageDocument page;
  page.SetPaperSize(6000, 4000);
  page.BeginDocument();
  page.SetPenColor(0);
  page.SetPenWidth(0);
  page.SetBrushColor(0);
  page.SetBrushStyle(0);
  for (int t = 0; t < 60; ++t) {
    test::DrawWiggleTrace(page, 300 + t * 45, 500, [t](int k) {
      const double y = 300 + k * 6.5;
      const double a = 60 * std::sin(0.06 * k * (1 + 0.01 * t)) + 12 * std::sin(1.1 * k + t);
      return std::pair{y, a};
    });
  }
  for (int c = 0; c < 40; ++c) {
    std::vector<Color> cells;
    for (int k = 0; k < 60; ++k) {
      const int level = (c * 7 + k * 3) % 16 * 17;
      cells.push_back(colouredCells ? static_cast<Color>(level + 256 * (255 - level) + 65536 * 40)
                                    : static_cast<Color>(level * 0x010101));
    }
    page.DrawCells(3400 + c * 52.5, 2400, 52.5, -30, cells);  // upwards from y
  }
  page.SetPenColor(colouredCells ? 255 : 0x808080);
  page.SetPenWidth(40);
  page.DrawLine(3300, 3000, 5800, 3800);
  page.SetFontSize(12);
  page.SetTextX(3400);
  page.SetTextY(2700);
  page.DrawText("Line 12 & <more>\r\nsecond line");
  page.EndDocument();
  return page;
}

// The page as the painter alone draws it (plain ARGB32 is not a format
// the replay writes itself): the picture the others are held to.
QImage PainterPicture(const PageDocument& page, int width, int height) {
  QImage image(width, height, QImage::Format_ARGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing, true);
  painter.setRenderHint(QPainter::TextAntialiasing, true);
  ReplayPage(page, painter, QRectF(0, 0, width, height));
  painter.end();
  return image.convertToFormat(QImage::Format_RGB32);
}

// The page replayed into one image with the replay's own pixel writer.
QImage OnePassPicture(const PageDocument& page, int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing, true);
  painter.setRenderHint(QPainter::TextAntialiasing, true);
  ReplayPage(page, painter, QRectF(0, 0, width, height));
  return image;
}

using test::Compare;
using test::Difference;

// The replay's tolerance against the painter: single pixels of steep
// strokes may share their ink differently, the picture may not change.
void ExpectSamePicture(const QImage& expected, const QImage& actual, const char* what) {
  const Difference d = Compare(expected, actual);
  EXPECT_LE(d.largest, 96) << what;
  EXPECT_LT(d.mean, 1.0) << what;
  EXPECT_LT(d.visible, 0.002) << what;
}

// The pixels darker than mid-grey within `area`.
QRect InkBox(const QImage& image, const QRect& area) {
  QRect box;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x)
      if (image.valid(x, y) && qGray(image.pixel(x, y)) < 128 && qRed(image.pixel(x, y)) < 128)
        box |= QRect(x, y, 1, 1);
  return box;
}

std::string ReadAll(const std::string& path) {
  return ReadWholeFile(path).value_or("");
}

size_t CountOf(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++n;
  return n;
}

class StreamedExportTest : public ::testing::Test {
 protected:
  void SetUp() override { test::EnsureGuiApp(); }
};

TEST_F(StreamedExportTest, PngInBandsIsTheReplaysPicture) {
  for (const bool coloured : {false, true}) {
    const PageDocument page = Section(coloured);
    const std::string path = test::TempFile("bands.png");
    std::string error;
    // 6000 x 4000 twips at 216 dpi: 900 x 600 pixels in bands of 37 rows,
    // the last one short.
    ASSERT_TRUE(WritePngInBands(page, path, 216, 37, &error)) << error;
    const QImage png(QString::fromStdString(path));
    ASSERT_EQ(png.size(), QSize(900, 600));
    EXPECT_NEAR(png.dotsPerMeterX() * 0.0254, 216, 0.5);
    const QImage picture = png.convertToFormat(QImage::Format_RGB32);
    // Grey pages are stored with one channel, others with three.
    const std::string bytes = ReadAll(path);
    ASSERT_GT(bytes.size(), 26u);
    EXPECT_EQ(bytes[25], coloured ? 2 : 0) << "colour type";

    const Difference onePass = Compare(OnePassPicture(page, 900, 600), picture);
    // Text and thick pens cut at a band's edge may round a level apart.
    EXPECT_LE(onePass.largest, 4) << "coloured " << coloured;
    EXPECT_EQ(onePass.visible, 0) << "coloured " << coloured;
    ExpectSamePicture(PainterPicture(page, 900, 600), picture, coloured ? "coloured png" : "grey png");
    // The default bands give the same picture.
    ASSERT_TRUE(WritePng(page, path, 216, &error)) << error;
    const Difference whole = Compare(picture, QImage(QString::fromStdString(path)).convertToFormat(QImage::Format_RGB32));
    EXPECT_LE(whole.largest, 4);
  }
}

TEST_F(StreamedExportTest, SvgReadBackByQtShowsTheReplaysPicture) {
  for (const bool coloured : {false, true}) {
    const PageDocument page = Section(coloured);
    const std::string path = test::TempFile("page.svg");
    std::string error;
    ASSERT_TRUE(WriteSvg(page, path, &error)) << error;
    QSvgRenderer renderer(QString::fromStdString(path));
    ASSERT_TRUE(renderer.isValid());
    EXPECT_EQ(renderer.viewBoxF(), QRectF(0, 0, 6000, 4000));
    for (const QSize size : {QSize(600, 400), QSize(1500, 1000)}) {
      QImage svg(size, QImage::Format_ARGB32);
      svg.fill(Qt::white);
      QPainter painter(&svg);
      painter.setRenderHint(QPainter::Antialiasing, true);
      painter.setRenderHint(QPainter::TextAntialiasing, true);
      renderer.render(&painter, QRectF(0, 0, size.width(), size.height()));
      painter.end();
      // Qt's renderer smooths every image it scales, whatever the file
      // asks, and rasterises glyphs its own way: the cells are compared on
      // their own below, the text by where its ink lies.
      const double scale = size.width() / 6000.0;
      const QRectF cells(3400 * scale - 1, 600 * scale - 1, 2100 * scale + 2, 1800 * scale + 2);
      const QRect text = QRectF(3350 * scale, 2650 * scale, 2650 * scale, 700 * scale).toAlignedRect();
      QImage expected = PainterPicture(page, size.width(), size.height());
      QImage actual = svg.convertToFormat(QImage::Format_RGB32);
      EXPECT_LE(std::abs(InkBox(expected, text).top() - InkBox(actual, text).top()), 1);
      EXPECT_LE(std::abs(InkBox(expected, text).left() - InkBox(actual, text).left()), 1);
      EXPECT_LE(std::abs(InkBox(expected, text).bottom() - InkBox(actual, text).bottom()), 1);
      for (QImage* image : {&expected, &actual}) {
        QPainter blank(image);
        blank.fillRect(cells, Qt::white);
        blank.fillRect(text, Qt::white);
      }
      ExpectSamePicture(expected, actual, coloured ? "coloured svg" : "grey svg");
    }
  }
}

TEST_F(StreamedExportTest, SvgCellImageHoldsEachCellAsOnePixel) {
  const PageDocument page = Section(true);
  const std::string path = test::TempFile("cells.svg");
  ASSERT_TRUE(WriteSvg(page, path));
  const std::string svg = ReadAll(path);
  const std::string mark = "data:image/png;base64,";
  const size_t from = svg.find(mark);
  ASSERT_NE(from, std::string::npos);
  const size_t to = svg.find('"', from);
  const QByteArray png = QByteArray::fromBase64(QByteArray::fromStdString(svg.substr(from + mark.size(), to - from - mark.size())));
  const QImage image = QImage::fromData(png, "PNG");
  ASSERT_EQ(image.size(), QSize(40, 60));
  // Cell k of column c (from the bottom: the cells run upwards) as drawn.
  for (int c = 0; c < 40; c += 13)
    for (int k = 0; k < 60; k += 7) {
      const int level = (c * 7 + k * 3) % 16 * 17;
      EXPECT_EQ(image.pixelColor(c, 59 - k), QColor(level, 255 - level, 40)) << c << ", " << k;
    }
}

TEST_F(StreamedExportTest, SvgIsOnePathATraceAndOneImageABlock) {
  const PageDocument page = Section(true);
  const std::string path = test::TempFile("compact.svg");
  ASSERT_TRUE(WriteSvg(page, path));
  const std::string svg = ReadAll(path);
  // 60 wiggles, the lobes of each trace in one path, the diagonal.
  EXPECT_EQ(CountOf(svg, "<path"), 60u + 60u + 1u);
  // Forty columns side by side: one image.
  EXPECT_EQ(CountOf(svg, "<image"), 1u);
  EXPECT_NE(svg.find("x=\"3400\" y=\"600\" width=\"2100\" height=\"1800\""), std::string::npos);
  // Relative steps: a wiggle's second point is a small step, not a position.
  EXPECT_NE(svg.find("<path vector-effect=\"non-scaling-stroke\" d=\"M300 300l"), std::string::npos);
  // Markup in text is escaped; each line is its own element.
  EXPECT_NE(svg.find(">Line 12 &amp; &lt;more&gt;</text>"), std::string::npos);
  EXPECT_NE(svg.find(">second line</text>"), std::string::npos);
}

TEST_F(StreamedExportTest, FullDiskMidwayKeepsTheOldFile) {
  const PageDocument page = Section(true);
  const std::string dir = test::TempDir();
  for (const std::string name : {"old.svg", "old.png"}) {
    const std::string path = dir + "/" + name;
    ASSERT_TRUE(WriteFileAtomically(path, "old picture"));
    setenv(kWriteFaultVariable, ("write:" + name).c_str(), 1);
    std::string error;
    const bool written = name == "old.svg" ? WriteSvg(page, path, &error) : WritePng(page, path, 216, &error);
    unsetenv(kWriteFaultVariable);
    EXPECT_FALSE(written) << name;
    EXPECT_NE(error.find("No space left on device"), std::string::npos) << error;
    EXPECT_EQ(ReadAll(path), "old picture");
    EXPECT_EQ(QDir(QString::fromStdString(dir)).entryList(QDir::Files | QDir::Hidden).size(), 1 + (name == "old.png"))
        << "no temporary file is left";
  }
}

}  // namespace
}  // namespace tavelo
