#pragma once
// Takes typed values off the front of a fuzz input. Reading past the end
// gives zeros and empty texts, so every input is a valid script. (The
// fuzz targets are also replayed by the GCC test suite, which has no
// FuzzedDataProvider.)

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace tavelo::reliability {

class ByteReader {
 public:
  ByteReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  bool empty() const { return pos_ >= size_; }
  size_t left() const { return size_ - pos_; }

  uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
  uint16_t U16() { return static_cast<uint16_t>(Byte() | (Byte() << 8)); }
  uint32_t U32() { return static_cast<uint32_t>(U16()) | (static_cast<uint32_t>(U16()) << 16); }
  bool Bool() { return Byte() & 1; }

  // A float from 4 raw bytes: every bit pattern, NaNs and infinities too.
  float RawFloat() {
    const uint32_t bits = U32();
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
  }
  // Mostly ordinary page coordinates (twips, halves included), sometimes
  // any float at all.
  double Coordinate() {
    const uint8_t kind = Byte();
    if (kind < 200) return static_cast<int16_t>(U16()) / 2.0 + 12000;
    return RawFloat();
  }

  // Text up to a 0 byte (not included) or the end, at most `limit` bytes.
  std::string Text(size_t limit = 256) {
    std::string out;
    while (pos_ < size_ && data_[pos_] != 0 && out.size() < limit) out += static_cast<char>(data_[pos_++]);
    if (pos_ < size_ && data_[pos_] == 0) ++pos_;
    return out;
  }
  // Everything not read yet.
  std::string_view Rest() {
    std::string_view rest(reinterpret_cast<const char*>(data_) + pos_, size_ - pos_);
    pos_ = size_;
    return rest;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

}  // namespace tavelo::reliability
