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

namespace tavelo {
namespace {

// UTF-16 as Windows writes it: marks, both orders, characters beyond the
// basic plane (surrogate pairs), and what is not UTF-16 at all.
TEST(Utf16, DetectsDecodesAndEncodesBothOrders) {
  const std::string text = "[KORVANE]\r\nLangue=F \xC3\xA9 \xF0\x9D\x84\x9E\r\n";  // é and U+1D11E
  for (Utf16Order order : {Utf16Order::Little, Utf16Order::Big}) {
    const std::string bytes = Utf8ToUtf16(text, order);
    EXPECT_EQ(bytes.size(), 2 * (text.size() - 1 - 2));  // é: one unit, U+1D11E: two
    std::string back;
    ASSERT_TRUE(Utf16ToUtf8(bytes, order, back));
    EXPECT_EQ(back, text);
    EXPECT_EQ(Utf16Detect(bytes), order);  // no mark: the zero bytes tell
    size_t mark = 0;
    const std::string marked = (order == Utf16Order::Little ? "\xFF\xFE" : "\xFE\xFF") + bytes;
    EXPECT_EQ(Utf16Detect(marked, &mark), order);
    EXPECT_EQ(mark, 2u);
  }
  EXPECT_EQ(Utf16Detect("[KORVANE]\r\nLangue=F\r\n"), Utf16Order::None);
  EXPECT_EQ(Utf16Detect(std::string("a\0b\0c", 5)), Utf16Order::None);  // odd length
  std::string out;
  EXPECT_FALSE(Utf16ToUtf8(std::string("\x3D\xD8", 2), Utf16Order::Little, out));  // half a pair
  EXPECT_FALSE(Utf16ToUtf8(std::string("A\0B", 3), Utf16Order::Little, out));
  EXPECT_FALSE(Utf16ToUtf8("", Utf16Order::None, out));
}

}  // namespace
}  // namespace tavelo
