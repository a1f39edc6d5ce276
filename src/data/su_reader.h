#pragma once
// Reads an SU file by absolute 64-bit position. A reader opens the file,
// reads what it needs and is dropped again: no handle stays open between
// operations. Reads past the end fail (empty optional / false), never crash.
//
// Byte order: little-endian is the default and is tried first; a file whose
// first header only makes sense big-endian (as written on big-endian
// machines and by many public data sets) is read big-endian.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "data/byte_source.h"
#include "data/su_format.h"

namespace tavelo {

enum class ByteOrder : uint8_t { Little, Big };

// Decides the byte order from the first bytes of the file (at least its
// first 240) and the file length. Little-endian unless the header is
// implausible that way (ns not in 1..32767, or a trace size that does not
// fit the file) while plausible big-endian, or both readings are plausible
// and big-endian is better supported: its trace size alone divides the file
// length, or both do and only its ns is repeated by the second header (when
// `start` reaches it), or else it scores better on whole traces, positive dt
// and small tracl..cdpt counters. Fewer than 240 bytes, or a file shorter
// than a header: little.
ByteOrder DetectByteOrder(std::span<const unsigned char> start, int64_t fileLength);

class SuReader {
 public:
  // Opens the file for binary reading; empty when it cannot be opened. A
  // SEG-Y file (told by its content) is read as the SU file it holds; a
  // SEG-Y file that cannot be read is empty here too.
  [[nodiscard]] static std::optional<SuReader> Open(const std::string& path);
  // The same on bytes from any source (a file or memory).
  [[nodiscard]] static std::optional<SuReader> FromSource(std::unique_ptr<ByteSource> source);

  SuReader(SuReader&&) noexcept = default;
  SuReader& operator=(SuReader&&) noexcept = default;
  ~SuReader() = default;

  int64_t Length() const { return length_; }
  ByteOrder Order() const { return order_; }

  // ns of the first trace. Seismic Unix writes it unsigned, so a negative
  // 16-bit value is read as its unsigned value (32768..65535) when traces of
  // that size fit the file; otherwise it stays as read.
  [[nodiscard]] std::optional<int32_t> ReadSamplesPerTrace() const;

  // Raw reads at an absolute position (0-based byte offset in the file).
  std::optional<int16_t> ReadInt16(int64_t position) const;
  std::optional<int32_t> ReadInt32(int64_t position) const;
  [[nodiscard]] std::optional<float> ReadFloat(int64_t position) const;

  // Header word of trace index (0-based) for a trace size of traceBytes.
  // Empty for a negative index, a position beyond 64 bits, or a trace size
  // below 240 bytes (except for trace 0, whose position needs no size).
  // ReadHeaderInt of a float word is empty; ReadHeaderFloat of an integer
  // word gives its value as a float.
  [[nodiscard]] std::optional<int32_t> ReadHeaderInt(int64_t traceIndex, int64_t traceBytes,
                                       const su::HeaderField& field) const;
  [[nodiscard]] std::optional<float> ReadHeaderFloat(int64_t traceIndex, int64_t traceBytes,
                                       const su::HeaderField& field) const;

  // Reads out.size() samples of trace index (0-based), in host order.
  // False when the samples lie (partly) past the end of the file; the
  // samples that could be read are kept and the rest set to 0.
  [[nodiscard]] bool ReadSamples(int64_t traceIndex, int64_t traceBytes, std::span<float> out) const;

 private:
  SuReader() = default;
  [[nodiscard]] bool ReadBytes(int64_t position, void* out, size_t count) const;

  std::unique_ptr<ByteSource> source_;
  int64_t length_ = 0;
  ByteOrder order_ = ByteOrder::Little;
};

}  // namespace tavelo
