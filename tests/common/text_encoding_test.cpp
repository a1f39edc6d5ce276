// Text from Windows machines: Windows-1252 read as UTF-8 and written back
// byte for byte, UTF-8 files left alone.

#include <gtest/gtest.h>

#include "common/text_encoding.h"

namespace tavelo {
namespace {

TEST(TextEncoding, Windows1252RoundTripsEveryByte) {
  std::string all;
  for (int b = 1; b < 256; ++b) all.push_back(static_cast<char>(b));
  const std::string utf8 = Windows1252ToUtf8(all);
  EXPECT_TRUE(IsValidUtf8(utf8));
  bool lossless = false;
  EXPECT_EQ(Utf8ToWindows1252(utf8, &lossless), all);
  EXPECT_TRUE(lossless);
  EXPECT_EQ(Windows1252ToUtf8("Fran\xE7" "ais \x80"), "Français €");
}

TEST(TextEncoding, FilesAreReadAsUtf8WhenTheyAreUtf8) {
  EXPECT_EQ(TextFileToUtf8("\xEF\xBB\xBFH\xC3\xB6he"), "Höhe");
  EXPECT_EQ(TextFileToUtf8("H\xF6he"), "Höhe");  // not UTF-8: Windows-1252
  EXPECT_FALSE(IsValidUtf8("\xC0\x80"));           // overlong
  EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));       // surrogate
  EXPECT_FALSE(IsValidUtf8("\xE2\x82"));           // cut short
  bool lossless = true;
  EXPECT_EQ(Utf8ToWindows1252("a\xE2\x88\x9A" "b", &lossless), "a?b");  // no square root in 1252
  EXPECT_FALSE(lossless);
}

}  // namespace
}  // namespace tavelo
