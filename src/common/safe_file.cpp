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

constexpr const char* kNotAFile = "not a regular file (a device, pipe or socket), not written";

// Our own open file named as /dev/stdout, /dev/stderr, /dev/fd/N or
// /proc/self/fd/N: its descriptor, else -1.
int OwnDescriptor(const std::string& path) {
  if (path == "/dev/stdout") return 1;
  if (path == "/dev/stderr") return 2;
  const std::string prefixes[] = {"/dev/fd/", "/proc/self/fd/",
                                  "/proc/" + IntegerText(static_cast<int64_t>(::getpid())) + "/fd/"};
  for (const std::string& prefix : prefixes) {
    if (path.compare(0, prefix.size(), prefix) != 0) continue;
    const std::string digits = path.substr(prefix.size());
    if (digits.empty() || digits.size() > 6 || digits.find_first_not_of("0123456789") != std::string::npos)
      return -1;
    const int fd = std::stoi(digits);
    return ::fcntl(fd, F_GETFD) >= 0 ? fd : -1;
  }
  return -1;
}

// Where a write to `path` lands: links followed one by one (a dangling one
// to the file it would create), stopping at a descriptor of our own.
struct Target {
  fs::path path;
  int ownDescriptor = -1;
  int error = 0;
};

Target ResolveTarget(const std::string& path) {
  fs::path current(path);
  for (int hops = 0; hops < 40; ++hops) {
    const int own = OwnDescriptor(current.lexically_normal().string());
    if (own >= 0) return {current, own, 0};
    struct stat info {};
    if (::lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return {current, -1, 0};
    std::error_code ec;
    const fs::path next = fs::read_symlink(current, ec);
    if (ec) return {current, -1, ec.value()};
    current = next.is_absolute() ? next : current.parent_path() / next;
  }
  return {current, -1, ELOOP};
}

// An unnamed file in the temporary folder that gathers what goes to a
// device, so headers patched at the end still work and nothing half-made
// reaches the device.
int OpenSpool() {
  const char* folder = std::getenv("TMPDIR");
  if (!folder || !*folder) folder = "/tmp";
  int fd = ::open(folder, O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd >= 0 || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)) return fd;
  std::string name = std::string(folder) + "/.tavelo-spool-XXXXXX";
  fd = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd >= 0) ::unlink(name.c_str());
  return fd;
}

}  // namespace

bool WriteFileAtomically(const std::string& path, std::string_view bytes, bool createFolders,
                         std::string* error, DeviceTargets devices) {
  AtomicFileWriter writer;
  if (!writer.Open(path, createFolders, error, devices)) return false;
  writer.Write(bytes);
  return writer.Commit(error);
}

namespace {
// Pieces smaller than this are gathered before they reach the disk.
constexpr size_t kWriterBuffer = size_t{1} << 20;
}  // namespace

AtomicFileWriter::~AtomicFileWriter() { Abandon(); }

