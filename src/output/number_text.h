#pragma once
// Numbers as our PDF and SVG writers put them in their text: integers,
// twips to a tenth without trailing zeros ("12", "-3.5"), PDF colours.

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>
#include <system_error>

namespace tavelo::number_text {

// Coordinates beyond this lie far off any paper; readers choke on more.
inline constexpr double kMaxCoordinate = 1e9;

inline void AppendInt(std::string& out, int64_t v) {
  char buffer[24];
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, v);
  out.append(buffer, ec == std::errc() ? end : buffer);
}

// A count of tenths as a decimal.
inline void AppendTenthsOf(std::string& out, int64_t tenths) {
  const uint64_t magnitude = tenths < 0 ? static_cast<uint64_t>(-tenths) : static_cast<uint64_t>(tenths);
  if (tenths < 0) out += '-';
  AppendInt(out, static_cast<int64_t>(magnitude / 10));
  if (magnitude % 10) {
    out += '.';
    out += static_cast<char>('0' + magnitude % 10);
  }
}

// A value to a tenth, within +-kMaxCoordinate (not finite: 0). Whole
// numbers, most of what a page holds, skip the rounding.
inline void AppendTenths(std::string& out, double v) {
  if (!std::isfinite(v)) v = 0;
  v = std::clamp(v, -kMaxCoordinate, kMaxCoordinate);
  if (v == std::floor(v)) {
    AppendInt(out, static_cast<int64_t>(v));
    return;
  }
  AppendTenthsOf(out, static_cast<int64_t>(std::llround(v * 10)));
}

// A colour (red + 256 green + 65536 blue) as PDF's three fractions of 255,
// four decimals at most, then `op` (" RG\n").
void AppendColor(std::string& out, int32_t color, const char* op);

}  // namespace tavelo::number_text
