// 64-bit file positions even where off_t would default to 32 bits.
#ifndef _FILE_OFFSET_BITS
#define _FILE_OFFSET_BITS 64
#endif

#include "data/byte_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace tavelo {

static_assert(sizeof(off_t) >= 8, "trace files over 2 GiB need a 64-bit off_t");

namespace {

// A range [position, position + count) inside a source of `length` bytes.
bool InRange(int64_t position, size_t count, int64_t length) {
  if (position < 0 || count > static_cast<uint64_t>(length)) return false;
  return position <= length - static_cast<int64_t>(count);
}

class FileSource final : public ByteSource {
 public:
  FileSource(std::FILE* file, int64_t length) : file_(file), length_(length) {}
  ~FileSource() override { std::fclose(file_); }
  FileSource(const FileSource&) = delete;
  FileSource& operator=(const FileSource&) = delete;

  int64_t Length() const override { return length_; }
  bool Read(int64_t position, void* out, size_t count) const override {
    if (!InRange(position, count, length_)) return false;
    if (count == 0) return true;
    if (::fseeko(file_, static_cast<off_t>(position), SEEK_SET) != 0) return false;
    return std::fread(out, 1, count, file_) == count;
  }

 private:
  std::FILE* file_;
  int64_t length_;
};

class BufferSource final : public ByteSource {
 public:
  explicit BufferSource(std::string bytes) : bytes_(std::move(bytes)) {}
  int64_t Length() const override { return static_cast<int64_t>(bytes_.size()); }
  bool Read(int64_t position, void* out, size_t count) const override {
    if (!InRange(position, count, Length())) return false;
    if (count > 0) std::memcpy(out, bytes_.data() + position, count);
    return true;
  }

 private:
  std::string bytes_;
};

}  // namespace

std::unique_ptr<ByteSource> OpenFileSource(const std::string& path) {
  // Non-blocking open so that a FIFO or device named by mistake cannot hang
  // us; anything but a regular file is refused below.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return nullptr;
  }
  std::FILE* file = ::fdopen(fd, "rb");
  if (!file) {
    ::close(fd);
    return nullptr;
  }
  if (::fseeko(file, 0, SEEK_END) != 0) {
    std::fclose(file);
    return nullptr;
  }
  const off_t end = ::ftello(file);
  if (end < 0) {
    std::fclose(file);
    return nullptr;
  }
  return std::make_unique<FileSource>(file, static_cast<int64_t>(end));
}

std::unique_ptr<ByteSource> MemorySource(std::string bytes) {
  return std::make_unique<BufferSource>(std::move(bytes));
}

}  // namespace tavelo
