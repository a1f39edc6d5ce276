#include "data/su_reader.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <limits>
#include <vector>

#include "data/segy_reader.h"

namespace tavelo {

static_assert(sizeof(float) == 4 && std::numeric_limits<float>::is_iec559,
              "samples are IEEE single-precision floats");

namespace {

uint32_t Swap32(uint32_t v) {
  return ((v & 0x000000FFu) << 24) | ((v & 0x0000FF00u) << 8) |
         ((v & 0x00FF0000u) >> 8) | ((v & 0xFF000000u) >> 24);
}

// Byte-by-byte assembly, independent of the host's own order.
uint16_t Load16(const unsigned char* p, ByteOrder order) {
  return order == ByteOrder::Little ? static_cast<uint16_t>(p[0] | (p[1] << 8))
                                    : static_cast<uint16_t>((p[0] << 8) | p[1]);
}

uint32_t Load32(const unsigned char* p, ByteOrder order) {
  const uint32_t b0 = p[0], b1 = p[1], b2 = p[2], b3 = p[3];
  return order == ByteOrder::Little ? (b0 | (b1 << 8) | (b2 << 16) | (b3 << 24))
                                    : ((b0 << 24) | (b1 << 16) | (b2 << 8) | b3);
}

int16_t AsInt16(uint16_t bits) {
  int16_t v;
  std::memcpy(&v, &bits, sizeof v);
  return v;
}

int32_t AsInt32(uint32_t bits) {
  int32_t v;
  std::memcpy(&v, &bits, sizeof v);
  return v;
}

float AsFloat(uint32_t bits) {
  float v;
  std::memcpy(&v, &bits, sizeof v);
  return v;
}

constexpr ByteOrder HostOrder() {
  return std::endian::native == std::endian::little ? ByteOrder::Little : ByteOrder::Big;
}

// ns as Seismic Unix means it: unsigned when the signed reading is negative
// and traces of the unsigned size fit a file of `fileLength` bytes.
int32_t SamplesPerTraceWord(uint16_t bits, int64_t fileLength) {
  const int32_t signedValue = AsInt16(bits);
  if (signedValue >= 0 || su::TraceBytes(bits) > fileLength) return signedValue;
  return bits;
}

// How much one byte order is supported by a first trace header. Empty when
// the header cannot be read that way at all: ns not positive (read unsigned
// as Seismic Unix writes it, when that fits the file) or one trace
// longer than the whole file.
// The first header's ns read in `order`.
int32_t FirstNs(std::span<const unsigned char> h, ByteOrder order, int64_t fileLength) {
  return SamplesPerTraceWord(Load16(h.data() + su::kNs.offset, order), fileLength);
}

std::optional<int> OrderScore(std::span<const unsigned char> h, int64_t fileLength,
                              ByteOrder order) {
  const int64_t traceBytes = su::TraceBytes(FirstNs(h, order, fileLength));
  if (traceBytes == 0 || traceBytes > fileLength) return std::nullopt;
  int score = 0;
  // A length that is a whole number of traces is strong evidence.
  if (fileLength % traceBytes == 0) score += 4;
  // dt is 0 either way round, so only a positive value says something.
  if (AsInt16(Load16(h.data() + su::kDt.offset, order)) > 0) score += 2;
  // The leading counters (tracl, tracr, fldr, tracf, ep, cdp, cdpt) hold
  // small numbers; read in the wrong order, a small number such as 1 turns
  // into 2^24 or more.
  for (int offset = 0; offset <= 24; offset += 4) {
    const int32_t v = AsInt32(Load32(h.data() + offset, order));
    if (v > -(1 << 24) && v < (1 << 24)) score += 1;
  }
  return score;
}

bool WholeTraces(std::span<const unsigned char> h, int64_t fileLength, ByteOrder order) {
  const int64_t traceBytes = su::TraceBytes(FirstNs(h, order, fileLength));
  return traceBytes > 0 && fileLength % traceBytes == 0;
}

// Whether the second trace header, where `start` holds it, repeats the
// first one's ns read in `order` (every trace of a file has the same ns).
std::optional<bool> SecondHeaderRepeatsNs(std::span<const unsigned char> start, int64_t fileLength,
                                          ByteOrder order) {
  const int64_t traceBytes = su::TraceBytes(FirstNs(start, order, fileLength));
  const int64_t at = traceBytes + su::kNs.offset;
  if (traceBytes == 0 || at + 2 > static_cast<int64_t>(start.size())) return std::nullopt;
  return Load16(start.data() + at, order) == Load16(start.data() + su::kNs.offset, order);
}

// Checked trace position: traceIndex * traceBytes + offset, or empty when it
// is negative or does not fit 64 bits. A trace has at least its header, so a
// trace size below that is refused except for the first trace, whose
// position does not depend on it.
std::optional<int64_t> TracePosition(int64_t traceIndex, int64_t traceBytes, int64_t offset) {
  if (traceIndex < 0 || offset < 0) return std::nullopt;
  if (traceIndex == 0) return offset;
  if (traceBytes < su::kHeaderBytes) return std::nullopt;
  int64_t start = 0;
  int64_t position = 0;
  if (__builtin_mul_overflow(traceIndex, traceBytes, &start)) return std::nullopt;
  if (__builtin_add_overflow(start, offset, &position)) return std::nullopt;
  return position;
}

}  // namespace

// Little-endian is the program's own order and is tried first. Big-endian is
// chosen only when the header cannot be little-endian (ns outside 1..32767,
// or a trace longer than the file) while it can be big-endian, or when both
// readings are possible and big-endian is clearly better supported (whole
// number of traces in the file, a positive dt, small leading counters; see
// OrderScore). ns alone is not enough: a big-endian ns of 1024 (bytes 04 00)
// reads as a plausible 4 little-endian, and a big-endian ns of 100 reads as
// 25600, which still fits a long file. A tie stays little-endian, so a
// damaged little-endian file is not turned around by one coincidence.
//
// When both readings are plausible, a trace size that divides the file
// length outweighs everything else. Where both do (16 traces of ns 1024 are
// also 271 traces of ns 4) and `start` reaches the second header, the
// reading whose ns that header repeats wins.
ByteOrder DetectByteOrder(std::span<const unsigned char> start, int64_t fileLength) {
  if (start.size() < static_cast<size_t>(su::kHeaderBytes) || fileLength < su::kHeaderBytes) {
    return ByteOrder::Little;
  }
  const std::optional<int> little = OrderScore(start, fileLength, ByteOrder::Little);
  const std::optional<int> big = OrderScore(start, fileLength, ByteOrder::Big);
  if (!big) return ByteOrder::Little;
  if (!little) return ByteOrder::Big;
  const bool littleWhole = WholeTraces(start, fileLength, ByteOrder::Little);
  const bool bigWhole = WholeTraces(start, fileLength, ByteOrder::Big);
  if (littleWhole != bigWhole) return bigWhole ? ByteOrder::Big : ByteOrder::Little;
  if (littleWhole) {
    const std::optional<bool> littleRepeats = SecondHeaderRepeatsNs(start, fileLength, ByteOrder::Little);
    const std::optional<bool> bigRepeats = SecondHeaderRepeatsNs(start, fileLength, ByteOrder::Big);
    if (littleRepeats && bigRepeats && *littleRepeats != *bigRepeats)
      return *bigRepeats ? ByteOrder::Big : ByteOrder::Little;
  }
  return *big > *little ? ByteOrder::Big : ByteOrder::Little;
}

std::optional<SuReader> SuReader::Open(const std::string& path) {
  return FromSource(OpenFileSource(path));
}

std::optional<SuReader> SuReader::FromSource(std::unique_ptr<ByteSource> source) {
  if (!source) return std::nullopt;
  SuReader reader;
  if (segy::LooksLikeSegy(*source)) {
    const segy::LayoutOrProblem found = segy::ReadLayout(*source);
    if (!found.layout) return std::nullopt;
    reader.source_ = segy::SuViewOf(std::move(source), *found.layout);
    reader.length_ = reader.source_->Length();
    return reader;  // the view is in the program's own order
  }
  reader.source_ = std::move(source);
  reader.length_ = reader.source_->Length();

  // The first header decides the byte order; the bytes after it, up to a
  // second header of a usual trace size, may confirm its ns.
  constexpr int64_t kProbeBytes = 64 * 1024;
  std::vector<unsigned char> start(static_cast<size_t>(std::min(reader.length_, kProbeBytes)));
  if (reader.length_ >= su::kHeaderBytes && reader.ReadBytes(0, start.data(), start.size())) {
    reader.order_ = DetectByteOrder(start, reader.length_);
  }
  return reader;
}

bool SuReader::ReadBytes(int64_t position, void* out, size_t count) const {
  return source_ && source_->Read(position, out, count);
}

std::optional<int32_t> SuReader::ReadSamplesPerTrace() const {
  unsigned char bytes[2];
  if (!ReadBytes(su::kNs.offset, bytes, sizeof bytes)) return std::nullopt;
  return SamplesPerTraceWord(Load16(bytes, order_), length_);
}

std::optional<int16_t> SuReader::ReadInt16(int64_t position) const {
  unsigned char bytes[2];
  if (!ReadBytes(position, bytes, sizeof bytes)) return std::nullopt;
  return AsInt16(Load16(bytes, order_));
}

std::optional<int32_t> SuReader::ReadInt32(int64_t position) const {
  unsigned char bytes[4];
  if (!ReadBytes(position, bytes, sizeof bytes)) return std::nullopt;
  return AsInt32(Load32(bytes, order_));
}

std::optional<float> SuReader::ReadFloat(int64_t position) const {
  unsigned char bytes[4];
  if (!ReadBytes(position, bytes, sizeof bytes)) return std::nullopt;
  return AsFloat(Load32(bytes, order_));
}

std::optional<int32_t> SuReader::ReadHeaderInt(int64_t traceIndex, int64_t traceBytes,
                                                const su::HeaderField& field) const {
  const std::optional<int64_t> position = TracePosition(traceIndex, traceBytes, field.offset);
  if (!position) return std::nullopt;
  switch (field.type) {
    case su::FieldType::Int16:
      if (auto v = ReadInt16(*position)) return static_cast<int32_t>(*v);
      return std::nullopt;
    case su::FieldType::Int32:
      return ReadInt32(*position);
    case su::FieldType::Float32:
      break;
  }
  // A float word has no integer reading; the caller asked for the wrong kind.
  return std::nullopt;
}

std::optional<float> SuReader::ReadHeaderFloat(int64_t traceIndex, int64_t traceBytes,
                                                const su::HeaderField& field) const {
  const std::optional<int64_t> position = TracePosition(traceIndex, traceBytes, field.offset);
  if (!position) return std::nullopt;
  switch (field.type) {
    case su::FieldType::Float32:
      return ReadFloat(*position);
    case su::FieldType::Int16:
      if (auto v = ReadInt16(*position)) return static_cast<float>(*v);
      return std::nullopt;
    case su::FieldType::Int32:
      if (auto v = ReadInt32(*position)) return static_cast<float>(*v);
      return std::nullopt;
  }
  return std::nullopt;
}

bool SuReader::ReadSamples(int64_t traceIndex, int64_t traceBytes, std::span<float> out) const {
  std::fill(out.begin(), out.end(), 0.0f);
  if (out.empty()) return true;
  const std::optional<int64_t> start = TracePosition(traceIndex, traceBytes, su::kHeaderBytes);
  if (!start || !source_ || *start >= length_) return false;

  // As many whole samples as the file still holds, in one read.
  const int64_t available = (length_ - *start) / 4;
  const size_t wanted = out.size();
  const size_t count =
      available < static_cast<int64_t>(wanted) ? static_cast<size_t>(available) : wanted;
  if (count > 0) {
    if (!source_->Read(*start, out.data(), count * 4)) {
      std::fill(out.begin(), out.end(), 0.0f);
      return false;
    }
    if (order_ != HostOrder()) {
      for (size_t i = 0; i < count; ++i) {
        uint32_t bits;
        std::memcpy(&bits, &out[i], 4);
        bits = Swap32(bits);
        std::memcpy(&out[i], &bits, 4);
      }
    }
  }
  return count == wanted;
}

}  // namespace tavelo
