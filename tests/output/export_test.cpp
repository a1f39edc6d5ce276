#include "output/export.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QColor>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <string>
#include <vector>

#include <unistd.h>

#include "output/painter_replay.h"
#include "page/page_document.h"
#include "support/gui_app.h"

namespace tavelo {
namespace {

// Runs a poppler tool; empty optional-like result (false) when it cannot run.
bool RunTool(const QString& program, const QStringList& arguments, QString& output) {
  QProcess process;
  process.start(program, arguments);
  if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit ||
      process.exitCode() != 0)
    return false;
  output = QString::fromUtf8(process.readAllStandardOutput());
  return true;
}

std::string ReadFile(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll().toStdString();
}

void WriteFile(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(bytes);
}

// A4 page: a title with a line break, a thick black line, a red polygon and
// a column of three coloured cells.
PageDocument SamplePage() {
  PageDocument page;
  page.BeginDocument();
  page.SetFontSize(24);
  page.SetTextX(1440);
  page.SetTextY(1440);
  page.DrawText("Hello TAVELO\r\nSecond line");
  page.SetPenWidth(144);  // 0.1 inch
  page.DrawLine(1440, 7200, 10080, 7200);
  page.SetPenWidth(0);
  page.SetBrushColor(255);
  page.DrawPolygonText(" 1440 9000 4320 9000 4320 11520 1440 11520");
  const Color cells[] = {255 * 256, 255 * 65536, 128 + 64 * 256 + 32 * 65536};
  page.DrawCells(7200, 9000, 1440, 720, cells);
  page.EndDocument();
  return page;
}

bool IsBlack(QRgb c) { return qRed(c) < 60 && qGreen(c) < 60 && qBlue(c) < 60; }
bool IsWhite(QRgb c) { return qRed(c) > 240 && qGreen(c) > 240 && qBlue(c) > 240; }

class ExportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::EnsureGuiApp();
    ASSERT_TRUE(dir_.isValid());
  }
  QString Path(const char* name) const { return dir_.filePath(QString::fromLatin1(name)); }
  QTemporaryDir dir_;
};

TEST_F(ExportTest, PdfHoldsTheTextAndThePaperSize) {
  const PageDocument page = SamplePage();
  std::string error;
  ASSERT_TRUE(ExportPdf(page, Path("page.pdf").toStdString(), &error)) << error;

  QString text, info;
  if (!RunTool("pdftotext", {Path("page.pdf"), "-"}, text)) GTEST_SKIP() << "pdftotext missing";
  EXPECT_TRUE(text.contains("Hello TAVELO")) << text.toStdString();
  EXPECT_TRUE(text.contains("Second line")) << text.toStdString();
  ASSERT_TRUE(RunTool("pdfinfo", {Path("page.pdf")}, info));
  EXPECT_TRUE(info.contains(QRegularExpression("Pages:\\s+1\\n"))) << info.toStdString();
  EXPECT_TRUE(info.contains("595 x 842 pts")) << info.toStdString();
}

TEST_F(ExportTest, PdfOfWideRollPaperKeepsItsOrientation) {
  PageDocument page;
  page.SetPaperSize(1200 * 56.7, 800 * 56.7);  // 1200 x 800 mm
  page.BeginDocument();
  page.SetTextX(60000);
  page.SetTextY(40000);
  page.DrawText("far corner");
  page.EndDocument();
  std::string error;
  ASSERT_TRUE(ExportPdf(page, Path("wide.pdf").toStdString(), &error)) << error;
  QString text, info;
  if (!RunTool("pdfinfo", {Path("wide.pdf")}, info)) GTEST_SKIP() << "pdfinfo missing";
  EXPECT_TRUE(info.contains("3402 x 2268 pts")) << info.toStdString();
  ASSERT_TRUE(RunTool("pdftotext", {Path("wide.pdf"), "-"}, text));
  EXPECT_TRUE(text.contains("far corner"));
}

