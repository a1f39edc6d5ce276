#pragma once
// Number rules shared by every field, settings key and drawing step.
//
// Typed and stored numbers are read by the leading-number rule, stored into
// integers by half-to-even rounding with a range check, and written back
// with a sign position (" 5", "-5"). Nothing here has undefined behaviour:
// NaN, infinities and values out of range give an empty optional.

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>

namespace tavelo {

// Leading-number rule: leading blanks (space, tab, CR, LF) skipped, then the
// longest leading decimal number (optional sign, digits, optional point and
// digits, optional exponent E or D with optional sign and digits) is taken.
// A text without one reads 0. "12abc" -> 12, " -3.5e2x" -> -350, "." -> 0.
double LeadingNumber(std::string_view text);

// True when the whole text (blanks around it allowed) is one number by the
// rule above, e.g. " 12.5 " but not "12a" or "".
bool IsPlainNumber(std::string_view text);

// Nearest integer, halves to the even neighbour (2.5 -> 2, 3.5 -> 4,
// -2.5 -> -2). Non-finite values are returned unchanged. Inline, without a
// library call: a page builder rounds millions of coordinates a page.
inline double RoundHalfEven(double value) {
  // From 2^52 on every double is already a whole number (NaN and the
  // infinities fail the test too).
  if (!(value > -4503599627370496.0 && value < 4503599627370496.0)) return value;
  const auto truncated = static_cast<int64_t>(value);  // exact in this range
  int64_t below = truncated;
  if (static_cast<double>(truncated) > value) --below;
  const double fraction = value - static_cast<double>(below);  // exact for this range
  int64_t result = below;
  if (fraction > 0.5 || (fraction == 0.5 && (below & 1) != 0)) ++result;
  return static_cast<double>(result);  // a whole zero is +0: no negative zero
}

namespace detail {
template <typename Int>
std::optional<Int> CheckedInteger(double value) {
  const double rounded = RoundHalfEven(value);
  // Both bounds are exact powers of two (or their negatives) for every
  // target, so the comparison is exact; NaN and the infinities fail it.
  constexpr double low = static_cast<double>(std::numeric_limits<Int>::min());
  constexpr double high = -low;  // one past the largest value
  if (!(rounded >= low && rounded < high)) return std::nullopt;
  return static_cast<Int>(rounded);
}
}  // namespace detail

// Checked conversions: half-to-even rounding, then a range check.
// Empty when the value is NaN, infinite or outside the target's range.
inline std::optional<int16_t> ToInt16(double value) { return detail::CheckedInteger<int16_t>(value); }
inline std::optional<int32_t> ToInt32(double value) { return detail::CheckedInteger<int32_t>(value); }
inline std::optional<int64_t> ToInt64(double value) { return detail::CheckedInteger<int64_t>(value); }

// Skip-on-failure store: `value`, rounded half to even, goes into `target`
// when it fits the range of `Range` (the target's own type unless named:
// int16_t, int32_t or int64_t); otherwise `target` keeps what it held. A
// call is itself the mark of a deliberate skip. True when stored.
//   AssignIfFits(settings.FoldTop, mm * kTwipsPerMm);   // int16_t target
//   AssignIfFits<int32_t>(y, twips);                    // double target, 32-bit rule
template <typename Range = void, typename Target>
bool AssignIfFits(Target& target, double value) {
  using Checked = std::conditional_t<std::is_void_v<Range>, Target, Range>;
  std::optional<Checked> fitted;
  if constexpr (std::is_same_v<Checked, int16_t>)
    fitted = ToInt16(value);
  else if constexpr (std::is_same_v<Checked, int32_t>)
    fitted = ToInt32(value);
  else if constexpr (std::is_same_v<Checked, int64_t>)
    fitted = ToInt64(value);
  else
    static_assert(std::is_same_v<Checked, int16_t>, "AssignIfFits checks int16_t, int32_t or int64_t");
  if (!fitted) return false;
  target = static_cast<Target>(*fitted);
  return true;
}

// Rounds to `decimals` places, halves to even on the scaled value.
double RoundTo(double value, int decimals);

// Decimal text of up to 15 significant digits, shortest form, no blank,
// no exponent for ordinary magnitudes: 5 -> "5", 0.5 -> "0.5",
// 1/3 -> "0.333333333333333", -2 -> "-2".
std::string DecimalText(double value);

// Sign-position text: the decimal text preceded by one blank when the value
// is not negative: 5 -> " 5", -5 -> "-5", 0.25 -> " 0.25".
std::string SignedText(double value);
std::string SignedText(int64_t value);
inline std::string SignedText(int32_t value) { return SignedText(static_cast<int64_t>(value)); }
inline std::string SignedText(int16_t value) { return SignedText(static_cast<int64_t>(value)); }

// Plain integer text, no blank: 125 -> "125", -3 -> "-3".
std::string IntegerText(int64_t value);

// Shortest text that reads back as exactly the same double (1984, 283.5,
// 0.1). Used by the display-list dump.
std::string ShortestText(double value);

}  // namespace tavelo
