#include "editor/text_commands.h"

#include <algorithm>

namespace tavelo {
namespace {

bool IsContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// Length of the UTF-8 sequence at `pos`; a byte that starts no valid
// sequence counts alone, so a damaged text is still walked byte by byte.
size_t Utf8LengthAt(std::string_view text, size_t pos) {
  const auto lead = static_cast<unsigned char>(text[pos]);
  size_t length = 1;
  if (lead >= 0xF0 && lead <= 0xF4) length = 4;
  else if (lead >= 0xE0) length = 3;
  else if (lead >= 0xC2 && lead <= 0xDF) length = 2;
  if (length == 1 || pos + length > text.size()) return 1;
  for (size_t i = 1; i < length; ++i)
    if (!IsContinuation(static_cast<unsigned char>(text[pos + i]))) return 1;
  return length;
}

// One step of the editor's walk: bytes of the character at `pos` and the
// UTF-16 units the editor counts for it (any line break counts one).
struct Step {
  size_t bytes;
  size_t units;
};

Step StepAt(std::string_view text, size_t pos) {
  if (text[pos] == '\r' || text[pos] == '\n') return {CharLengthAt(text, pos), 1};
  const size_t bytes = Utf8LengthAt(text, pos);
  return {bytes, bytes == 4 ? size_t{2} : size_t{1}};  // outside the BMP: a surrogate pair
}

}  // namespace

size_t CharLengthAt(std::string_view text, size_t pos) {
  if (pos >= text.size()) return 0;
  if (text[pos] == '\r' && pos + 1 < text.size() && text[pos + 1] == '\n') return 2;
  return Utf8LengthAt(text, pos);
}

std::optional<size_t> FindAfterCaret(std::string_view text, std::string_view searched,
                                     size_t caret) {
  if (searched.empty() || caret >= text.size()) return std::nullopt;
  const size_t start = caret + CharLengthAt(text, caret);
  const size_t found = text.find(searched, start);
  if (found == std::string_view::npos) return std::nullopt;
  return found;
}

size_t ReplaceAll(std::string& text, std::string_view searched, std::string_view replacement) {
  if (searched.empty()) return 0;
  const size_t a = searched.size();
  const size_t b = replacement.size();
  // Where the search resumes inside the text just inserted.
  size_t resume = CharLengthAt(replacement, 0);
  if (b == 0)
    resume = 0;  // nothing inserted: go on where the removed text was
  else if (replacement.find(searched, resume) != std::string_view::npos)
    resume = b;  // searching inside the insertion again would never end

  // The result is built once: `out` is final, then (after the first match)
  // one copy of the replacement, then the source from `tail` on. Each round
  // consumes at least one source byte, so the loop ends.
  const std::string source = std::move(text);
  std::string out;
  out.reserve(source.size());
  size_t tail = 0;
  size_t count = 0;
  bool inserted = false;
  for (;;) {
    bool spanned = false;
    if (inserted) {
      // A match that starts in the insertion and ends in the source.
      const size_t first = std::max(resume, b >= a ? b - a + 1 : size_t{0});
      for (size_t k = first; k < b; ++k) {
        const size_t inInsertion = b - k;
        const size_t inSource = a - inInsertion;
        if (tail + inSource > source.size()) continue;
        if (replacement.compare(k, inInsertion, searched.substr(0, inInsertion)) != 0) continue;
        if (source.compare(tail, inSource, searched.substr(inInsertion)) != 0) continue;
        out.append(replacement.substr(0, k));
        tail += inSource;
        spanned = true;
        break;
      }
    }
    if (!spanned) {
      const size_t found = source.find(searched, tail);
      if (found == std::string::npos) break;
      if (inserted) out.append(replacement);
      out.append(source, tail, found - tail);
      tail = found + a;
    }
    inserted = true;
    ++count;
  }
  if (inserted) out.append(replacement);
  out.append(source, tail, std::string::npos);
  text = std::move(out);
  return count;
}

size_t EditorOffsetToByte(std::string_view text, size_t editorOffset) {
  size_t pos = 0;
  size_t units = 0;
  while (pos < text.size()) {
    const Step step = StepAt(text, pos);
    if (units + step.units > editorOffset) break;
    units += step.units;
    pos += step.bytes;
  }
  return pos;
}

size_t ByteToEditorOffset(std::string_view text, size_t byteOffset) {
  const size_t end = std::min(byteOffset, text.size());
  size_t pos = 0;
  size_t units = 0;
  while (pos < end) {
    const Step step = StepAt(text, pos);
    if (pos + step.bytes > end) break;  // inside a character: count up to its start
    units += step.units;
    pos += step.bytes;
  }
  return units;
}

}  // namespace tavelo