TEST_F(ExportTest, PrintPageToAPdfPrinterUsesTheSameReplay) {
  const PageDocument page = SamplePage();
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(Path("printed.pdf"));
  printer.setPageSize(QPageSize(QPageSize::A4));
  std::string error;
  ASSERT_TRUE(PrintPage(page, printer, &error)) << error;
  QString text;
  if (!RunTool("pdftotext", {Path("printed.pdf"), "-"}, text)) GTEST_SKIP() << "pdftotext missing";
  EXPECT_TRUE(text.contains("Hello TAVELO"));
}

TEST_F(ExportTest, SvgHoldsTheTextInAViewBoxOfThePaper) {
  const PageDocument page = SamplePage();
  std::string error;
  ASSERT_TRUE(ExportSvg(page, Path("page.svg").toStdString(), &error)) << error;
  const std::string svg = ReadFile(Path("page.svg"));
  EXPECT_NE(svg.find("viewBox=\"0 0 11906 16838\""), std::string::npos);
  EXPECT_NE(svg.find(">Hello TAVELO<"), std::string::npos);
  EXPECT_NE(svg.find(">Second line<"), std::string::npos);
  EXPECT_NE(svg.find("width=\"210.009mm\""), std::string::npos);
}

TEST_F(ExportTest, PngHasTheSizeOfItsResolutionAndDrawsWhereThePageSays) {
  const PageDocument page = SamplePage();
  std::string error;
  ASSERT_TRUE(ExportPng(page, Path("page.png").toStdString(), 72, &error)) << error;
  QImage image(Path("page.png"));
  ASSERT_FALSE(image.isNull());
  EXPECT_EQ(image.width(), 595);   // 11906 twips at 72 dpi
  EXPECT_EQ(image.height(), 842);  // 16838 twips
  EXPECT_NEAR(image.dotsPerMeterX() * 0.0254, 72, 0.5);

  // 1 twip = 1/20 pixel at 72 dpi.
  EXPECT_TRUE(IsWhite(image.pixel(10, 10)));
  EXPECT_TRUE(IsBlack(image.pixel(300, 360))) << "the 0.1-inch line at y = 360 px";
  EXPECT_TRUE(IsWhite(image.pixel(300, 350)));
  // Polygon filled with the brush colour 255: pure red.
  const QColor red = image.pixelColor(144, 500);
  EXPECT_EQ(red, QColor(255, 0, 0));
  // Cells: 255*256 is green, 255*65536 blue, then red 128, green 64, blue 32.
  EXPECT_EQ(image.pixelColor(396, 468), QColor(0, 255, 0));
  EXPECT_EQ(image.pixelColor(396, 504), QColor(0, 0, 255));
  EXPECT_EQ(image.pixelColor(396, 540), QColor(128, 64, 32));
  EXPECT_TRUE(IsWhite(image.pixel(396, 560)));
}

TEST_F(ExportTest, TextHangsBelowItsTopLeftCorner) {
  PageDocument page;
  page.BeginDocument();
  page.SetFontSize(24);
  page.SetTextX(1440);
  page.SetTextY(1440);  // 72 px at 72 dpi
  page.DrawText("HHHH\nHHHH");
  page.EndDocument();
  std::string error;
  ASSERT_TRUE(ExportPng(page, Path("text.png").toStdString(), 72, &error)) << error;
  QImage image(Path("text.png"));
  ASSERT_FALSE(image.isNull());
  auto rowHasInk = [&](int y) {
    for (int x = 60; x < 200; ++x)
      if (qGray(image.pixel(x, y)) < 128) return true;
    return false;
  };
  int top = -1, bottom = -1;
  for (int y = 0; y < 200; ++y)
    if (rowHasInk(y)) {
      if (top < 0) top = y;
      bottom = y;
    }
  // A 24 pt capital starts a few pixels below the anchor; a second line
  // starts one line height (about 28 px) further down.
  EXPECT_GE(top, 72);
  EXPECT_LE(top, 82);
  EXPECT_GE(bottom, 72 + 28 + 14);
  EXPECT_LE(bottom, 72 + 28 + 24);
  for (int x = 0; x < 72; ++x) EXPECT_TRUE(IsWhite(image.pixel(x, 90))) << x;
}

