#include "settings/profile.h"

#include <cstdint>
#include <filesystem>
#include <system_error>

#include "common/paths.h"
#include "common/safe_file.h"
#include "common/text_encoding.h"

namespace tavelo {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

// What one line of the file is. Comments (';'), blank lines, section lines
// without a closing bracket and lines without '=' are none of section or
// key: they are kept and otherwise ignored.
struct LineMeaning {
  enum Kind { kOther, kSection, kKey } kind = kOther;
  std::string_view name;
  std::string_view value;
};

LineMeaning Classify(std::string_view line) {
  LineMeaning meaning;
  std::string_view text = Trim(line);
  if (text.empty() || text.front() == ';') return meaning;
  if (text.front() == '[') {
    size_t close = text.rfind(']');
    if (close == std::string_view::npos || close == 0) return meaning;
    meaning.kind = LineMeaning::kSection;
    meaning.name = Trim(text.substr(1, close - 1));
    return meaning;
  }
  size_t equals = text.find('=');
  if (equals == std::string_view::npos) return meaning;
  std::string_view name = Trim(text.substr(0, equals));
  if (name.empty()) return meaning;
  meaning.kind = LineMeaning::kKey;
  meaning.name = name;
  meaning.value = Trim(text.substr(equals + 1));
  return meaning;
}

// Text we put into the file stays on one line and stays valid UTF-8.
std::string CleanForLine(std::string_view text) {
  std::string clean = IsValidUtf8(text) ? std::string(text) : Windows1252ToUtf8(text);
  for (char& c : clean) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return clean;
}

}  // namespace

bool ProfileFile::Load() {
  LoadFromText({});
  loadFailed_ = false;
  if (path_.empty()) return true;
  std::error_code ec;
  bool present = FileExists(path_) || std::filesystem::exists(path_, ec);
  if (!present) return true;  // no file yet: every key takes its default
  const std::optional<std::string> bytes = ReadWholeFile(path_);
  if (!bytes) {
    loadFailed_ = true;
    return false;
  }
  LoadFromText(*bytes);
  return !loadFailed_;
}

void ProfileFile::LoadFromText(std::string_view bytes) {
  lines_.clear();
  modified_ = false;
  loadFailed_ = false;
  unreadBytes_.clear();
  newLine_ = "\r\n";
  windows1252_ = false;
  size_t utf16Mark = 0;
  utf16_ = Utf16Detect(bytes, &utf16Mark);
  std::string text;
  if (utf16_ != Utf16Order::None) {
    // Kept in UTF-16 when written back; a file that is not whole UTF-16
    // cannot be read safely and is left as it is.
    byteOrderMark_ = utf16Mark != 0;
    if (!Utf16ToUtf8(bytes.substr(utf16Mark), utf16_, text)) {
      loadFailed_ = true;
      unreadBytes_ = std::string(bytes);
      return;
    }
  } else {
    byteOrderMark_ = bytes.substr(0, kByteOrderMark.size()) == kByteOrderMark;
    if (byteOrderMark_) bytes.remove_prefix(kByteOrderMark.size());
    windows1252_ = !IsValidUtf8(bytes);
    text = windows1252_ ? Windows1252ToUtf8(bytes) : std::string(bytes);
  }

  bool newLineSeen = false;
  size_t start = 0;
  while (start < text.size()) {
    size_t stop = text.find_first_of("\r\n", start);
    if (stop == std::string::npos) {
      lines_.push_back({text.substr(start), ""});
      break;
    }
    size_t endLength = (text[stop] == '\r' && stop + 1 < text.size() && text[stop + 1] == '\n') ? 2 : 1;
    Line line{text.substr(start, stop - start), text.substr(stop, endLength)};
    if (!newLineSeen) {
      newLine_ = line.end;
      newLineSeen = true;
    }
    lines_.push_back(std::move(line));
    start = stop + endLength;
  }
}

