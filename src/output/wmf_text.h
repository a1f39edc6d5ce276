#pragma once
// Metafile text records hold 8-bit text in the code page of the font's
// character set. A line is written in the first Windows code page that holds
// all its characters (Western 1252 first, then Central European, Cyrillic,
// Greek, Turkish, Baltic, Hebrew, Arabic, Vietnamese, Thai); a line that no
// single code page holds is cut into runs, each in the code page that holds
// the longest stretch from its start. A character no code page holds is
// written as "?" and reported: such a text is never changed silently.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tavelo {

struct CodePageRun {
  int codePage = 1252;
  uint8_t charset = 0;  // the font character set that selects the code page
  std::string bytes;    // the run in that code page
  std::string utf8;     // the same characters as the page has them
};

// The line as runs (one run when one code page holds it all; none for an
// empty line). `unheld` receives the characters no code page holds (UTF-8),
// each once.
std::vector<CodePageRun> CodePageRuns(std::string_view utf8Line, std::string* unheld = nullptr);

}  // namespace tavelo
