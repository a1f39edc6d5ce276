#include "common/safe_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <system_error>

#include "common/numeric.h"

namespace tavelo {
namespace fs = std::filesystem;

namespace {

void SetError(std::string* error, std::string text) {
  if (error) *error = std::move(text);
}

std::string SystemReason(int number) { return std::generic_category().message(number); }

bool WriteAll(int fd, std::string_view bytes) {
  const char* data = bytes.data();
  size_t left = bytes.size();
  while (left > 0) {
    ssize_t written = ::write(fd, data, left);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (written == 0) {
      errno = EIO;
      return false;
    }
    data += written;
    left -= static_cast<size_t>(written);
  }
  return true;
}

// A name no other writer uses at the same moment: the process, a counter
// and the clock. O_EXCL makes a clash fail instead of sharing the file.
std::string TemporaryName(const fs::path& target, int attempt) {
  static std::atomic<unsigned> counter{0};
  auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
  // Appended piece by piece: GCC 12 warns falsely (-Wrestrict) on "." + name.
  std::string name = ".";
  name += target.filename().string();
  name += ".tmp";
  name += IntegerText(static_cast<int64_t>(::getpid()));
  name += '-';
  name += IntegerText(static_cast<int64_t>(counter.fetch_add(1)));
  name += '-';
  name += IntegerText(static_cast<int64_t>((ticks + attempt) & 0xFFFFFF));
  return name;
}

enum class FaultStage { None, Open, Write, Sync, Rename };

// The stage at which the tests make this write fail (see kWriteFaultVariable).
FaultStage InjectedFault(const fs::path& target) {
  const char* setting = std::getenv(kWriteFaultVariable);
  if (!setting || !*setting) return FaultStage::None;
  const std::string_view text(setting);
  const size_t colon = text.find(':');
  if (colon == std::string_view::npos) return FaultStage::None;
  const std::string_view name = text.substr(colon + 1);
  if (name != "*" && name != target.filename().string()) return FaultStage::None;
  const std::string_view stage = text.substr(0, colon);
  if (stage == "open") return FaultStage::Open;
  if (stage == "write") return FaultStage::Write;
  if (stage == "sync") return FaultStage::Sync;
  if (stage == "rename") return FaultStage::Rename;
  return FaultStage::None;
}

}  // namespace

bool WriteFileAtomically(const std::string& path, std::string_view bytes, bool createFolders,
                         std::string* error) {
  AtomicFileWriter writer;
  if (!writer.Open(path, createFolders, error)) return false;
  writer.Write(bytes);
  return writer.Commit(error);
}

namespace {
// Pieces smaller than this are gathered before they reach the disk.
constexpr size_t kWriterBuffer = size_t{1} << 20;
}  // namespace

AtomicFileWriter::~AtomicFileWriter() { Abandon(); }

bool AtomicFileWriter::Open(const std::string& path, bool createFolders, std::string* error) {
  Abandon();
  failure_ = 0;
  size_ = flushed_ = 0;
  buffer_.clear();
  path_ = path;
  if (path.empty() || path.find('\0') != std::string::npos) {
    SetError(error, "no file name");
    return false;
  }
  std::error_code ec;
  fs::path target(path);
  // Writing through a link replaces what it points to, not the link itself.
  if (fs::is_symlink(target, ec)) {
    fs::path resolved = fs::weakly_canonical(target, ec);
    if (!ec) target = resolved;
    ec.clear();
  }
  if (!target.has_filename()) {
    SetError(error, path + ": not a file name");
    return false;
  }
  fs::path folder = target.parent_path();
  if (folder.empty()) folder = ".";
  if (createFolders) {
    fs::create_directories(folder, ec);
    if (ec) {
      SetError(error, folder.string() + ": " + ec.message());
      return false;
    }
  }
  struct stat old {};
  hadOld_ = ::stat(target.c_str(), &old) == 0;
  if (hadOld_ && S_ISDIR(old.st_mode)) {
    SetError(error, path + ": is a folder");
    return false;
  }
  oldMode_ = hadOld_ ? static_cast<unsigned>(old.st_mode & 07777) : 0;

  const FaultStage fault = InjectedFault(target);
  if (fault == FaultStage::Open) {
    SetError(error, folder.string() + ": " + SystemReason(EACCES));
    return false;
  }
  int fd = -1;
  std::string temporary;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temporary = (folder / TemporaryName(target, attempt)).string();
    fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) {
    SetError(error, folder.string() + ": " + SystemReason(errno));
    return false;
  }
  fd_ = fd;
  fault_ = static_cast<int>(fault);
  target_ = target.string();
  folder_ = folder.string();
  temporary_ = std::move(temporary);
  return true;
}

