#pragma once
// Text files (history, batch, pick files, settings) come from Windows
// machines as often as not: read as UTF-8, falling back to Windows-1252 for
// bytes that are not valid UTF-8.

#include <string>
#include <string_view>
#include <vector>

namespace tavelo {

bool IsValidUtf8(std::string_view bytes);
// Windows-1252 bytes to UTF-8 (the five undefined bytes keep their code points).
std::string Windows1252ToUtf8(std::string_view bytes);
// UTF-8 to Windows-1252; characters it cannot hold become '?'. `lossless`
// (optional) tells whether every character fitted.
std::string Utf8ToWindows1252(std::string_view text, bool* lossless = nullptr);
// The characters of a UTF-8 text; bytes that are not UTF-8 are read as
// Windows-1252, as text files are.
std::u32string Utf8ToCodePoints(std::string_view text);
// The UTF-8 sequence at byte i: its length, with the character in `c`; 0
// when the bytes there are not UTF-8.
size_t Utf8SequenceAt(std::string_view text, size_t i, char32_t& c);
// One character as UTF-8.
void AppendUtf8(std::string& out, char32_t c);
// The file's bytes as UTF-8: unchanged when valid UTF-8 (a BOM dropped),
// else read as Windows-1252.
std::string TextFileToUtf8(std::string_view bytes);

// UTF-16, as Windows programs write settings files: the byte order a mark
// at the start announces (`markLength` 2), or, without a mark, the order
// whose zero bytes every other place show; None for 8-bit text.
enum class Utf16Order { None, Little, Big };
Utf16Order Utf16Detect(std::string_view bytes, size_t* markLength = nullptr);
// UTF-16 bytes (no mark) to UTF-8; false on an odd length or a lone
// surrogate, so a damaged file is never taken for text.
bool Utf16ToUtf8(std::string_view bytes, Utf16Order order, std::string& out);
// UTF-8 to UTF-16 bytes (no mark) in that order.
std::string Utf8ToUtf16(std::string_view text, Utf16Order order);

// The lines of a text, split on CR LF, lone CR and lone LF (as a page text
// starts its new lines); a text without a break is one line.
std::vector<std::string_view> TextLines(std::string_view text);

}  // namespace tavelo
