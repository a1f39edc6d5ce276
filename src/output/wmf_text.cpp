#include "output/wmf_text.h"

#include <iconv.h>

#include <array>
#include <unordered_map>

#include "common/text_encoding.h"

namespace tavelo {

namespace {

struct CodePage {
  int number;
  uint8_t charset;
  // Characters above ASCII and the byte each is written as.
  std::unordered_map<char32_t, uint8_t> bytes;
};

// In the order they are tried. The font character sets are those of the
// Windows font records.
constexpr std::array<std::pair<int, uint8_t>, 10> kCodePages = {{
    {1252, 0},    // ANSI (Western)
    {1250, 238},  // East European
    {1251, 204},  // Russian (Cyrillic)
    {1253, 161},  // Greek
    {1254, 162},  // Turkish
    {1257, 186},  // Baltic
    {1255, 177},  // Hebrew
    {1256, 178},  // Arabic
    {1258, 163},  // Vietnamese
    {874, 222},   // Thai
}};

// Each code page's upper half, read through the C library's converter.
std::vector<CodePage> LoadCodePages() {
  std::vector<CodePage> pages;
  for (const auto& [number, charset] : kCodePages) {
    const std::string name = "CP" + std::to_string(number);
    iconv_t decoder = iconv_open("UTF-32LE", name.c_str());
    if (decoder == reinterpret_cast<iconv_t>(-1)) continue;
    CodePage page{number, charset, {}};
    for (int b = 0x80; b <= 0xFF; ++b) {
      char in = static_cast<char>(b);
      unsigned char out[8] = {};
      char* inPtr = &in;
      char* outPtr = reinterpret_cast<char*>(out);
      size_t inLeft = 1, outLeft = sizeof out;
      iconv(decoder, nullptr, nullptr, nullptr, nullptr);
      if (iconv(decoder, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1)) continue;
      if (sizeof out - outLeft != 4) continue;  // undefined, or a combining pair
      const char32_t c = static_cast<char32_t>(out[0] | (out[1] << 8) | (out[2] << 16) | (out[3] << 24));
      page.bytes.emplace(c, static_cast<uint8_t>(b));
    }
    iconv_close(decoder);
    pages.push_back(std::move(page));
  }
  return pages;
}

const std::vector<CodePage>& CodePages() {
  static const std::vector<CodePage> pages = LoadCodePages();
  return pages;
}

bool Holds(const CodePage& page, char32_t c) { return c < 0x80 || page.bytes.count(c) > 0; }

bool HeldAnywhere(const std::vector<CodePage>& pages, char32_t c) {
  for (const CodePage& page : pages)
    if (Holds(page, c)) return true;
  return c < 0x80;
}

// How many characters from `from` on the page holds, those held nowhere
// counting as held (they are replaced in whatever run they fall).
size_t Stretch(const CodePage& page, const std::vector<CodePage>& pages, const std::u32string& text, size_t from) {
  size_t end = from;
  while (end < text.size() && (Holds(page, text[end]) || !HeldAnywhere(pages, text[end]))) ++end;
  return end - from;
}

}  // namespace

std::vector<CodePageRun> CodePageRuns(std::string_view utf8Line, std::string* unheld) {
  std::vector<CodePageRun> runs;
  const std::u32string text = Utf8ToCodePoints(utf8Line);
  if (text.empty()) return runs;
  const std::vector<CodePage>& pages = CodePages();
  if (pages.empty()) {
    // No converter at all: Windows-1252 from our own table.
    bool lossless = true;
    CodePageRun run{1252, 0, Utf8ToWindows1252(utf8Line, &lossless), std::string(utf8Line)};
    if (!lossless && unheld) *unheld = std::string(utf8Line);
    runs.push_back(std::move(run));
    return runs;
  }
  std::u32string reported;
  size_t at = 0;
  while (at < text.size()) {
    // The page holding the longest stretch from here; the earlier page on a tie.
    const CodePage* best = &pages.front();
    size_t bestLength = 0;
    for (const CodePage& page : pages) {
      const size_t length = Stretch(page, pages, text, at);
      if (length > bestLength) {
        best = &page;
        bestLength = length;
      }
      if (at + length == text.size()) break;
    }
    if (bestLength == 0) bestLength = 1;  // cannot happen: every character is held or counted so
    CodePageRun run{best->number, best->charset, {}, {}};
    for (size_t i = at; i < at + bestLength; ++i) {
      const char32_t c = text[i];
      AppendUtf8(run.utf8, c);
      if (c < 0x80) {
        run.bytes += static_cast<char>(c);
        continue;
      }
      auto found = best->bytes.find(c);
      if (found != best->bytes.end()) {
        run.bytes += static_cast<char>(found->second);
        continue;
      }
      run.bytes += '?';
      if (reported.find(c) == std::u32string::npos) {
        reported += c;
        if (unheld) AppendUtf8(*unheld, c);
      }
    }
    runs.push_back(std::move(run));
    at += bestLength;
  }
  return runs;
}

}  // namespace tavelo
