#include "common/numeric.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace tavelo {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The extent of the leading number after the blanks, and what from_chars
// needs to read it: from_chars takes neither '+' nor the exponent letter D.
struct NumberScan {
  size_t start = 0;      // first character of the number (its sign, if any)
  size_t end = 0;        // one past the last character taken
  bool found = false;    // at least one mantissa digit
  bool negative = false;
  size_t mantissaBegin = 0, mantissaEnd = 0;  // digits and point, no sign
  bool hasExponent = false;
  bool exponentNegative = false;
  size_t exponentDigitsBegin = 0, exponentDigitsEnd = 0;
};

NumberScan ScanNumber(std::string_view text) {
  NumberScan scan;
  size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  scan.start = i;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    scan.negative = text[i] == '-';
    ++i;
  }
  scan.mantissaBegin = i;
  size_t digits = 0;
  while (i < text.size() && IsDigit(text[i])) { ++i; ++digits; }
  if (i < text.size() && text[i] == '.') {
    size_t j = i + 1;
    size_t fraction = 0;
    while (j < text.size() && IsDigit(text[j])) { ++j; ++fraction; }
    // A point belongs to the number only next to a digit ("3." and ".5",
    // but not ".").
    if (digits + fraction > 0) {
      i = j;
      digits += fraction;
    }
  }
  if (digits == 0) return scan;  // no number: reads 0
  scan.found = true;
  scan.mantissaEnd = i;
  scan.end = i;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E' || text[i] == 'd' || text[i] == 'D')) {
    size_t j = i + 1;
    bool negativeExponent = false;
    if (j < text.size() && (text[j] == '+' || text[j] == '-')) {
      negativeExponent = text[j] == '-';
      ++j;
    }
    size_t begin = j;
    while (j < text.size() && IsDigit(text[j])) ++j;
    if (j > begin) {  // "3e" and "3e+" stop before the letter
      scan.hasExponent = true;
      scan.exponentNegative = negativeExponent;
      scan.exponentDigitsBegin = begin;
      scan.exponentDigitsEnd = j;
      scan.end = j;
    }
  }
  return scan;
}

double ValueOf(std::string_view text, const NumberScan& scan) {
  if (!scan.found) return 0.0;
  std::string normal(text.substr(scan.mantissaBegin, scan.mantissaEnd - scan.mantissaBegin));
  if (scan.hasExponent) {
    normal += scan.exponentNegative ? "e-" : "e";
    normal.append(text.substr(scan.exponentDigitsBegin,
                              scan.exponentDigitsEnd - scan.exponentDigitsBegin));
  }
  double value = 0.0;
  const char* first = normal.data();
  const char* last = first + normal.size();
  auto [ptr, ec] = std::from_chars(first, last, value, std::chars_format::general);
  if (ec == std::errc::result_out_of_range) {
    // Too large or too small for a double. Tell which from the decimal
    // position of the first significant digit plus the exponent.
    long long position = 0;
    bool seenPoint = false, seenSignificant = false;
    long long leadingZerosAfterPoint = 0, digitsBeforePoint = 0;
    for (size_t k = 0; k < normal.size() && normal[k] != 'e'; ++k) {
      char c = normal[k];
      if (c == '.') { seenPoint = true; continue; }
      if (!seenSignificant && c == '0') {
        if (seenPoint) ++leadingZerosAfterPoint;
        continue;
      }
      seenSignificant = true;
      if (!seenPoint) ++digitsBeforePoint;
    }
    position = digitsBeforePoint > 0 ? digitsBeforePoint : -leadingZerosAfterPoint;
    long long exponent = 0;
    for (size_t k = scan.exponentDigitsBegin; k < scan.exponentDigitsEnd; ++k) {
      if (exponent < 1000000000LL) exponent = exponent * 10 + (text[k] - '0');
    }
    if (scan.exponentNegative) exponent = -exponent;
    value = (position + exponent > 0) ? std::numeric_limits<double>::infinity() : 0.0;
  } else if (ec != std::errc() || ptr != last) {
    return 0.0;
  }
  return scan.negative ? -value : value;
}