void AtomicFileWriter::Fail(int reason) {
  if (failure_ == 0) failure_ = reason != 0 ? reason : EIO;
}

bool AtomicFileWriter::WriteOut(std::string_view bytes) {
  if (static_cast<FaultStage>(fault_) == FaultStage::Write) {
    // An injected full disk still takes part of the bytes, as a real one does.
    WriteAll(fd_, bytes.substr(0, bytes.size() / 2));
    Fail(ENOSPC);
    return false;
  }
  if (!WriteAll(fd_, bytes)) {
    Fail(errno);
    return false;
  }
  flushed_ += bytes.size();
  return true;
}

bool AtomicFileWriter::Flush() {
  if (failure_ != 0 || fd_ < 0) return false;
  if (buffer_.empty()) return true;
  if (!WriteOut(buffer_)) return false;
  buffer_.clear();
  return true;
}

bool AtomicFileWriter::Write(std::string_view bytes) {
  if (failure_ != 0 || fd_ < 0) return false;
  if (buffer_.size() + bytes.size() > kWriterBuffer) {
    if (!Flush()) return false;
    if (bytes.size() >= kWriterBuffer) {
      // Large pieces go straight to the file.
      if (!WriteOut(bytes)) return false;
      size_ += bytes.size();
      return true;
    }
  }
  try {
    if (buffer_.capacity() < kWriterBuffer) buffer_.reserve(kWriterBuffer);
  } catch (const std::bad_alloc&) {
    Fail(ENOMEM);
    return false;
  }
  buffer_.append(bytes);
  size_ += bytes.size();
  return true;
}

bool AtomicFileWriter::Overwrite(uint64_t offset, std::string_view bytes) {
  if (failure_ != 0 || fd_ < 0) return false;
  if (offset > size_ || bytes.size() > size_ - offset) return false;
  if (offset >= flushed_) {
    buffer_.replace(static_cast<size_t>(offset - flushed_), bytes.size(), bytes);
    return true;
  }
  if (!Flush()) return false;
  const char* data = bytes.data();
  size_t left = bytes.size();
  auto at = static_cast<off_t>(offset);
  while (left > 0) {
    const ssize_t written = ::pwrite(fd_, data, left, at);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      Fail(written < 0 ? errno : EIO);
      return false;
    }
    data += written;
    left -= static_cast<size_t>(written);
    at += written;
  }
  return true;
}

bool AtomicFileWriter::Commit(std::string* error) {
  if (fd_ < 0) {
    SetError(error, path_ + ": " + SystemReason(failure_ != 0 ? failure_ : EBADF));
    return false;
  }
  const auto fault = static_cast<FaultStage>(fault_);
  bool ok = Flush();
  if (ok && hadOld_) ::fchmod(fd_, static_cast<mode_t>(oldMode_));
  if (ok && fault == FaultStage::Sync) Fail(EIO);
  ok = failure_ == 0;
  if (ok && ::fsync(fd_) != 0 && errno != EINVAL && errno != EROFS) Fail(errno);
  if (::close(fd_) != 0) Fail(errno);
  fd_ = -1;
  buffer_ = std::string();
  if (failure_ == 0 && fault == FaultStage::Rename) Fail(EBUSY);
  if (failure_ == 0 && ::rename(temporary_.c_str(), target_.c_str()) != 0) Fail(errno);
  if (failure_ != 0) {
    ::unlink(temporary_.c_str());
    temporary_.clear();
    SetError(error, path_ + ": " + SystemReason(failure_));
    return false;
  }
  temporary_.clear();
  // Make the rename itself durable; a failure here loses nothing.
  int folderFd = ::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folderFd >= 0) {
    ::fsync(folderFd);
    ::close(folderFd);
  }
  return true;
}

void AtomicFileWriter::Abandon() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  if (!temporary_.empty()) {
    ::unlink(temporary_.c_str());
    temporary_.clear();
  }
  buffer_ = std::string();
}

bool ReadWholeFile(const std::string& path, std::string& bytes) {
  bytes.clear();
  if (path.empty() || path.find('\0') != std::string::npos) return false;
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
    ::close(fd);
    return false;
  }
  if (S_ISREG(info.st_mode) && info.st_size > 0) {
    bytes.reserve(static_cast<size_t>(info.st_size));
  }
  char buffer[65536];
  bool ok = true;
  for (;;) {
    ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0) {
      if (errno == EINTR) continue;
      ok = false;
      break;
    }
    if (got == 0) break;
    bytes.append(buffer, static_cast<size_t>(got));
  }
  ::close(fd);
  if (!ok) bytes.clear();
  return ok;
}

}  // namespace tavelo
