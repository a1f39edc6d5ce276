#include "output/png_writer.h"

#include <QImage>
#include <QPainter>
#include <QRectF>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <future>
#include <new>
#include <span>
#include <string_view>
#include <system_error>
#include <vector>

#include "common/units.h"
#include "output/device_export.h"
#include "output/file_device.h"
#include "output/painter_replay.h"
#include "output/png_encoder.h"
#include "output/replay_index.h"
#include "page/page_document.h"
#include "page/page_replay.h"

namespace tavelo {

namespace {

// The raster engine works in 16-bit device coordinates at heart, and a
// picture beyond a gigapixel is no use to anybody.
constexpr double kMaxImageSide = 32767;
constexpr double kMaxImagePixels = 1024.0 * 1024.0 * 1024.0;
// Pixels per band: two band images and the pixel writer's scratch stay near
// 50 MB, and a page is replayed a handful of times at most.
constexpr double kBandPixels = 4e6;
// zlib level 1 on rows filtered against their left neighbour: white paper
// and flat cells become runs of zeros, which its fastest matcher takes in
// long strides (bench/results.md holds the trade against other levels).
constexpr int kCompressionLevel = 1;
// Rows filtered and handed to the encoder at once.
constexpr int kFilterRows = 32;

bool IsGrey(Color c) {
  const auto u = static_cast<uint32_t>(c);
  return (u & 0xFF) == ((u >> 8) & 0xFF) && (u & 0xFF) == ((u >> 16) & 0xFF);
}

// Stops at the first cell column with a colour that is not a grey.
class CellGreyScan final : public PageSink {
 public:
  bool greys = true;

 private:
  void Cells(CellsMark& cells) override {
    const std::span<const Color> colors = cells.Colors();
    greys = std::all_of(colors.begin(), colors.end(), IsGrey);
  }
  bool OpDone() override { return greys; }
};

// True when every colour the page draws with is a grey: blends of greys on
// white paper stay grey, so one channel holds the picture.
bool DrawsInGreys(const PageDocument& page) {
  for (const PenState& pen : page.pens())
    if (!IsGrey(pen.color)) return false;
  for (const BrushState& brush : page.brushes())
    if (brush.style != 1 && !IsGrey(brush.color)) return false;
  CellGreyScan scan;
  return Replay(page, scan);
}

// Rows of a band turned into PNG samples, each filtered against its left
// neighbour ("Sub"), its filter byte first.
class RowFilter {
 public:
  RowFilter(int width, bool grey) : width_(width), grey_(grey) {}

  // Rows `first` .. `first` + rows - 1 of the band.
  const std::vector<uint8_t>& Filter(const QImage& band, int first, int rows) {
    const size_t channels = grey_ ? 1 : 3;
    const size_t rowBytes = 1 + channels * static_cast<size_t>(width_);
    filtered_.resize(rowBytes * static_cast<size_t>(rows));
    for (int y = 0; y < rows; ++y) {
      const auto* pixel = reinterpret_cast<const uint32_t*>(band.constScanLine(first + y));
      uint8_t* out = filtered_.data() + rowBytes * static_cast<size_t>(y);
      *out++ = 1;  // Sub
      if (grey_) {
        uint8_t left = 0;
        for (int x = 0; x < width_; ++x) {
          const auto v = static_cast<uint8_t>(pixel[x]);
          out[x] = static_cast<uint8_t>(v - left);
          left = v;
        }
      } else {
        uint32_t left = 0;
        for (int x = 0; x < width_; ++x) {
          const uint32_t p = pixel[x];
          out[3 * x] = static_cast<uint8_t>((p >> 16) - (left >> 16));
          out[3 * x + 1] = static_cast<uint8_t>((p >> 8) - (left >> 8));
          out[3 * x + 2] = static_cast<uint8_t>(p - left);
          left = p;
        }
      }
    }
    return filtered_;
  }

 private:
  int width_;
  bool grey_;
  std::vector<uint8_t> filtered_;
};

// Draws rows `top` .. `top` + rows - 1 of the picture into `band`.
void DrawBand(const PageDocument& page, ReplayIndex* index, QImage& band, int top, double width,
              double height) {
  band.fill(Qt::white);
  QPainter painter(&band);
  painter.setRenderHint(QPainter::Antialiasing, true);
  painter.setRenderHint(QPainter::TextAntialiasing, true);
  painter.translate(0, -top);
  ReplayPage(page, painter, QRectF(0, 0, width, height), index);
}

// Rows per band for an image `width` pixels wide (at least one).
int BandRows(int width) { return std::max(1, static_cast<int>(kBandPixels / std::max(1, width))); }

class BandedPng {
 public:
  BandedPng(const PageDocument& page, SafeFileDevice& file, int dpi, int bandRows)
      : page_(page), file_(file), dpi_(dpi), bandRows_(bandRows) {}