std::string CharsText(const char* first, const char* last) { return std::string(first, last); }

}  // namespace

double LeadingNumber(std::string_view text) {
  NumberScan scan = ScanNumber(text);
  return ValueOf(text, scan);
}

bool IsPlainNumber(std::string_view text) {
  NumberScan scan = ScanNumber(text);
  if (!scan.found) return false;
  for (size_t i = scan.end; i < text.size(); ++i) {
    if (!IsBlank(text[i])) return false;
  }
  return true;
}

double RoundTo(double value, int decimals) {
  if (!std::isfinite(value)) return value;
  if (decimals > 300 || decimals < -300) return value;
  double scale = std::pow(10.0, decimals);
  double scaled = value * scale;
  if (!std::isfinite(scaled) || std::fabs(scaled) >= 4503599627370496.0) return value;
  double result = RoundHalfEven(scaled) / scale;
  return std::isfinite(result) ? result : value;
}

std::string DecimalText(double value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value < 0 ? "-Infinity" : "Infinity";
  if (value == 0.0) return "0";
  // Fifteen significant digits in scientific form give the digits and the
  // decimal exponent; the text is then laid out in the settings files' number form.
  char buffer[64];
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value,
                                 std::chars_format::scientific, 14);
  if (ec != std::errc()) return "0";
  std::string_view sci(buffer, static_cast<size_t>(end - buffer));
  bool negative = sci.front() == '-';
  if (negative) sci.remove_prefix(1);
  size_t e = sci.find('e');
  std::string digits;
  for (char c : sci.substr(0, e)) {
    if (IsDigit(c)) digits += c;
  }
  int exponent = 0;
  std::string_view expText = sci.substr(e + 1);
  bool expNegative = !expText.empty() && expText.front() == '-';
  if (!expText.empty() && (expText.front() == '-' || expText.front() == '+')) expText.remove_prefix(1);
  std::from_chars(expText.data(), expText.data() + expText.size(), exponent);
  if (expNegative) exponent = -exponent;
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

  std::string text = negative ? "-" : "";
  const int count = static_cast<int>(digits.size());
  if (exponent >= 15 || exponent < -4) {
    text += digits[0];
    if (count > 1) {
      text += '.';
      text.append(digits, 1, std::string::npos);
    }
    text += 'E';
    text += exponent < 0 ? '-' : '+';
    int magnitude = exponent < 0 ? -exponent : exponent;
    if (magnitude < 10) text += '0';
    text += IntegerText(magnitude);
  } else if (exponent < 0) {
    text += "0.";
    text.append(static_cast<size_t>(-exponent - 1), '0');
    text += digits;
  } else if (count <= exponent + 1) {
    text += digits;
    text.append(static_cast<size_t>(exponent + 1 - count), '0');
  } else {
    text.append(digits, 0, static_cast<size_t>(exponent + 1));
    text += '.';
    text.append(digits, static_cast<size_t>(exponent + 1), std::string::npos);
  }
  return text;
}

std::string SignedText(double value) {
  std::string text = DecimalText(value);
  if (text.empty() || text.front() != '-') text.insert(text.begin(), ' ');
  return text;
}

std::string SignedText(int64_t value) {
  std::string text = IntegerText(value);
  if (value >= 0) text.insert(text.begin(), ' ');
  return text;
}

std::string IntegerText(int64_t value) {
  char buffer[32];
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
  (void)ec;  // 32 characters always hold a 64-bit integer
  return CharsText(buffer, end);
}

std::string ShortestText(double value) {
  if (value == 0.0) return "0";  // "-0" would only be noise in a dump
  char buffer[64];
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
  if (ec != std::errc()) return "0";
  return CharsText(buffer, end);
}

}  // namespace tavelo
