#pragma once
// A PNG encoder that streams: the header, then rows already filtered (each
// its filter byte and samples) through one zlib stream, the compressed
// bytes handed to a sink in chunks as they come. 8 bits a sample; grey,
// RGB or palette images.

#include <zlib.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tavelo {

class PngEncoder {
 public:
  enum class Kind { Grey, Rgb, Palette };
  // Takes the file's bytes in order; false stops the encoding.
  using Sink = std::function<bool(std::string_view)>;

  // `level`: zlib's compression level (1 fastest).
  PngEncoder(Sink sink, int level);
  ~PngEncoder();
  PngEncoder(const PngEncoder&) = delete;
  PngEncoder& operator=(const PngEncoder&) = delete;

  // `palette` (colours red + 256 green + 65536 blue, at most 256) for a
  // palette image; `dotsPerMeter` 0 leaves the resolution out.
  bool Begin(int width, int height, Kind kind, int dotsPerMeter = 0, const std::vector<uint32_t>& palette = {});
  bool Add(const uint8_t* filteredRows, size_t size);
  bool Finish();

 private:
  bool Deflate(const uint8_t* bytes, size_t size, int flush);
  bool Chunk(const char* type, std::string_view data);

  Sink sink_;
  int level_;
  z_stream z_{};
  bool started_ = false;
  bool failed_ = false;
  std::string out_;
};

// The whole PNG of a small image as one string, its rows unfiltered:
// `samples` holds one byte a pixel (palette indices into `palette`, or grey)
// or three (red, green, blue), `width` pixels a row. Empty on failure.
std::string EncodePng(int width, int height, PngEncoder::Kind kind, const std::vector<uint8_t>& samples,
                      const std::vector<uint32_t>& palette, int level);

}  // namespace tavelo
