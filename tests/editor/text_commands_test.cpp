// Find and ReplaceAll on the editor's text, and the position conversion the
// editor widget relies on.

#include <gtest/gtest.h>

#include <string>

#include "editor/text_commands.h"

namespace tavelo {
namespace {

std::string Replaced(std::string text, std::string_view a, std::string_view b) {
  ReplaceAll(text, a, b);
  return text;
}

TEST(FindAfterCaret, StartsOneCharacterAfterTheCaretAndIsCaseSensitive) {
  const std::string text = "sunmo vnmo=1500\r\nSunmo tnmo=0\r\nSunmo";
  // The caret at the start: the match at the very first character is skipped.
  EXPECT_EQ(FindAfterCaret("abcab", "ab", 0), std::optional<size_t>(3));
  EXPECT_EQ(FindAfterCaret("ab", "ab", 0), std::nullopt);
  // Letter case counts: "Sunmo" is not "sunmo".
  EXPECT_EQ(FindAfterCaret(text, "Sunmo", 0), std::optional<size_t>(17));
  EXPECT_EQ(FindAfterCaret("sunmo sunmo", "Sunmo", 0), std::nullopt);
  // Repeating with the match selected (caret at its start) finds the next.
  EXPECT_EQ(FindAfterCaret(text, "Sunmo", 17), std::optional<size_t>(31));
  EXPECT_EQ(FindAfterCaret(text, "Sunmo", 31), std::nullopt);
  // Empty search text, caret at or past the end.
  EXPECT_EQ(FindAfterCaret(text, "", 0), std::nullopt);
  EXPECT_EQ(FindAfterCaret(text, "o", text.size()), std::nullopt);
  EXPECT_EQ(FindAfterCaret(text, "o", text.size() + 10), std::nullopt);
}

TEST(FindAfterCaret, StepsOverWholeCharactersAndLineBreaks) {
  // The character after the caret is the whole "é" (two bytes) ...
  EXPECT_EQ(FindAfterCaret("éx", "x", 0), std::optional<size_t>(2));
  // ... and a CR LF pair is one character, as the editor shows it.
  EXPECT_EQ(FindAfterCaret("a\r\n\nb", "\n", 1), std::optional<size_t>(3));
}

TEST(FindAfterCaret, FindsMatchesFarBeyondSixteenBitPositions) {
  std::string text(100000, 'x');
  text += "NMO";
  text += std::string(50000, 'y');
  text += "NMO";
  const auto first = FindAfterCaret(text, "NMO", 40000);
  ASSERT_TRUE(first);
  EXPECT_EQ(*first, 100000u);
  EXPECT_EQ(FindAfterCaret(text, "NMO", *first), std::optional<size_t>(150003));
}

struct Replacement {
  const char* text;
  const char* search;
  const char* replacement;
  const char* expected;
};

const Replacement kReplacements[] = {
    // Searching goes on where the replacement meets the rest.
    {"abb", "ab", "xa", "xxa"},
    {"aaaa", "aa", "a", "aa"},
    {"sunmo vnmo=1500", "sustack", "x", "sunmo vnmo=1500"},
    {"", "a", "b", ""},
    {"vnmo=1500\r\nvnmo=1600\r\n", "vnmo", "tnmo", "tnmo=1500\r\ntnmo=1600\r\n"},
    // A longer replacement and matches at both ends.
    {"a.b.a", "a", "<A>", "<A>.b.<A>"},
    // Letter case counts.
    {"Ab ab", "ab", "x", "Ab x"},
    // UTF-8 text is replaced by whole characters.
    {"vélocité", "é", "e", "velocite"},
    // The replacement holds the searched text: each occurrence once, and
    // the replacing ends.
    {"a", "a", "aa", "aa"},
    {"aXa", "a", "aa", "aaXaa"},
    {"ab", "ab", "xabx", "xabx"},
    {"ab ab", "ab", "abab", "abab abab"},
    // Replacing a text by itself changes nothing.
    {"abcabc", "abc", "abc", "abcabc"},
    // An empty replacement removes every occurrence, none skipped; what the
    // removal brings together is not searched again.
    {"aaa", "a", "", ""},
    {"aabb", "ab", "", "ab"},
    {"x-y-z", "-", "", "xyz"},
};

TEST(ReplaceAll, ReplacesEachOccurrenceOnceSearchingOnWhereTheReplacementEnds) {
  for (const Replacement& c : kReplacements)
    EXPECT_EQ(Replaced(c.text, c.search, c.replacement), c.expected)
        << '"' << c.text << "\": \"" << c.search << "\" by \"" << c.replacement << '"';
}

TEST(ReplaceAll, AnEmptySearchTextReplacesNothing) {
  std::string text = "aaa";
  EXPECT_EQ(ReplaceAll(text, "", "x"), 0u);
  EXPECT_EQ(text, "aaa");
}

TEST(ReplaceAll, ManyReplacementsInALargeTextStayLinear) {
  // Every round joins the replacement's end to the next "b": 200000 rounds.
  std::string text = "a" + std::string(200000, 'b');
  EXPECT_EQ(ReplaceAll(text, "ab", "xa"), 200000u);
  EXPECT_EQ(text, std::string(200000, 'x') + "a");
  text.clear();
  for (int i = 0; i < 100000; ++i) text += "vnmo=1500\r\n";
  EXPECT_EQ(ReplaceAll(text, "1500", "1600"), 100000u);
  EXPECT_EQ(text.find("1500"), std::string::npos);
}

TEST(EditorOffsets, CountUtf16UnitsAndOneUnitPerLineBreak) {
  const std::string text = "a\r\nb\nc\rd\xC3\xA9\xF0\x9D\x84\x9E|";  // ... d é 𝄞 |
  // Editor offsets:      a=0 br=1 b=2 br=3 c=4 br=5 d=6 é=7 𝄞=8,9 |=10 end=11
  const size_t bytes[] = {0, 1, 3, 4, 5, 6, 7, 8, 10, 10, 14, 15};
  for (size_t editor = 0; editor < std::size(bytes); ++editor)
    EXPECT_EQ(EditorOffsetToByte(text, editor), bytes[editor]) << editor;
  EXPECT_EQ(EditorOffsetToByte(text, 1000), text.size());
  for (size_t editor : {0u, 1u, 2u, 3u, 4u, 5u, 6u, 7u, 8u, 10u, 11u})
    EXPECT_EQ(ByteToEditorOffset(text, bytes[editor]), editor) << editor;
  // Inside a character: its start.
  EXPECT_EQ(ByteToEditorOffset(text, 2), 1u);
  EXPECT_EQ(ByteToEditorOffset(text, 12), 8u);
  EXPECT_EQ(ByteToEditorOffset(text, 1000), 11u);
  // A damaged byte counts alone.
  EXPECT_EQ(EditorOffsetToByte("\xFFx", 1), 1u);
}

}  // namespace
}  // namespace tavelo
