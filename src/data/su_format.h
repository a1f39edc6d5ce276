#pragma once
// The SU trace file as the program reads it: no file header, a sequence of
// traces, each a 240-byte header followed by ns float32 samples. Trace n
// (from 1) starts at (n - 1) * (240 + 4 * ns). Every position is 64-bit.

#include <array>
#include <cstdint>
#include <string_view>

namespace tavelo::su {

inline constexpr int64_t kHeaderBytes = 240;

enum class FieldType : uint8_t { Int16, Int32, Float32 };

struct HeaderField {
  std::string_view name;  // SU name
  int offset;             // 0-based byte offset within the trace header
  int width;              // bytes
  FieldType type;
};

// Every header word any part of the program reads.
inline constexpr HeaderField kTracl{"tracl", 0, 4, FieldType::Int32};
inline constexpr HeaderField kEp{"ep", 16, 4, FieldType::Int32};
inline constexpr HeaderField kCdp{"cdp", 20, 4, FieldType::Int32};
inline constexpr HeaderField kTrid{"trid", 28, 2, FieldType::Int16};
inline constexpr HeaderField kNhs{"nhs", 32, 2, FieldType::Int16};
inline constexpr HeaderField kGelev{"gelev", 40, 4, FieldType::Int32};
inline constexpr HeaderField kGdel{"gdel", 52, 4, FieldType::Int32};
inline constexpr HeaderField kSdel{"sdel", 56, 4, FieldType::Int32};
inline constexpr HeaderField kScalel{"scalel", 68, 2, FieldType::Int16};
inline constexpr HeaderField kSx{"sx", 72, 4, FieldType::Int32};
inline constexpr HeaderField kGx{"gx", 80, 4, FieldType::Int32};
inline constexpr HeaderField kTstat{"tstat", 102, 2, FieldType::Int16};
// Delay of the first sample (ms): a time-windowed file starts later.
inline constexpr HeaderField kDelrt{"delrt", 108, 2, FieldType::Int16};
inline constexpr HeaderField kNs{"ns", 114, 2, FieldType::Int16};
inline constexpr HeaderField kDt{"dt", 116, 2, FieldType::Int16};
inline constexpr HeaderField kD1{"d1", 180, 4, FieldType::Float32};
// The position of d2, read as a signed 32-bit integer (the trace interval).
inline constexpr HeaderField kD2AsInt{"d2", 188, 4, FieldType::Int32};
// Unassigned area, read by the statics diagram.
inline constexpr HeaderField kUnassigned232{"unass", 232, 2, FieldType::Int16};

inline constexpr std::array<HeaderField, 18> kAllFields{
    kTracl, kEp, kCdp, kTrid, kNhs, kGelev, kGdel, kSdel, kScalel,
    kSx, kGx, kTstat, kDelrt, kNs, kDt, kD1, kD2AsInt, kUnassigned232};

// Size in bytes of one trace of ns samples; 0 when ns is not positive.
constexpr int64_t TraceBytes(int32_t ns) {
  return ns > 0 ? kHeaderBytes + 4 * static_cast<int64_t>(ns) : 0;
}

}  // namespace tavelo::su
