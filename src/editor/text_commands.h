#pragma once
// The Tools tab editor's text commands on plain UTF-8 text.
//
// Positions are byte offsets into the UTF-8 text, the way the program state
// holds it (line breaks as loaded, CR LF or LF). The editor widget shows the
// same text with plain line feeds and counts UTF-16 units; it converts at
// its boundary with EditorOffsetToByte / ByteToEditorOffset.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tavelo {

// Bytes of the character starting at `pos`: a whole UTF-8 sequence, and a
// CR LF pair counts as one character, as the editor shows it. 0 at the end.
size_t CharLengthAt(std::string_view text, size_t pos);

// "Find text": searches `searched` exactly (letter case counts) from the
// character just after the one at `caret`, so a match starting at the caret
// itself is skipped and repeating the search with a match selected finds
// the next one. Returns the byte offset of the match, or nothing (also for
// an empty search text).
std::optional<size_t> FindAfterCaret(std::string_view text, std::string_view searched,
                                     size_t caret);

// ReplaceAll: replaces every occurrence of `searched` by `replacement` in
// place. After a replacement the search resumes one character after its
// start, so text formed by the end of the replacement and what follows is
// searched again ("ab" -> "xa" turns "abb" into "xxa"). Bounded so it always
// ends: an empty search text changes nothing; when the replacement holds the
// searched text past its first character the search resumes after the
// inserted text; an empty replacement resumes where the removed text was.
// Returns the number of replacements made.
size_t ReplaceAll(std::string& text, std::string_view searched, std::string_view replacement);

// Positions as the editor widget counts them: UTF-16 units of the text with
// every line break (CR LF, CR or LF) as one unit. Offsets past the end are
// clamped to the end.
size_t EditorOffsetToByte(std::string_view text, size_t editorOffset);
size_t ByteToEditorOffset(std::string_view text, size_t byteOffset);

}  // namespace tavelo