  bool Write(int pixelsWide, int pixelsHigh, double width, double height) {
    const bool grey = DrawsInGreys(page_);
    const int dotsPerMeter = static_cast<int>(std::lround(dpi_ / 0.0254));
    PngEncoder png([this](std::string_view bytes) { return file_.write(bytes.data(), static_cast<qint64>(bytes.size())) == static_cast<qint64>(bytes.size()); }, kCompressionLevel);
    if (!png.Begin(pixelsWide, pixelsHigh, grey ? PngEncoder::Kind::Grey : PngEncoder::Kind::Rgb, dotsPerMeter))
      return false;
    const int rows = std::min(bandRows_ > 0 ? bandRows_ : BandRows(pixelsWide), pixelsHigh);
    std::array<QImage, 2> bands;
    std::array<RowFilter, 2> filters{RowFilter(pixelsWide, grey), RowFilter(pixelsWide, grey)};
    for (QImage& band : bands) {
      band = QImage(pixelsWide, rows, QImage::Format_RGB32);
      if (band.isNull()) throw std::bad_alloc();
      band.setDotsPerMeterX(dotsPerMeter);
      band.setDotsPerMeterY(dotsPerMeter);
    }
    // The first band finds where every op lies; the others pass over the
    // ops beside them without decoding them.
    ReplayIndex index;
    // Band k is drawn while band k - 1 is filtered and compressed.
    std::future<bool> pending;
    bool ok = true;
    for (int top = 0, k = 0; top < pixelsHigh && ok; top += rows, ++k) {
      QImage& band = bands[static_cast<size_t>(k % 2)];
      RowFilter& filter = filters[static_cast<size_t>(k % 2)];
      DrawBand(page_, &index, band, top, width, height);
      if (pending.valid()) ok = pending.get();
      const int bandRows = std::min(rows, pixelsHigh - top);
      // A few rows at a time: the filtered copy of a whole band would cost
      // as much memory as the band itself.
      const auto compress = [&png, &filter, &band, bandRows] {
        for (int first = 0; first < bandRows; first += kFilterRows) {
          const std::vector<uint8_t>& bytes = filter.Filter(band, first, std::min(kFilterRows, bandRows - first));
          if (!png.Add(bytes.data(), bytes.size())) return false;
        }
        return true;
      };
      try {
        pending = std::async(std::launch::async, compress);
      } catch (const std::system_error&) {
        ok = ok && compress();  // no thread to spare
      }
    }
    if (pending.valid()) ok = pending.get() && ok;
    return ok && png.Finish();
  }

 private:
  const PageDocument& page_;
  SafeFileDevice& file_;
  int dpi_;
  int bandRows_;
};

}  // namespace

bool WritePng(const PageDocument& page, const std::string& path, int dpi, std::string* error) {
  return WritePngInBands(page, path, dpi, 0, error);
}

bool WritePngInBands(const PageDocument& page, const std::string& path, int dpi, int bandRows, std::string* error) {
  const double w = page.PageWidth(), h = page.PageHeight();
  if (!(w > 0) || !(h > 0) || !std::isfinite(w) || !std::isfinite(h))
    return ExportFailure(error, "the page has no usable paper size");
  if (dpi < 1 || dpi > 9600) return ExportFailure(error, "resolution " + std::to_string(dpi) + " dpi is out of range");
  const double width = w / kTwipsPerInch * dpi;
  const double height = h / kTwipsPerInch * dpi;
  const double pixelsWide = std::max(1.0, std::round(width));
  const double pixelsHigh = std::max(1.0, std::round(height));
  if (pixelsWide > kMaxImageSide || pixelsHigh > kMaxImageSide || pixelsWide * pixelsHigh > kMaxImagePixels)
    return ExportFailure(error, "the page is too large for a picture at " + std::to_string(dpi) + " dpi");
  if (path.empty()) return ExportFailure(error, "no file name given");

  const ExportReasons reasons{"not enough memory for the picture", "cannot encode the picture for " + path};
  return ExportThroughDevice(path, error, reasons, [&](SafeFileDevice& file) {
    return BandedPng(page, file, dpi, bandRows)
        .Write(static_cast<int>(pixelsWide), static_cast<int>(pixelsHigh), width, height);
  });
}

}  // namespace tavelo
