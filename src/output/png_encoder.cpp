#include "output/png_encoder.h"

#include <algorithm>
#include <utility>

namespace tavelo {

namespace {

constexpr size_t kDeflateOut = size_t{1} << 18;

void PutBigEndian(std::string& out, uint32_t v) {
  out += static_cast<char>(v >> 24);
  out += static_cast<char>(v >> 16);
  out += static_cast<char>(v >> 8);
  out += static_cast<char>(v);
}

}  // namespace

PngEncoder::PngEncoder(Sink sink, int level) : sink_(std::move(sink)), level_(level) {}

PngEncoder::~PngEncoder() {
  if (started_) deflateEnd(&z_);
}

bool PngEncoder::Begin(int width, int height, Kind kind, int dotsPerMeter, const std::vector<uint32_t>& palette) {
  if (width < 1 || height < 1 || (kind == Kind::Palette && (palette.empty() || palette.size() > 256))) return false;
  if (deflateInit2(&z_, level_, Z_DEFLATED, 15, 8, Z_DEFAULT_STRATEGY) != Z_OK) return false;
  started_ = true;
  out_.resize(kDeflateOut);
  if (!sink_(std::string_view("\x89PNG\r\n\x1A\n", 8))) failed_ = true;
  std::string header;
  PutBigEndian(header, static_cast<uint32_t>(width));
  PutBigEndian(header, static_cast<uint32_t>(height));
  header += '\x08';  // bits per sample
  header += kind == Kind::Grey ? '\x00' : kind == Kind::Rgb ? '\x02' : '\x03';
  header += std::string(3, '\0');  // deflate, adaptive filters, no interlace
  Chunk("IHDR", header);
  if (kind == Kind::Palette) {
    std::string colors;
    for (uint32_t c : palette) {
      colors += static_cast<char>(c & 0xFF);
      colors += static_cast<char>((c >> 8) & 0xFF);
      colors += static_cast<char>((c >> 16) & 0xFF);
    }
    Chunk("PLTE", colors);
  }
  if (dotsPerMeter > 0) {
    std::string physical;
    PutBigEndian(physical, static_cast<uint32_t>(dotsPerMeter));
    PutBigEndian(physical, static_cast<uint32_t>(dotsPerMeter));
    physical += '\x01';  // per metre
    Chunk("pHYs", physical);
  }
  return !failed_;
}

bool PngEncoder::Add(const uint8_t* filteredRows, size_t size) { return Deflate(filteredRows, size, Z_NO_FLUSH); }

bool PngEncoder::Finish() {
  if (!Deflate(nullptr, 0, Z_FINISH)) return false;
  return Chunk("IEND", {});
}

bool PngEncoder::Deflate(const uint8_t* bytes, size_t size, int flush) {
  if (!started_ || failed_) return false;
  // zlib counts in 32 bits: large inputs go in pieces.
  do {
    const size_t piece = std::min<size_t>(size, uInt{1} << 30);
    z_.next_in = const_cast<Bytef*>(bytes);
    z_.avail_in = static_cast<uInt>(piece);
    const int mode = piece == size ? flush : Z_NO_FLUSH;
    int result = Z_OK;
    do {
      z_.next_out = reinterpret_cast<Bytef*>(out_.data());
      z_.avail_out = static_cast<uInt>(out_.size());
      result = deflate(&z_, mode);
      if (result == Z_STREAM_ERROR) return false;
      const size_t produced = out_.size() - z_.avail_out;
      if (produced > 0 && !Chunk("IDAT", std::string_view(out_.data(), produced))) return false;
    } while (z_.avail_out == 0 || (mode == Z_FINISH && result != Z_STREAM_END));
    if (bytes) bytes += piece;
    size -= piece;
  } while (size > 0);
  return !failed_;
}

bool PngEncoder::Chunk(const char* type, std::string_view data) {
  std::string head;
  PutBigEndian(head, static_cast<uint32_t>(data.size()));
  head.append(type, 4);
  uLong crc = crc32(0, reinterpret_cast<const Bytef*>(type), 4);
  // (A null buffer would restart the sum.)
  if (!data.empty()) crc = crc32_z(crc, reinterpret_cast<const Bytef*>(data.data()), data.size());
  std::string tail;
  PutBigEndian(tail, static_cast<uint32_t>(crc));
  if (failed_ || !sink_(head) || !sink_(data) || !sink_(tail)) failed_ = true;
  return !failed_;
}

std::string EncodePng(int width, int height, PngEncoder::Kind kind, const std::vector<uint8_t>& samples,
                      const std::vector<uint32_t>& palette, int level) {
  const size_t channels = kind == PngEncoder::Kind::Rgb ? 3 : 1;
  const size_t rowBytes = channels * static_cast<size_t>(std::max(width, 0));
  if (width < 1 || height < 1 || samples.size() != rowBytes * static_cast<size_t>(height)) return {};
  std::string png;
  PngEncoder encoder(
      [&png](std::string_view bytes) {
        png.append(bytes);
        return true;
      },
      level);
  if (!encoder.Begin(width, height, kind, 0, palette)) return {};
  // Unfiltered: cells of one colour make runs that compress as they are.
  std::vector<uint8_t> rows;
  rows.reserve(samples.size() + static_cast<size_t>(height));
  for (int y = 0; y < height; ++y) {
    rows.push_back(0);
    const auto* row = samples.data() + static_cast<size_t>(y) * rowBytes;
    rows.insert(rows.end(), row, row + rowBytes);
  }
  if (!encoder.Add(rows.data(), rows.size()) || !encoder.Finish()) return {};
  return png;
}

}  // namespace tavelo
