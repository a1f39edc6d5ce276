#include "common/text_encoding.h"

#include <cstdint>

namespace tavelo {
namespace {

// Windows-1252 0x80..0x9F; 0 marks the five undefined code points.
constexpr char32_t kHigh1252[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

}  // namespace

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

namespace {

// Decodes one UTF-8 sequence at i; returns its length, 0 when invalid.
size_t DecodeUtf8(std::string_view s, size_t i, char32_t& c) {
  const auto b = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char lead = b(i);
  size_t len;
  char32_t min;
  if (lead < 0x80) { c = lead; return 1; }
  if ((lead & 0xE0) == 0xC0) { len = 2; c = lead & 0x1F; min = 0x80; }
  else if ((lead & 0xF0) == 0xE0) { len = 3; c = lead & 0x0F; min = 0x800; }
  else if ((lead & 0xF8) == 0xF0) { len = 4; c = lead & 0x07; min = 0x10000; }
  else return 0;
  if (i + len > s.size()) return 0;
  for (size_t k = 1; k < len; ++k) {
    if ((b(i + k) & 0xC0) != 0x80) return 0;
    c = (c << 6) | (b(i + k) & 0x3F);
  }
  if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
  return len;
}

}  // namespace

bool IsValidUtf8(std::string_view bytes) {
  char32_t c;
  for (size_t i = 0; i < bytes.size();) {
    const size_t n = DecodeUtf8(bytes, i, c);
    if (n == 0) return false;
    i += n;
  }
  return true;
}

std::string Windows1252ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 8);
  for (unsigned char b : bytes) {
    char32_t c = b;
    // The five undefined bytes keep their own code points, so they survive a
    // round trip byte for byte.
    if (b >= 0x80 && b < 0xA0 && kHigh1252[b - 0x80]) c = kHigh1252[b - 0x80];
    AppendUtf8(out, c);
  }
  return out;
}

std::string Utf8ToWindows1252(std::string_view text, bool* lossless) {
  std::string out;
  out.reserve(text.size());
  bool ok = true;
  char32_t c;
  for (size_t i = 0; i < text.size();) {
    size_t n = DecodeUtf8(text, i, c);
    if (n == 0) {  // not UTF-8 after all: keep the byte
      out.push_back(text[i]);
      ++i;
      continue;
    }
    i += n;
    const bool undefinedByte = c >= 0x80 && c < 0xA0 && kHigh1252[c - 0x80] == 0;
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF) || undefinedByte) {
      out.push_back(static_cast<char>(c));
      continue;
    }
    char mapped = 0;
    for (int k = 0; k < 32; ++k)
      if (kHigh1252[k] == c && c != 0) mapped = static_cast<char>(0x80 + k);
    if (mapped) {
      out.push_back(mapped);
    } else {
      out.push_back('?');
      ok = false;
    }
  }
  if (lossless) *lossless = ok;
  return out;
}

size_t Utf8SequenceAt(std::string_view text, size_t i, char32_t& c) {
  return i < text.size() ? DecodeUtf8(text, i, c) : 0;
}

std::u32string Utf8ToCodePoints(std::string_view text) {
  std::u32string out;
  out.reserve(text.size());
  char32_t c;
  for (size_t i = 0; i < text.size();) {
    const size_t n = DecodeUtf8(text, i, c);
    if (n == 0) {
      const auto b = static_cast<unsigned char>(text[i]);
      out.push_back(b >= 0x80 && b < 0xA0 && kHigh1252[b - 0x80] ? kHigh1252[b - 0x80] : b);
      ++i;
      continue;
    }
    out.push_back(c);
    i += n;
  }
  return out;
}

std::string TextFileToUtf8(std::string_view bytes) {
  if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
  if (IsValidUtf8(bytes)) return std::string(bytes);
  return Windows1252ToUtf8(bytes);
}

std::vector<std::string_view> TextLines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') continue;
    lines.push_back(text.substr(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  lines.push_back(text.substr(start));
  return lines;
}

}  // namespace tavelo

namespace tavelo {

Utf16Order Utf16Detect(std::string_view bytes, size_t* markLength) {
  if (markLength) *markLength = 0;
  const auto b = [&](size_t k) { return static_cast<unsigned char>(bytes[k]); };
  if (bytes.size() >= 2 && b(0) == 0xFF && b(1) == 0xFE) {
    if (markLength) *markLength = 2;
    return Utf16Order::Little;
  }
  if (bytes.size() >= 2 && b(0) == 0xFE && b(1) == 0xFF) {
    if (markLength) *markLength = 2;
    return Utf16Order::Big;
  }
  // Without a mark: mostly-ASCII text in UTF-16 has a zero byte in every
  // other place, and on that side only.
  if (bytes.size() < 4 || bytes.size() % 2 != 0) return Utf16Order::None;
  size_t evenZeros = 0, oddZeros = 0;
  for (size_t i = 0; i < bytes.size(); i += 2) {
    evenZeros += b(i) == 0;
    oddZeros += b(i + 1) == 0;
  }
  const size_t pairs = bytes.size() / 2;
  if (evenZeros == 0 && oddZeros * 2 >= pairs) return Utf16Order::Little;
  if (oddZeros == 0 && evenZeros * 2 >= pairs) return Utf16Order::Big;
  return Utf16Order::None;
}

bool Utf16ToUtf8(std::string_view bytes, Utf16Order order, std::string& out) {
  out.clear();
  if (order == Utf16Order::None || bytes.size() % 2 != 0) return false;
  const auto unit = [&](size_t i) -> char32_t {
    const auto a = static_cast<unsigned char>(bytes[i]), z = static_cast<unsigned char>(bytes[i + 1]);
    return order == Utf16Order::Little ? (a | (z << 8)) : ((a << 8) | z);
  };
  out.reserve(bytes.size() / 2);
  for (size_t i = 0; i < bytes.size(); i += 2) {
    char32_t c = unit(i);
    if (c >= 0xDC00 && c <= 0xDFFF) return false;  // a trailing half alone
    if (c >= 0xD800 && c <= 0xDBFF) {
      if (i + 4 > bytes.size()) return false;
      const char32_t low = unit(i + 2);
      if (low < 0xDC00 || low > 0xDFFF) return false;
      c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
      i += 2;
    }
    AppendUtf8(out, c);
  }
  return true;
}

std::string Utf8ToUtf16(std::string_view text, Utf16Order order) {
  std::string out;
  out.reserve(text.size() * 2);
  const auto put = [&](char32_t u) {
    const auto high = static_cast<char>(u >> 8), low = static_cast<char>(u & 0xFF);
    if (order == Utf16Order::Big) {
      out.push_back(high);
      out.push_back(low);
    } else {
      out.push_back(low);
      out.push_back(high);
    }
  };
  for (size_t i = 0; i < text.size();) {
    char32_t c;
    size_t n = DecodeUtf8(text, i, c);
    if (n == 0) {  // not UTF-8: the byte as Windows-1252
      const std::string one = Windows1252ToUtf8(text.substr(i, 1));
      DecodeUtf8(one, 0, c);
      n = 1;
    }
    i += n;
    if (c >= 0x10000) {
      put(0xD800 + ((c - 0x10000) >> 10));
      put(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      put(c);
    }
  }
  return out;
}

}  // namespace tavelo
