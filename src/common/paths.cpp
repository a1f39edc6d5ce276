#include "common/paths.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

namespace tavelo {
namespace fs = std::filesystem;

namespace {

bool HoldsNul(std::string_view path) { return path.find('\0') != std::string_view::npos; }

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

// A file (or anything but a folder) is at the path. The path is taken
// literally: "*" and "?" are ordinary characters here, so a typed pattern
// never "exists" because some file happens to match it.
bool IsNonFolderEntry(const std::string& path) {
  if (path.empty() || HoldsNul(path)) return false;
  std::error_code ec;
  fs::file_status status = fs::status(path, ec);
  if (ec || !fs::exists(status)) return false;
  return !fs::is_directory(status);
}

}  // namespace

bool FileExists(const std::string& path) {
  // A folder of that name is not the file asked for.
  return IsNonFolderEntry(path);
}

size_t LastSeparator(std::string_view path) { return path.find_last_of("/\\"); }

std::string FolderOf(std::string_view path) {
  size_t separator = LastSeparator(path);
  if (separator != std::string_view::npos) return std::string(path.substr(0, separator + 1));
  // Two characters, not two bytes: a drive letter or the start of a name,
  // never half of a UTF-8 sequence.
  size_t end = 0;
  for (int characters = 0; characters < 2 && end < path.size(); ++characters) {
    ++end;
    while (end < path.size() && (static_cast<unsigned char>(path[end]) & 0xC0) == 0x80) ++end;
  }
  return std::string(path.substr(0, end));
}

std::string FileNameOf(std::string_view path) {
  size_t separator = LastSeparator(path);
  if (separator == std::string_view::npos) return std::string(path);
  return std::string(path.substr(separator + 1));
}

std::optional<int64_t> FileLength(const std::string& path) {
  if (path.empty() || HoldsNul(path)) return std::nullopt;
  std::error_code ec;
  if (!fs::is_regular_file(path, ec) || ec) return std::nullopt;
  uintmax_t size = fs::file_size(path, ec);
  if (ec || size > static_cast<uintmax_t>(INT64_MAX)) return std::nullopt;
  return static_cast<int64_t>(size);
}

std::string FindFileIgnoringCase(const std::string& path) {
  if (path.empty() || HoldsNul(path)) return {};
  if (IsNonFolderEntry(path)) return path;

  size_t separator = LastSeparator(path);
  std::string prefix;  // the folder part as given, kept in the answer
  std::string folder;
  std::string name;
  if (separator == std::string::npos) {
    folder = ".";
    name = path;
  } else {
    prefix = path.substr(0, separator + 1);
    folder = separator == 0 ? path.substr(0, 1) : path.substr(0, separator);
    name = path.substr(separator + 1);
  }
  if (name.empty()) return {};

  std::vector<std::string> matches;
  std::error_code ec;
  fs::directory_iterator it(folder, ec);
  if (ec) return {};
  for (fs::directory_iterator end; it != end; it.increment(ec)) {
    if (ec) break;
    std::string entry = it->path().filename().string();
    if (!EqualIgnoringAsciiCase(entry, name)) continue;
    std::string candidate = prefix + entry;
    if (IsNonFolderEntry(candidate)) matches.push_back(std::move(candidate));
  }
  if (matches.empty()) return {};
  // Several spellings can live side by side here; always take the same one.
  return *std::min_element(matches.begin(), matches.end());
}

std::string AbsolutePath(const std::string& path) {
  if (path.empty() || HoldsNul(path)) return path;
  std::error_code ec;
  fs::path absolute = fs::absolute(path, ec);
  if (ec) return path;
  return absolute.lexically_normal().string();
}

}  // namespace tavelo
