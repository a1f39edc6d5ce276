#pragma once
// Where a trace reader's bytes come from: a regular file read by absolute
// 64-bit position, or a buffer in memory (tests, fuzzing). A read is all or
// nothing: a range that does not lie wholly inside the source fails.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace tavelo {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual int64_t Length() const = 0;
  // Copies count bytes from position; false when they are not all there.
  [[nodiscard]] virtual bool Read(int64_t position, void* out, size_t count) const = 0;
};

// A regular file opened for binary reading; empty for anything else (a
// FIFO or device named by mistake is refused without blocking).
[[nodiscard]] std::unique_ptr<ByteSource> OpenFileSource(const std::string& path);

// The given bytes, kept by the source.
std::unique_ptr<ByteSource> MemorySource(std::string bytes);

}  // namespace tavelo