bool AtomicFileWriter::Open(const std::string& path, bool createFolders, std::string* error,
                            DeviceTargets devices) {
  Abandon();
  failure_ = 0;
  size_ = flushed_ = 0;
  buffer_.clear();
  path_ = path;
  if (path.empty() || path.find('\0') != std::string::npos) {
    SetError(error, "no file name");
    return false;
  }
  const Target resolved = ResolveTarget(path);
  if (resolved.error != 0) {
    SetError(error, path + ": " + SystemReason(resolved.error));
    return false;
  }
  const bool inPlace = devices == DeviceTargets::WriteInPlace;
  if (resolved.ownDescriptor >= 0) {
    // Our own standard output or another descriptor we hold: written
    // where it points, at its own position, as a shell redirection expects.
    struct stat info {};
    if (::fstat(resolved.ownDescriptor, &info) != 0) {
      SetError(error, path + ": " + SystemReason(errno));
      return false;
    }
    if (!inPlace || !(S_ISREG(info.st_mode) || S_ISCHR(info.st_mode) || S_ISFIFO(info.st_mode))) {
      SetError(error, path + ": " + kNotAFile);
      return false;
    }
    return OpenInPlace(::fcntl(resolved.ownDescriptor, F_DUPFD_CLOEXEC, 3), error);
  }
  const fs::path target = resolved.path;
  if (!target.has_filename()) {
    SetError(error, path + ": not a file name");
    return false;
  }
  fs::path folder = target.parent_path();
  if (folder.empty()) folder = ".";
  struct stat old {};
  hadOld_ = ::stat(target.c_str(), &old) == 0;
  if (!hadOld_ && errno != ENOENT) {
    SetError(error, path + ": " + SystemReason(errno));
    return false;
  }
  if (hadOld_ && S_ISDIR(old.st_mode)) {
    SetError(error, path + ": is a folder");
    return false;
  }
  if (hadOld_ && (S_ISCHR(old.st_mode) || S_ISFIFO(old.st_mode)) && inPlace)
    return OpenInPlace(::open(target.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC), error);
  if (hadOld_ && !S_ISREG(old.st_mode)) {
    SetError(error, path + ": " + kNotAFile);
    return false;
  }
  if (createFolders) {
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec) {
      SetError(error, folder.string() + ": " + ec.message());
      return false;
    }
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

bool AtomicFileWriter::OpenInPlace(int device, std::string* error) {
  if (device < 0) {
    SetError(error, path_ + ": " + SystemReason(errno));
    return false;
  }
  const int spool = OpenSpool();
  if (spool < 0) {
    const int reason = errno;
    ::close(device);
    SetError(error, path_ + ": no room to gather the output: " + SystemReason(reason));
    return false;
  }
  fd_ = spool;
  device_ = device;
  hadOld_ = false;
  fault_ = static_cast<int>(InjectedFault(fs::path(path_)));
  if (static_cast<FaultStage>(fault_) == FaultStage::Open) {
    Abandon();
    SetError(error, path_ + ": " + SystemReason(EACCES));
    return false;
  }
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
  if (device_ >= 0) {
    if (Flush() && fault == FaultStage::Sync) Fail(EIO);
    if (failure_ == 0) CopyToDevice();
    Abandon();
    if (failure_ != 0) {
      SetError(error, path_ + ": " + SystemReason(failure_));
      return false;
    }
    return true;
  }
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

bool AtomicFileWriter::CopyToDevice() {
  if (::lseek(fd_, 0, SEEK_SET) != 0) {
    Fail(errno);
    return false;
  }
  char chunk[65536];
  for (;;) {
    const ssize_t got = ::read(fd_, chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      Fail(errno);
      return false;
    }
    if (got == 0) return true;
    if (!WriteAll(device_, std::string_view(chunk, static_cast<size_t>(got)))) {
      Fail(errno);
      return false;
    }
  }
}

void AtomicFileWriter::Abandon() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  if (device_ >= 0) {
    if (::close(device_) != 0 && failure_ == 0 && errno != EINTR) Fail(errno);
    device_ = -1;
  }
  if (!temporary_.empty()) {
    ::unlink(temporary_.c_str());
    temporary_.clear();
  }
  buffer_ = std::string();
}

namespace {
// A descriptor of the regular file at `path`, opened without blocking on a
// FIFO (then refused) and switched back to blocking reads; -1 otherwise.
int OpenRegularDescriptor(const std::string& path) {
  if (path.empty() || path.find('\0') != std::string::npos) return -1;
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return -1;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return -1;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}
}  // namespace

std::FILE* OpenRegularFile(const std::string& path) {
  const int fd = OpenRegularDescriptor(path);
  if (fd < 0) return nullptr;
  std::FILE* file = ::fdopen(fd, "rb");
  if (!file) ::close(fd);
  return file;
}

bool IsSpecialFile(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode);
}

std::optional<std::string> ReadWholeFile(const std::string& path) {
  const int fd = OpenRegularDescriptor(path);
  if (fd < 0) return std::nullopt;
  std::string bytes;
  struct stat info {};
  if (::fstat(fd, &info) == 0 && info.st_size > 0) {
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
  if (!ok) return std::nullopt;
  return bytes;
}

}  // namespace tavelo