TEST_F(ExportTest, FailedExportsReportAReasonAndKeepTheOldFile) {
  const PageDocument page = SamplePage();
  std::string error;

  // A folder that is in fact a file.
  WriteFile(Path("plain"), "x");
  EXPECT_FALSE(ExportPdf(page, Path("plain/page.pdf").toStdString(), &error));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(error.find('\n'), std::string::npos);

  // A picture far too large is refused before anything is written.
  WriteFile(Path("old.png"), "old picture");
  error.clear();
  EXPECT_FALSE(ExportPng(page, Path("old.png").toStdString(), 9000, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(ReadFile(Path("old.png")), "old picture");
  EXPECT_FALSE(ExportPng(page, Path("old.png").toStdString(), 0, &error));
  EXPECT_EQ(ReadFile(Path("old.png")), "old picture");
}

TEST_F(ExportTest, ExportIntoALockedFolderFailsAndKeepsTheOldFiles) {
  if (geteuid() == 0) GTEST_SKIP() << "permissions do not bind the superuser";
  const PageDocument page = SamplePage();
  std::string error;
  const QString locked = Path("locked");
  ASSERT_TRUE(QDir().mkpath(locked));
  WriteFile(locked + "/page.pdf", "old pdf");
  WriteFile(locked + "/page.svg", "old svg");
  ASSERT_TRUE(QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner));
  EXPECT_FALSE(ExportPdf(page, (locked + "/page.pdf").toStdString(), &error));
  EXPECT_FALSE(ExportSvg(page, (locked + "/page.svg").toStdString(), &error));
  QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  EXPECT_EQ(ReadFile(locked + "/page.pdf"), "old pdf");
  EXPECT_EQ(ReadFile(locked + "/page.svg"), "old svg");
}

TEST_F(ExportTest, ReplayKeepsTheAspectAndStaysOnThePaper) {
  // A square paper in a wide target: it is centred, and a line running far
  // beyond the paper's edge is cut at the edge.
  PageDocument page;
  page.SetPaperSize(1000, 1000);
  page.BeginDocument();
  page.SetPenWidth(100);
  page.DrawLine(-5000, 500, 5000, 500);
  page.EndDocument();

  QImage image(300, 100, QImage::Format_RGB32);
  image.fill(Qt::white);
  {
    QPainter painter(&image);
    ReplayPage(page, painter, QRectF(0, 0, 300, 100));
  }
  EXPECT_TRUE(IsBlack(image.pixel(102, 50)));
  EXPECT_TRUE(IsBlack(image.pixel(197, 50)));
  EXPECT_TRUE(IsWhite(image.pixel(97, 50)));
  EXPECT_TRUE(IsWhite(image.pixel(203, 50)));
  EXPECT_TRUE(IsWhite(image.pixel(150, 40)));  // 10 twips thick: 1 px each side
}

TEST_F(ExportTest, LongPolylineIsDrawnToItsEnd) {
  // More points than one painter call takes: the pieces must join up.
  PageDocument page;
  page.SetPaperSize(14400, 1440);
  page.BeginDocument();
  page.SetPenWidth(40);
  std::vector<float> xy;
  const int points = 200001;
  for (int i = 0; i < points; ++i) {
    xy.push_back(static_cast<float>(14400.0 * i / (points - 1)));
    xy.push_back(720);
  }
  page.DrawPolyline(std::span<const float>(xy));
  page.EndDocument();

  QImage image(1000, 100, QImage::Format_RGB32);
  image.fill(Qt::white);
  {
    QPainter painter(&image);
    ReplayPage(page, painter, QRectF(0, 0, 1000, 100));
  }
  int inked = 0;
  for (int x = 0; x < 1000; ++x) inked += IsBlack(image.pixel(x, 50)) ? 1 : 0;
  EXPECT_GE(inked, 998);
}

}  // namespace
}  // namespace tavelo
