// Metafile text in Windows code pages: each text in the code page that holds
// it, with the font character set that names the code page, read back by
// libwmf's wmf2svg and decoded (with the C library's converter) by the
// character set of the font the record is drawn with.

#include "output/wmf_text.h"

#include <gtest/gtest.h>

#include <iconv.h>

#include <cstring>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "output/wmf_writer.h"
#include "page/page_document.h"
#include "support/cli.h"
#include "support/gui_app.h"
#include "support/su_writer.h"

namespace tavelo {
namespace {

const std::string kTitle =
    "\u041f\u0440\u043e\u0444\u0438\u043b\u044c 7 \u2013 \u03a9\u03bc\u03ad\u03b3\u03b1, \u0141\u00f3d\u017a";

std::string Joined(const std::vector<CodePageRun>& runs) {
  std::string text;
  for (const CodePageRun& run : runs) text += run.utf8;
  return text;
}

TEST(WmfText, EachTextInTheCodePageThatHoldsIt) {
  struct Case {
    std::string text;
    int codePage;
    int charset;
    std::string bytes;
  };
  const Case cases[] = {
      {"Vitesse \u00e9lev\u00e9e \u2013 5 \u20ac", 1252, 0, "Vitesse \xe9lev\xe9" "e \x96 5 \x80"},
      {"\u0141\u00f3d\u017a", 1250, 238, "\xa3\xf3" "d\x9f"},
      {"\u041f\u0440\u043e\u0444\u0438\u043b\u044c 7", 1251, 204, "\xcf\xf0\xee\xf4\xe8\xeb\xfc 7"},
      {"\u03a9\u03bc\u03ad\u03b3\u03b1", 1253, 161, "\xd9\xec\xdd\xe3\xe1"},
      {"\u0130stanbul \u011f", 1254, 162, "\xddstanbul \xf0"},
      {"R\u012bga \u0161", 1257, 186, "R\xeega \xf0"},
      {"plain", 1252, 0, "plain"},
  };
  for (const Case& c : cases) {
    std::string unheld = "untouched";
    const std::vector<CodePageRun> runs = CodePageRuns(c.text, &unheld);
    ASSERT_EQ(runs.size(), 1u) << c.text;
    EXPECT_EQ(runs[0].codePage, c.codePage) << c.text;
    EXPECT_EQ(runs[0].charset, c.charset) << c.text;
    EXPECT_EQ(runs[0].bytes, c.bytes) << c.text;
    EXPECT_EQ(unheld, "untouched");
  }
  EXPECT_TRUE(CodePageRuns("").empty());
}

TEST(WmfText, MixedTextIsCutIntoRunsAndUnheldCharactersAreReported) {
  std::string unheld;
  const std::vector<CodePageRun> runs = CodePageRuns(kTitle, &unheld);
  ASSERT_EQ(runs.size(), 3u);
  EXPECT_EQ(runs[0].codePage, 1251);
  EXPECT_EQ(runs[0].bytes, "\xcf\xf0\xee\xf4\xe8\xeb\xfc 7 \x96 ");
  EXPECT_EQ(runs[1].codePage, 1253);
  EXPECT_EQ(runs[1].bytes, "\xd9\xec\xdd\xe3\xe1, ");
  EXPECT_EQ(runs[2].codePage, 1250);
  EXPECT_EQ(Joined(runs), kTitle);
  EXPECT_TRUE(unheld.empty());

  const std::vector<CodePageRun> cjk = CodePageRuns("\u4e2d\u6587 ok \u4e2d", &unheld);
  ASSERT_EQ(cjk.size(), 1u);
  EXPECT_EQ(cjk[0].bytes, "?? ok ?");
  EXPECT_EQ(unheld, "\u4e2d\u6587");
}

// Windows code page bytes to UTF-8 through iconv, independent of the writer.
std::string Decode(const std::string& bytes, int charset) {
  static const std::map<int, const char*> names = {{0, "CP1252"},   {238, "CP1250"}, {204, "CP1251"},
                                                   {161, "CP1253"}, {162, "CP1254"}, {186, "CP1257"}};
  const auto name = names.find(charset);
  if (name == names.end()) return "(charset " + std::to_string(charset) + ")";
  iconv_t cd = iconv_open("UTF-8", name->second);
  std::string in = bytes, out(bytes.size() * 4 + 4, '\0');
  char* inPtr = in.data();
  char* outPtr = out.data();
  size_t inLeft = in.size(), outLeft = out.size();
  iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
  iconv_close(cd);
  out.resize(out.size() - outLeft);
  return out;
}

// The XML text of wmf2svg's <text> elements, entities resolved to bytes.
std::vector<std::string> SvgTexts(const std::string& svg) {
  std::vector<std::string> texts;
  static const std::regex re("<text[^>]*>([^<]*)</text>");
  for (auto it = std::sregex_iterator(svg.begin(), svg.end(), re); it != std::sregex_iterator(); ++it) {
    std::string raw = (*it)[1].str(), text;
    for (size_t i = 0; i < raw.size(); ++i) {
      if (raw[i] == '&') {
        const size_t end = raw.find(';', i);
        const std::string entity = raw.substr(i + 1, end - i - 1);
        if (entity.size() > 1 && entity[0] == '#')
          text += static_cast<char>(std::stoi(entity[1] == 'x' ? entity.substr(2) : entity.substr(1), nullptr,
                                              entity[1] == 'x' ? 16 : 10));
        else if (entity == "amp") text += '&';
        else if (entity == "lt") text += '<';
        else if (entity == "gt") text += '>';
        else if (entity == "quot") text += '"';
        i = end;
      } else {
        text += raw[i];
      }
    }
    texts.push_back(text);
  }
  return texts;
}

TEST(WmfText, Wmf2svgShowsAccentedCyrillicAndGreekTitles) {
  test::EnsureGuiApp();
  const std::vector<std::string> titles = {"Profondeur \u00e0 l'Est, H\u00f6he", "\u0417\u0430\u043f\u0430\u0434",
                                           "\u0391\u03bd\u03b1\u03c4\u03bf\u03bb\u03ae", kTitle};
  PageDocument page;
  page.BeginDocument();
  page.SetFontSize(14);
  for (size_t i = 0; i < titles.size(); ++i) {
    page.SetTextX(1440);
    page.SetTextY(1440 + 720.0 * static_cast<double>(i));
    page.DrawText(titles[i]);
  }
  page.EndDocument();
  const std::string wmf = WmfBytes(page);
  ASSERT_FALSE(wmf.empty());

  // The character set of the font each text record is drawn with.
  auto u16 = [&](size_t at) { return static_cast<unsigned>(static_cast<unsigned char>(wmf[at]) | static_cast<unsigned char>(wmf[at + 1]) << 8); };
  std::vector<int> charsets;
  int charset = -1;
  for (size_t at = 40; at + 6 <= wmf.size();) {
    const size_t bytes = (u16(at) | u16(at + 2) << 16) * size_t{2};
    if (bytes < 6) break;
    const unsigned function = u16(at + 4);
    if (function == 0x02FB) charset = static_cast<unsigned char>(wmf[at + 6 + 13]);
    if (function == 0x0A32) charsets.push_back(charset);
    at += bytes;
  }
  ASSERT_EQ(charsets.size(), 6u);  // the mixed title in three runs

  const std::string dir = test::TempDir();
  ASSERT_TRUE(test::WriteBytes(dir + "/titles.wmf", wmf));
  if (test::Shell("command -v wmf2svg >/dev/null 2>&1") != 0) GTEST_SKIP() << "no wmf2svg";
  ASSERT_EQ(test::Shell("wmf2svg -o " + test::ShellQuote(dir + "/titles.svg") + " " +
                        test::ShellQuote(dir + "/titles.wmf") + " 2>/dev/null"),
            0);
  const std::vector<std::string> shown = SvgTexts(test::ReadBytes(dir + "/titles.svg"));
  ASSERT_EQ(shown.size(), charsets.size());
  std::vector<std::string> decoded;
  for (size_t i = 0; i < shown.size(); ++i) decoded.push_back(Decode(shown[i], charsets[i]));
  EXPECT_EQ(decoded[0], titles[0]);
  EXPECT_EQ(decoded[1], titles[1]);
  EXPECT_EQ(decoded[2], titles[2]);
  EXPECT_EQ(decoded[3] + decoded[4] + decoded[5], kTitle);
  EXPECT_EQ(charsets[1], 204);
  EXPECT_EQ(charsets[2], 161);
}

}  // namespace
}  // namespace tavelo
