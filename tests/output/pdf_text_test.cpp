// PDF text in every script and in the chosen face: the faces the painter
// would use, the widths it would give, and what poppler's pdftotext and
// pdffonts read back from our files.

#include <gtest/gtest.h>

#include <QFont>
#include <QFontInfo>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <string>
#include <vector>

#include "output/font_faces.h"
#include "output/painter_replay.h"
#include "output/pdf_writer.h"
#include "page/page_document.h"
#include "support/gui_app.h"

namespace tavelo {
namespace {

const char* const kTitle = "\u041f\u0440\u043e\u0444\u0438\u043b\u044c 7 \u2013 \u03a9\u03bc\u03ad\u03b3\u03b1, \u0141\u00f3d\u017a";

bool RunTool(const QString& program, const QStringList& arguments, QString* output) {
  QProcess process;
  process.start(program, arguments);
  if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
    return false;
  *output = QString::fromUtf8(process.readAllStandardOutput());
  return true;
}

// The font as the replay makes it for a device of 1440 dots per inch: one
// pixel a twip, so widths come out in twips.
QFont ReplayFont(const std::string& family, double points, bool bold) {
  QFont font(QString::fromStdString(family));
  font.setPointSizeF(points * 20.0 * 72.0 / 1440.0);
  font.setBold(bold);
  font.setHintingPreference(QFont::PreferNoHinting);
  return font;
}

// A device of 1440 dots per inch.
QPaintDevice* TwipDevice() {
  static QImage device = [] {
    QImage image(1, 1, QImage::Format_RGB32);
    image.setDotsPerMeterX(56693);
    image.setDotsPerMeterY(56693);
    return image;
  }();
  return &device;
}

class PdfTextTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::EnsureGuiApp();
    ReplayTextMetrics(FontState{}, 1440);  // the replay's Arial substitute in place
    ASSERT_TRUE(dir_.isValid());
  }
  // pdftotext's reading of a page holding `texts` at 14 points, one under
  // the other, in `family`; pdffonts' listing in `fonts`.
  QString TextOf(const std::string& family, const std::vector<std::string>& texts, QString* fonts = nullptr,
                 qint64* size = nullptr) {
    PageDocument page;
    page.BeginDocument();
    page.SetFontName(family);
    page.SetFontSize(14);
    for (size_t i = 0; i < texts.size(); ++i) {
      page.SetTextX(1440);
      page.SetTextY(1440 + 1440.0 * static_cast<double>(i));
      page.DrawText(texts[i]);
    }
    page.EndDocument();
    const QString path = dir_.filePath(QStringLiteral("text.pdf"));
    std::string error;
    EXPECT_TRUE(WritePdf(page, path.toStdString(), &error)) << error;
    if (size) *size = QFileInfo(path).size();
    QString text;
    if (!RunTool(QStringLiteral("pdftotext"), {path, QStringLiteral("-")}, &text)) return QStringLiteral("(no pdftotext)");
    if (fonts) RunTool(QStringLiteral("pdffonts"), {path}, fonts);
    return text;
  }
  QTemporaryDir dir_;
};

TEST_F(PdfTextTest, FacesAreThoseThePainterChooses) {
  for (const char* family : {"Liberation Serif", "DejaVu Sans", "Arial", "Courier New", "Times New Roman",
                             "No Such Family At All"}) {
    for (bool bold : {false, true}) {
      const FaceChain& chain = FaceChain::For(family, bold);
      ASSERT_FALSE(chain.empty()) << family;
      const QFontInfo painter(ReplayFont(family, 14, bold));
      EXPECT_EQ(chain.Primary()->family, painter.family().toStdString()) << family << (bold ? " bold" : "");
      EXPECT_EQ(chain.Primary()->weight >= 200, painter.bold()) << family;
    }
  }
}

// Widths as the painter lays the line out: kerning, Cyrillic, Greek, Polish.
TEST_F(PdfTextTest, LineWidthsAreThePaintersWidths) {
  for (const char* family : {"Arial", "Liberation Serif", "DejaVu Sans"}) {
    for (const std::string& line : {std::string("AVATAR Wave, To: 1.5 ms"), std::string(kTitle),
                                   std::string("Profondit\u00e0 (m)  H\u00f6he (m)")}) {
      const FaceChain& chain = FaceChain::For(family, false);
      const double ours = chain.AdvanceEm(line) * 280;  // 14 points in twips
      const double painter = QFontMetricsF(ReplayFont(family, 14, false), TwipDevice())
                                 .horizontalAdvance(QString::fromStdString(line));
      EXPECT_NEAR(ours, painter, 0.002 * painter + 0.5) << family << ": " << line;
    }
  }
}

