#pragma once
// Mutated copies of an SU file, the same for a given seed on every machine:
// the mutation driver builds thousands of them, the reliability tests a few
// hundred. Mutations aim at what a damaged or foreign file really holds:
// header words set to edge values (0, -1, the 16- and 32-bit limits, NaN
// and infinite floats), flipped bits, cut or padded files, traces repeated
// or dropped, and the byte order of the first header turned around.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

namespace tavelo::reliability {

// SplitMix64: small, fast and identical everywhere (std:: distributions are not).
class MutationRandom {
 public:
  explicit MutationRandom(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // Uniform in 0..n-1 (n > 0).
  uint64_t Below(uint64_t n) { return Next() % n; }

 private:
  uint64_t state_;
};

namespace detail {

// Offsets of the header words the program reads (see data/su_format.h).
inline constexpr int kWordOffsets16[] = {28, 32, 68, 102, 114, 116, 232};
inline constexpr int kWordOffsets32[] = {0, 16, 20, 40, 52, 56, 72, 80, 180, 188};

inline void Put16(std::string& b, size_t at, int32_t v) {
  if (at + 2 > b.size()) return;
  const auto u = static_cast<uint16_t>(v);
  b[at] = static_cast<char>(u & 0xFF);
  b[at + 1] = static_cast<char>(u >> 8);
}

inline void Put32(std::string& b, size_t at, uint32_t u) {
  if (at + 4 > b.size()) return;
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<char>((u >> (8 * i)) & 0xFF);
}

inline uint32_t FloatBits(float f) {
  uint32_t u;
  std::memcpy(&u, &f, 4);
  return u;
}

inline int32_t Edge16(MutationRandom& r) {
  static constexpr int32_t kValues[] = {0, 1, -1, 2, 32767, -32768, 255, 256, 1000, -1000, 4000};
  return kValues[r.Below(std::size(kValues))];
}

inline uint32_t Edge32(MutationRandom& r) {
  static constexpr int64_t kValues[] = {0, 1, -1, 32767, 32768, -32769, 65536,
                                        2147483647, -2147483647 - 1, 1000000, -1000000};
  const int64_t v = kValues[r.Below(std::size(kValues))];
  return static_cast<uint32_t>(v);
}

inline uint32_t EdgeFloat(MutationRandom& r) {
  static const float kValues[] = {0.0f, -0.0f, 1.0f, -1.0f, 1e30f, -1e30f, 1e-40f,
                                  std::numeric_limits<float>::quiet_NaN(),
                                  std::numeric_limits<float>::infinity(),
                                  -std::numeric_limits<float>::infinity(),
                                  std::numeric_limits<float>::max()};
  return FloatBits(kValues[r.Below(std::size(kValues))]);
}

// Start of a random trace's header, for a trace size taken from the first
// header (the whole file when that size makes no sense).
inline size_t SomeTraceStart(const std::string& b, MutationRandom& r) {
  if (b.size() < 240) return 0;
  const int16_t ns = static_cast<int16_t>(static_cast<unsigned char>(b[114]) |
                                          (static_cast<unsigned char>(b[115]) << 8));
  const size_t traceBytes = ns > 0 ? 240 + 4 * static_cast<size_t>(ns) : 0;
  if (traceBytes == 0 || traceBytes > b.size()) return 0;
  const size_t traces = b.size() / traceBytes;
  // The first trace is described by the program: hit it as often as the rest.
  return r.Below(2) == 0 ? 0 : r.Below(traces) * traceBytes;
}

}  // namespace detail

// Applies 1 to 4 mutations to `bytes`, chosen by `r`. Sizes stay below
// `maxBytes` so no mutation makes a run slow by sheer size.
inline void Mutate(std::string& bytes, MutationRandom& r, size_t maxBytes = 8u << 20) {
  using namespace detail;
  const int rounds = 1 + static_cast<int>(r.Below(4));
  for (int round = 0; round < rounds; ++round) {
    const size_t size = bytes.size();
    switch (r.Below(10)) {
      case 0: case 1: {  // a 16-bit header word to an edge value
        const size_t at = SomeTraceStart(bytes, r) + kWordOffsets16[r.Below(std::size(kWordOffsets16))];
        Put16(bytes, at, Edge16(r));
        break;
      }
      case 2: case 3: {  // a 32-bit header word to an edge value (or float)
        const int offset = kWordOffsets32[r.Below(std::size(kWordOffsets32))];
        const size_t at = SomeTraceStart(bytes, r) + static_cast<size_t>(offset);
        Put32(bytes, at, offset == 180 ? EdgeFloat(r) : Edge32(r));
        break;
      }
      case 4: {  // random bits anywhere, mostly in the first header
        if (size == 0) break;
        const size_t span = r.Below(3) == 0 ? size : std::min<size_t>(size, 240);
        for (int k = 0, n = 1 + static_cast<int>(r.Below(8)); k < n; ++k)
          bytes[r.Below(span)] ^= static_cast<char>(1u << r.Below(8));
        break;
      }
      case 5: {  // samples to NaN, infinities or huge values
        if (size < 244) break;
        for (int k = 0, n = 1 + static_cast<int>(r.Below(32)); k < n; ++k)
          Put32(bytes, 240 + 4 * r.Below((size - 240) / 4), EdgeFloat(r));
        break;
      }
      case 6: {  // cut the file anywhere (also inside the first header)
        if (size == 0) break;
        bytes.resize(r.Below(4) == 0 ? r.Below(std::min<size_t>(size, 480)) : r.Below(size));
        break;
      }
      case 7: {  // pad or append part of itself (a length that is not whole traces)
        const size_t extra = 1 + r.Below(r.Below(2) ? 8 : 5000);
        if (size + extra > maxBytes) break;
        if (size > 0 && r.Below(2)) {
          const size_t from = r.Below(size);
          bytes += bytes.substr(from, std::min(extra, size - from));
        } else {
          bytes.append(extra, static_cast<char>(r.Below(256)));
        }
        break;
      }
      case 8: {  // the first header's words turned to the other byte order
        if (size < 240) break;
        for (int off : kWordOffsets16) std::swap(bytes[static_cast<size_t>(off)], bytes[static_cast<size_t>(off) + 1]);
        for (int off : kWordOffsets32) {
          std::swap(bytes[static_cast<size_t>(off)], bytes[static_cast<size_t>(off) + 3]);
          std::swap(bytes[static_cast<size_t>(off) + 1], bytes[static_cast<size_t>(off) + 2]);
        }
        break;
      }
      case 9: {  // a block of bytes overwritten with another part of the file
        if (size < 2) break;
        const size_t length = 1 + r.Below(std::min<size_t>(size / 2, 4096));
        const size_t from = r.Below(size - length + 1), to = r.Below(size - length + 1);
        bytes.replace(to, length, bytes.substr(from, length));
        break;
      }
    }
  }
}

}  // namespace tavelo::reliability
