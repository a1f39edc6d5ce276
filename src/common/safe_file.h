#pragma once
// Files we write are written to a temporary file in the same folder and
// renamed over the target, so a failure never leaves a half file and never
// loses the old one.

#include <string>
#include <string_view>

namespace tavelo {

// Writes `bytes` to `path` atomically. Creates missing parent folders when
// `createFolders` is set. Returns false (and leaves any old file untouched)
// on any failure; `error`, when given, receives a one-line reason.
bool WriteFileAtomically(const std::string& path, std::string_view bytes,
                         bool createFolders = false, std::string* error = nullptr);

// Fault injection for the reliability tests, which run as root where
// permissions do not bind: TAVELO_TEST_WRITE_FAULT="STAGE:NAME" makes every
// WriteFileAtomically whose target file is named NAME fail at STAGE, with
// the error the real fault gives: "open" (an unwritable folder, EACCES),
// "write" (a full disk, ENOSPC), "sync" (EIO) or "rename" (EBUSY). NAME "*"
// matches every file. Unset (always, outside the tests): no effect.
inline constexpr const char* kWriteFaultVariable = "TAVELO_TEST_WRITE_FAULT";

// Reads a whole file. Empty optional-like result: returns false when the file
// cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::string& bytes);

}  // namespace tavelo