size_t ProfileFile::FindSection(std::string_view section) const {
  for (size_t i = 0; i < lines_.size(); ++i) {
    LineMeaning meaning = Classify(lines_[i].text);
    if (meaning.kind == LineMeaning::kSection && EqualIgnoringCase(meaning.name, section)) return i;
  }
  return std::string::npos;
}

size_t ProfileFile::SectionEnd(size_t header) const {
  size_t i = header + 1;
  while (i < lines_.size() && Classify(lines_[i].text).kind != LineMeaning::kSection) ++i;
  return i;
}

size_t ProfileFile::FindKey(size_t header, std::string_view key) const {
  size_t end = SectionEnd(header);
  for (size_t i = header + 1; i < end; ++i) {
    LineMeaning meaning = Classify(lines_[i].text);
    if (meaning.kind == LineMeaning::kKey && EqualIgnoringCase(meaning.name, key)) return i;
  }
  return std::string::npos;
}

std::string ProfileFile::Get(std::string_view section, std::string_view key,
                             std::string_view defaultValue) const {
  size_t header = FindSection(section);
  if (header == std::string::npos) return std::string(defaultValue);
  size_t index = FindKey(header, key);
  if (index == std::string::npos) return std::string(defaultValue);
  std::string_view value = Classify(lines_[index].text).value;
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
    value = value.substr(1, value.size() - 2);
  }
  return std::string(value);
}

bool ProfileFile::Has(std::string_view section, std::string_view key) const {
  size_t header = FindSection(section);
  return header != std::string::npos && FindKey(header, key) != std::string::npos;
}

void ProfileFile::Set(std::string_view section, std::string_view key, std::string_view value) {
  std::string text = CleanForLine(key) + "=" + CleanForLine(value);
  size_t header = FindSection(section);
  if (header != std::string::npos) {
    size_t index = FindKey(header, key);
    if (index != std::string::npos) {
      if (lines_[index].text != text) {
        lines_[index].text = std::move(text);
        modified_ = true;
      }
      return;
    }
    // After the section's last key, so blank lines and comments that part
    // it from the next section stay where they are.
    size_t at = header + 1;
    size_t end = SectionEnd(header);
    for (size_t i = header + 1; i < end; ++i) {
      if (Classify(lines_[i].text).kind == LineMeaning::kKey) at = i + 1;
    }
    if (lines_[at - 1].end.empty()) lines_[at - 1].end = newLine_;
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), Line{std::move(text), newLine_});
    modified_ = true;
    return;
  }
  if (!lines_.empty() && lines_.back().end.empty()) lines_.back().end = newLine_;
  lines_.push_back({"[" + CleanForLine(section) + "]", newLine_});
  lines_.push_back({std::move(text), newLine_});
  modified_ = true;
}

std::string ProfileFile::ToBytes() const {
  if (loadFailed_) return unreadBytes_;
  std::string text;
  for (const Line& line : lines_) {
    text += line.text;
    text += line.end;
  }
  if (utf16_ != Utf16Order::None) {
    std::string bytes;
    if (byteOrderMark_) bytes = utf16_ == Utf16Order::Little ? "\xFF\xFE" : "\xFE\xFF";
    return bytes + Utf8ToUtf16(text, utf16_);
  }
  std::string bytes = byteOrderMark_ ? std::string(kByteOrderMark) : std::string();
  bytes += windows1252_ ? Utf8ToWindows1252(text) : text;
  return bytes;
}

bool ProfileFile::Save(std::string* error) {
  if (loadFailed_) {
    if (error) *error = path_ + ": could not be read safely, so it is left as it is";
    return false;
  }
  if (!modified_) return true;
  if (path_.empty()) {
    if (error) *error = "no settings file name";
    return false;
  }
  if (!WriteFileAtomically(path_, ToBytes(), true, error)) return false;
  modified_ = false;
  return true;
}

}  // namespace tavelo
