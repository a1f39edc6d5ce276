#pragma once
// A Windows-style profile (INI) file, kept in memory so a save of many keys
// is one atomic write. Behaves like the classic profile functions:
//  * sections and keys matched without regard to (ASCII) case;
//  * values read without their surrounding blanks (and without one pair of
//    surrounding double quotes, as the classic reader does);
//  * a missing file, section or key gives the default;
//  * a write updates the key in place (keeping the stored key's spelling is
//    not required: the line is rewritten as KEY=VALUE with the name given),
//    or adds it at the end of its section (after the section's last
//    key line, before trailing blank lines), or adds the section at the end
//    of the file; every other line, comment and blank is kept byte for byte.
// Files are read as UTF-8, falling back to Windows-1252 for a file that is
// not valid UTF-8, or as UTF-16 (either byte order, with or without a mark)
// and written back the same way; text is held as UTF-8. New files use CR LF line ends; an
// existing file keeps the line ends it has. Values are never cut.

#include <string>
#include <string_view>
#include <vector>

#include "common/text_encoding.h"

namespace tavelo {

class ProfileFile {
 public:
  ProfileFile() = default;
  explicit ProfileFile(std::string path) : path_(std::move(path)) {}

  // Reads the file at path(); a missing or unreadable file gives an empty
  // profile (all defaults). Returns false only when the file exists but
  // cannot be read.
  [[nodiscard]] bool Load();
  // Parses text as the file's content (for tests and in-memory use).
  void LoadFromText(std::string_view bytes);

  const std::string& path() const { return path_; }
  void set_path(std::string path) { path_ = std::move(path); }

  std::string Get(std::string_view section, std::string_view key,
                  std::string_view defaultValue) const;
  bool Has(std::string_view section, std::string_view key) const;
  void Set(std::string_view section, std::string_view key, std::string_view value);

  // The whole file as it would be written (in the encoding it was read in:
  // UTF-8, or Windows-1252 when it was read as such).
  std::string ToBytes() const;

  // One atomic write of the whole file; creates the folder when missing.
  // Does nothing and returns true when nothing changed since Load().
  // Returns false without writing after a Load() that failed, so a file we
  // could not read is never replaced by our few keys.
  [[nodiscard]] bool Save(std::string* error = nullptr);

  bool modified() const { return modified_; }

 private:
  struct Line {
    std::string text;  // without its line end, UTF-8
    std::string end;   // "\r\n", "\n", "\r" or "" for the last line
  };
  // Index of the first "[section]" line of that name, or npos.
  size_t FindSection(std::string_view section) const;
  // One past the last line of the section whose header is at `header`.
  size_t SectionEnd(size_t header) const;
  // Index of the first line of the section holding the key, or npos.
  size_t FindKey(size_t header, std::string_view key) const;

  std::string path_;
  std::vector<Line> lines_;
  bool windows1252_ = false;
  Utf16Order utf16_ = Utf16Order::None;  // UTF-16 files are written back so
  bool byteOrderMark_ = false;  // a UTF-8 (or UTF-16) mark before the first line, kept
  bool loadFailed_ = false;     // the file is there but could not be read (safely)
  std::string unreadBytes_;     // what such a file holds, given back untouched
  bool modified_ = false;
  std::string newLine_ = "\r\n";
};

}  // namespace tavelo
