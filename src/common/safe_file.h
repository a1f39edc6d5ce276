#pragma once
// Files we write are written to a temporary file in the same folder and
// renamed over the target, so a failure never leaves a half file and never
// loses the old one.

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

namespace tavelo {

// Only regular files are ever replaced. A link is followed to the file it
// names, which is replaced (never the link itself). A target that exists and
// is a character device or a pipe (/dev/stdout, /dev/null, a FIFO) is
// refused, or written in place when the user named it as an output
// (WriteInPlace): the bytes are gathered aside and copied into it on
// commit, so `--dump /dev/stdout` streams. Anything else that is not a
// regular file (a socket, a block device, a folder) is always refused.
enum class DeviceTargets { Refuse, WriteInPlace };

// Writes `bytes` to `path` atomically. Creates missing parent folders when
// `createFolders` is set. Returns false (and leaves any old file untouched)
// on any failure; `error`, when given, receives a one-line reason.
[[nodiscard]] bool WriteFileAtomically(const std::string& path, std::string_view bytes,
                         bool createFolders = false, std::string* error = nullptr,
                         DeviceTargets devices = DeviceTargets::Refuse);

// Fault injection for the reliability tests, which run as root where
// permissions do not bind: TAVELO_TEST_WRITE_FAULT="STAGE:NAME" makes every
// WriteFileAtomically whose target file is named NAME fail at STAGE, with
// the error the real fault gives: "open" (an unwritable folder, EACCES),
// "write" (a full disk, ENOSPC), "sync" (EIO) or "rename" (EBUSY). NAME "*"
// matches every file. Unset (always, outside the tests): no effect.
inline constexpr const char* kWriteFaultVariable = "TAVELO_TEST_WRITE_FAULT";

// A file written piece by piece under the same rule as WriteFileAtomically:
// the bytes go to a temporary file in the target's folder, which Commit()
// renames over the target once complete. Dropped without a commit (or after
// any failure) the temporary file is removed and the old file stays as it
// was. Writes are gathered in a buffer, so small pieces cost no system call
// each. Honours kWriteFaultVariable as WriteFileAtomically does ("write"
// fails the first write that reaches the disk, after part of it).
class AtomicFileWriter {
 public:
  AtomicFileWriter() = default;
  ~AtomicFileWriter();
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

  // Creates the temporary file for `path` (and missing parent folders when
  // `createFolders` is set). False with a one-line reason in `error`.
  [[nodiscard]] bool Open(const std::string& path, bool createFolders = false, std::string* error = nullptr,
            DeviceTargets devices = DeviceTargets::Refuse);
  // Appends; false once anything has failed (Commit then says why).
  bool Write(std::string_view bytes);
  // Replaces bytes already written, e.g. a header whose sizes are known
  // only at the end. False when the range runs past what was written.
  bool Overwrite(uint64_t offset, std::string_view bytes);
  // Puts the file in place. False with the first failure's reason in
  // `error` (the temporary file removed, any old file kept).
  [[nodiscard]] bool Commit(std::string* error = nullptr);
  // Gives the write up: removes the temporary file, keeps any old file.
  void Abandon();

  bool IsOpen() const { return fd_ >= 0; }
  bool Failed() const { return failure_ != 0; }
  // Bytes written so far.
  uint64_t Size() const { return size_; }

 private:
  bool Flush();
  bool WriteOut(std::string_view bytes);
  void Fail(int reason);
  bool OpenInPlace(int device, std::string* error);
  bool CopyToDevice();

  std::string path_;       // as given, for messages
  std::string target_;     // where the file ends up (a link resolved)
  std::string folder_;
  std::string temporary_;
  int fd_ = -1;
  int device_ = -1;  // a device or pipe written in place; fd_ is then a spool
  int failure_ = 0;  // errno of the first failure
  bool hadOld_ = false;
  unsigned oldMode_ = 0;
  int fault_ = 0;  // the injected fault, if any
  uint64_t size_ = 0;
  uint64_t flushed_ = 0;  // bytes in the file; the rest is in buffer_
  std::string buffer_;
};

// Reads a whole regular file. Empty when the file cannot be opened or read,
// or is not a regular file (a FIFO would wait for a writer forever).
[[nodiscard]] std::optional<std::string> ReadWholeFile(const std::string& path);

// Opens a regular file for binary reading without waiting on a FIFO or a
// device: null when the path is missing, unreadable or not a regular file.
[[nodiscard]] std::FILE* OpenRegularFile(const std::string& path);

// True when `path` names something that is neither a regular file nor a
// folder (links followed): a device, a FIFO, a socket.
[[nodiscard]] bool IsSpecialFile(const std::string& path);

}  // namespace tavelo
