#pragma once
// Path helpers. Paths from the main application's settings use '\';
// both '/' and '\' are accepted as separators wherever a folder is cut off.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tavelo {

// True when the platform's directory search finds an entry for the path
// that is not a folder.
[[nodiscard]] bool FileExists(const std::string& path);

// Position (0-based) of the last '/' or '\', or npos.
size_t LastSeparator(std::string_view path);

// The part of the path up to and including its last separator; when there
// is none, its first two characters (the whole of a shorter text).
std::string FolderOf(std::string_view path);

// The text after the last separator (the whole text when there is none).
std::string FileNameOf(std::string_view path);

// Length in bytes of a regular file, or empty when it cannot be told.
[[nodiscard]] std::optional<int64_t> FileLength(const std::string& path);

// Derived names (history ".txt", velocity ".vel", metafile ".wmf") are looked
// up as built and, when absent, without regard to letter case in the same
// folder: settings written on Windows name them in any case.
// Returns the existing path, or empty when neither exists.
[[nodiscard]] std::string FindFileIgnoringCase(const std::string& path);

// Makes a path absolute against the current folder (empty stays empty).
std::string AbsolutePath(const std::string& path);

}  // namespace tavelo