TEST_F(PdfTextTest, ChosenFamilyIsEmbeddedAsSubsetAndTextReadsBackExactly) {
  const std::string orientation = "\u0417\u0430\u043f\u0430\u0434 / \u0394\u03cd\u03c3\u03b7";
  for (const char* family : {"Liberation Serif", "DejaVu Sans"}) {
    QString fonts;
    const QString text = TextOf(family, {kTitle, orientation}, &fonts);
    EXPECT_TRUE(text.contains(QString::fromUtf8(kTitle))) << text.toStdString();
    EXPECT_TRUE(text.contains(QString::fromStdString(orientation))) << text.toStdString();
    const QString postScript = QString::fromLatin1(family).remove(QLatin1Char(' '));
    // name, type, encoding, embedded, subset, ToUnicode
    const QRegularExpression row(QStringLiteral("[A-Z]{6}\\+") + postScript +
                                 QStringLiteral("\\s+CID TrueType\\s+Identity-H\\s+yes\\s+yes\\s+yes"));
    EXPECT_TRUE(fonts.contains(row)) << fonts.toStdString();
  }
}

TEST_F(PdfTextTest, FileGrowsByTheSubsetOnly) {
  qint64 latin = 0, unicode = 0;
  TextOf("DejaVu Sans", {"Line 7 - Omega, Lodz"}, nullptr, &latin);
  TextOf("DejaVu Sans", {kTitle}, nullptr, &unicode);
  // DejaVu Sans is 740 kB: a subset of twenty glyphs is a few kB.
  EXPECT_LT(latin, 20000);
  EXPECT_LT(unicode - latin, 8000);
}

// A glyph shared by several characters (the missing glyph of characters no
// face has, a ligature) still gives back the text, through ActualText.
TEST_F(PdfTextTest, TextNoGlyphNamesAloneStillReadsBack) {
  const std::string line = "\U00013000\U00013001 office \ufb01ne";
  const QString text = TextOf("Liberation Sans", {line});
  EXPECT_TRUE(text.contains(QString::fromStdString(line))) << text.toStdString();
}

// A bold face and one the painter emboldens itself; a face in CFF outlines.
TEST_F(PdfTextTest, BoldAndCffFacesDrawAndReadBack) {
  PageDocument page;
  page.BeginDocument();
  page.SetFontSize(20);
  page.SetTextX(1440);
  page.SetTextY(1440);
  page.SetFontName("Nimbus Sans");
  page.DrawText("Nimbus \u00c9t\u00e9");
  page.SetFontBold(true);
  page.SetFontName("Liberation Sans");
  page.SetTextY(2880);
  page.DrawText("Bold Fold 12");
  page.EndDocument();
  const QString path = dir_.filePath(QStringLiteral("faces.pdf"));
  ASSERT_TRUE(WritePdf(page, path.toStdString()));
  QString text, fonts;
  ASSERT_TRUE(RunTool(QStringLiteral("pdftotext"), {path, QStringLiteral("-")}, &text));
  EXPECT_TRUE(text.contains(QString::fromUtf8("Nimbus \u00c9t\u00e9"))) << text.toStdString();
  EXPECT_TRUE(text.contains(QStringLiteral("Bold Fold 12"))) << text.toStdString();
  ASSERT_TRUE(RunTool(QStringLiteral("pdffonts"), {path}, &fonts));
  EXPECT_TRUE(fonts.contains(QStringLiteral("LiberationSans-Bold"))) << fonts.toStdString();
  if (FaceChain::For("Nimbus Sans", false).Primary()->cff) {
    EXPECT_TRUE(fonts.contains(QRegularExpression(QStringLiteral("NimbusSans-Regular\\s+CID Type 0C \\(OT\\)"))))
        << fonts.toStdString();
  }
  // Both lines are drawn: ink in each line's band.
  QString ignored;
  ASSERT_TRUE(RunTool(QStringLiteral("pdftoppm"),
                      {QStringLiteral("-r"), QStringLiteral("72"), QStringLiteral("-png"), QStringLiteral("-singlefile"),
                       path, dir_.filePath(QStringLiteral("faces"))},
                      &ignored));
  const QImage image(dir_.filePath(QStringLiteral("faces.png")));
  ASSERT_FALSE(image.isNull());
  auto inkIn = [&](int top, int bottom) {
    int dark = 0;
    for (int y = top; y < bottom; ++y)
      for (int x = 0; x < image.width(); ++x) dark += qGray(image.pixel(x, y)) < 128;
    return dark;
  };
  EXPECT_GT(inkIn(72, 144), 50);
  EXPECT_GT(inkIn(144, 216), 50);
}

}  // namespace
}  // namespace tavelo
