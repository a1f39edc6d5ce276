#include "common/safe_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
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
  std::string name = "." + target.filename().string() + ".tmp";
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

  // Keep the permissions of the file being replaced; a new file gets the
  // usual ones (0666 less the umask), as a plain open would give it.
  struct stat old {};
  bool hadOld = ::stat(target.c_str(), &old) == 0;
  if (hadOld && S_ISDIR(old.st_mode)) {
    SetError(error, path + ": is a folder");
    return false;
  }

  const FaultStage fault = InjectedFault(target);
  if (fault == FaultStage::Open) {
    SetError(error, folder.string() + ": " + SystemReason(EACCES));
    return false;
  }

  std::string temporary;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temporary = (folder / TemporaryName(target, attempt)).string();
    fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) {
    SetError(error, folder.string() + ": " + SystemReason(errno));
    return false;
  }

  bool ok = false;
  int reason = 0;
  if (fault == FaultStage::Write) {
    // An injected full disk still takes part of the bytes, as a real one does.
    WriteAll(fd, bytes.substr(0, bytes.size() / 2));
    reason = ENOSPC;
  } else {
    ok = WriteAll(fd, bytes);
    reason = ok ? 0 : errno;
  }
  if (ok && hadOld) ::fchmod(fd, old.st_mode & 07777);
  if (ok && fault == FaultStage::Sync) {
    ok = false;
    reason = EIO;
  }
  if (ok && ::fsync(fd) != 0 && errno != EINVAL && errno != EROFS) {
    ok = false;
    reason = errno;
  }
  if (::close(fd) != 0 && ok) {
    ok = false;
    reason = errno;
  }
  if (ok && fault == FaultStage::Rename) {
    ok = false;
    reason = EBUSY;
  }
  if (ok && ::rename(temporary.c_str(), target.c_str()) != 0) {
    ok = false;
    reason = errno;
  }
  if (!ok) {
    ::unlink(temporary.c_str());
    SetError(error, path + ": " + SystemReason(reason));
    return false;
  }
  // Make the rename itself durable; a failure here loses nothing.
  int folderFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folderFd >= 0) {
    ::fsync(folderFd);
    ::close(folderFd);
  }
  return true;
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
