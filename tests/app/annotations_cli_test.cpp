// The texts around the section as a user finds them in an exported PDF:
// title, orientation texts, time lines, trace labels and the history.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "support/cli.h"
#include "support/su_writer.h"

namespace tavelo {
namespace {

TEST(AnnotationsCli, TitleOrientationLinesLabelsAndHistoryInThePdf) {
  const std::string dir = test::TempDir();
  const std::string su = dir + "/line.su";
  ASSERT_TRUE(test::WriteSuFile(su, test::MakeTraces(40, 500, 4000, {}, 1000)));
  ASSERT_TRUE(test::WriteBytes(dir + "/line.txt", "SUGAIN AGC=1\r\nSUSTACK KEY=CDP\r\n"));

  test::CliRun r = test::RunTavelo({"--export", dir + "/page.pdf", "--set", "Text1=Profile NORTH 7", "--set",
                        "Text13=SW", "--set", "Text14=NE", "--set", "time=1", "--set",
                        "Text7=500", "--set", "CDP=1", "--set", "Text22=1010", "--set",
                        "Text10=10", "--set", "prn=1", "--set", "Text19=200",
                        // the section well below the title, so no text overlaps
                        "--set", "Text9=40", su},
                       test::TempDir());
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string text = test::PdfText(dir + "/page.pdf");
  ASSERT_FALSE(text.empty());
  for (const char* expected : {"Profile NORTH 7", "SW", "NE", "500 ms", "1000 ms", "2000 ms", "CDP",
                               "1010", "1020", "1030", "sugain agc=1", "sustack key=cdp"})
    EXPECT_NE(text.find(expected), std::string::npos) << expected << " not in\n" << text;
  // Before the first label nothing is labelled; the history is lower case.
  EXPECT_EQ(text.find("1000\n"), std::string::npos) << text;
  EXPECT_EQ(text.find("SUGAIN"), std::string::npos);
}

// Every text of the dump's page, its lines unescaped.
std::vector<std::string> DumpTexts(const std::string& dump) {
  std::vector<std::string> texts;
  std::istringstream in(dump);
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("text ", 0) != 0) continue;
    std::istringstream fields(line.substr(5));
    std::string x, y;
    fields >> x >> y;
    std::string text = line.substr(5 + x.size() + 1 + y.size() + 1), current;
    for (size_t i = 0; i < text.size(); ++i) {
      if (text[i] == '\\' && i + 1 < text.size()) {
        if (text[++i] == 'n') {
          texts.push_back(current);
          current.clear();
          continue;
        }
      }
      current += text[i];
    }
    texts.push_back(current);
  }
  return texts;
}

// Cyrillic, Greek and Polish in the title, the orientation texts and the
// history, in the family chosen in the font list, with every diagram's
// captions: the PDF gives each text back exactly and embeds the family.
TEST(AnnotationsCli, EveryTextInEveryScriptInTheChosenFamily) {
  const std::string title = "\u041f\u0440\u043e\u0444\u0438\u043b\u044c 7 \u2013 \u03a9\u03bc\u03ad\u03b3\u03b1, \u0141\u00f3d\u017a";
  const std::string dir = test::TempDir();
  const std::string su = dir + "/line.su";
  ASSERT_TRUE(test::WriteSuFile(su, test::MakeTraces(40, 500, 4000, {}, 1000)));
  ASSERT_TRUE(test::WriteBytes(dir + "/line.txt",
                               "SUFILTER \u0424\u0418\u041b\u042c\u0422\u0420=10\r\n\u0394\u0399\u0391\u0393\u03a1\u0391\u039c\u039c\u0391 \u0141\u00d3D\u0179\r\n"));
  for (const char* family : {"Liberation Serif", "DejaVu Sans"}) {
    for (const char* language : {"F", "G"}) {
      const std::string settings = test::TempDir();
      ASSERT_TRUE(test::WriteBytes(settings + "/Korvane.ini", std::string("[KORVANE]\r\nLangue=") + language + "\r\n"));
      test::CliRun r = test::RunTavelo(
          {"--export", dir + "/page.pdf", "--dump", dir + "/page.txt", "--set", "Text1=" + title, "--set",
           "Text13=\u0417\u0430\u043f\u0430\u0434", "--set", "Text14=\u0391\u03bd\u03b1\u03c4\u03bf\u03bb\u03ae",
           "--set", std::string("ListePolices=") + family, "--set", "fold=1", "--set", "prn=1", "--set",
           "Text19=200", "--set", "Text9=40", su},
          settings);
      ASSERT_EQ(r.status, 0) << r.err;
      const std::string text = test::PdfText(dir + "/page.pdf");
      for (const std::string& expected :
           {title, std::string("\u0417\u0430\u043f\u0430\u0434"), std::string("\u0391\u03bd\u03b1\u03c4\u03bf\u03bb\u03ae"),
            std::string("sufilter \u0444\u0438\u043b\u044c\u0442\u0440=10"),
            std::string("\u03b4\u03b9\u03b1\u03b3\u03c1\u03b1\u03bc\u03bc\u03b1 \u0142\u00f3d\u017a")})
        EXPECT_NE(text.find(expected), std::string::npos) << family << ": " << expected << " not in\n" << text;
      const std::vector<std::string> texts = DumpTexts(test::ReadBytes(dir + "/page.txt"));
      EXPECT_GT(texts.size(), 10u);
      // pdftotext writes a run of blanks as one.
      auto single = [](std::string t) {
        t.erase(std::unique(t.begin(), t.end(), [](char a, char b) { return a == ' ' && b == ' '; }), t.end());
        return t;
      };
      const std::string singleText = single(text);
      for (const std::string& piece : texts) {
        if (piece.empty()) continue;
        EXPECT_NE(singleText.find(single(piece)), std::string::npos) << family << ": " << piece << " not in\n" << text;
      }

      const std::string fonts = dir + "/fonts.txt";
      ASSERT_EQ(test::Shell("pdffonts " + test::ShellQuote(dir + "/page.pdf") + " >" + test::ShellQuote(fonts)), 0);
      std::string postScript = family;
      postScript.erase(std::remove(postScript.begin(), postScript.end(), ' '), postScript.end());
      const std::string listing = test::ReadBytes(fonts);
      EXPECT_NE(listing.find("+" + postScript + " "), std::string::npos) << listing;
      EXPECT_NE(listing.find("CID TrueType      Identity-H       yes yes yes"), std::string::npos) << listing;
    }
  }
}

}  // namespace
}  // namespace tavelo
