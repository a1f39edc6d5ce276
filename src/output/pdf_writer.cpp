#include "output/pdf_writer.h"

#include <libdeflate.h>

#include <QPageSize>
#include <QIODevice>
#include <QSizeF>
#include <QString>

#include <algorithm>
#include <array>
#include <bit>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <future>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "common/units.h"
#include "output/device_export.h"
#include "output/file_device.h"
#include "output/number_text.h"
#include "output/painter_replay.h"
#include "output/pdf_fonts.h"
#include "page/page_document.h"
#include "page/page_replay.h"

namespace tavelo {

namespace {

// The device the Qt engine writes for: pens thinner than one of its dots
// draw as the thinnest line, and text takes its metrics there.
constexpr double kDeviceDpi = 1200;
constexpr double kOnePixelTwips = kTwipsPerInch / kDeviceDpi;
// Operators are compressed in pieces of this size, each its own stream.
constexpr size_t kContentPiece = size_t{4} << 20;
// Long polylines are stroked in pieces sharing their end points, as the
// replay does, so no reader has to hold a path of millions of points.
constexpr size_t kPathPiece = 65536;
constexpr double kMaxFontPoints = 2000;
// Fast and small enough: level 1 pays for itself on operator text.
constexpr int kCompressionLevel = 1;

struct CompressorDeleter {
  void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
};
using Compressor = std::unique_ptr<libdeflate_compressor, CompressorDeleter>;

// zlib-wrapped deflate, as FlateDecode reads it. Empty on failure.
std::string Deflate(libdeflate_compressor* compressor, std::string_view data) {
  std::string out;
  if (!compressor) return out;
  out.resize(libdeflate_zlib_compress_bound(compressor, data.size()));
  const size_t size =
      libdeflate_zlib_compress(compressor, data.data(), data.size(), out.data(), out.size());
  out.resize(size);
  return out;
}

std::string DeflateAlone(const std::string& data) {
  Compressor compressor(libdeflate_alloc_compressor(kCompressionLevel));
  return Deflate(compressor.get(), data);
}

using number_text::AppendInt;
// Twips as recorded: whole numbers as such, anything else to a tenth.
inline void AppendNumber(std::string& out, double v) { number_text::AppendTenths(out, v); }

void AppendPoint(std::string& out, float x, float y, const char* op) {
  AppendNumber(out, x);
  out += ' ';
  AppendNumber(out, y);
  out += op;
}

using number_text::AppendColor;

class PdfBuilder final : public PageSink {
 public:
  PdfBuilder(const PageDocument& page, QIODevice& file) : page_(page), file_(file) {}

  ~PdfBuilder() override {
    if (pending_.valid()) pending_.wait();
  }

  bool Build() {
    compressor_.reset(libdeflate_alloc_compressor(kCompressionLevel));
    if (!compressor_) return false;
    const QSize points = QPageSize(QSizeF(page_.PageWidth() / 20.0, page_.PageHeight() / 20.0),
                                   QPageSize::Point, QString(), QPageSize::ExactMatch)
                             .sizePoints();
    pageWidthPoints_ = std::max(points.width(), 1);
    pageHeightPoints_ = std::max(points.height(), 1);

    // 1.6: embedded OpenType (CFF) font programs.
    Write("%PDF-1.6\n%\xE2\xE3\xCF\xD3\n");
    // Fixed numbers for the objects written last.
    catalog_ = NewObject();
    pages_ = NewObject();
    pageObject_ = NewObject();
    resources_ = NewObject();

    content_.reserve(kContentPiece + 4096);
    // Twips from the paper's top-left corner, y down.
    content_ += "0.05 0 0 -0.05 0 ";
    AppendInt(content_, pageHeightPoints_);
    // Stroke adjustment keeps the thinnest lines one even dot wide on
    // screen, as Qt's engine asks too.
    content_ += " cm\n/G0 gs 0 J 1 j 0 w 0 0 0 RG 0 0 0 rg\n";

    if (!Replay(page_, *this)) return false;
    FlushContent();
    FinishContent();
    WriteTrailerObjects();
    return !failed_;
  }

 private:
  void Font(const FontState& font) override { SelectFont(font); }
  void Pen(const PenState& pen) override { SelectPen(pen); }
  void Brush(const BrushState& brush) override { brush_ = brush; }
  bool OpDone() override {
    if (content_.size() >= kContentPiece) FlushContent();
    return !failed_;
  }

  // ------------------------------------------------------------ file

  void Write(std::string_view bytes) {
    if (failed_) return;
    if (file_.write(bytes.data(), static_cast<qint64>(bytes.size())) !=
        static_cast<qint64>(bytes.size()))
      failed_ = true;
    offset_ += bytes.size();
  }

  uint32_t NewObject() {
    offsets_.push_back(0);
    return static_cast<uint32_t>(offsets_.size());
  }

  void BeginObject(uint32_t number) {
    offsets_[number - 1] = offset_;
    std::string head;
    AppendInt(head, number);
    head += " 0 obj\n";
    Write(head);
  }

  // A stream object; `dictionary` holds the entries other than /Length.
  void WriteStream(uint32_t number, std::string_view dictionary, std::string_view data) {
    BeginObject(number);
    std::string head = "<<";
    head += dictionary;
    head += " /Length ";
    AppendInt(head, static_cast<int64_t>(data.size()));
    head += " >>\nstream\n";
    Write(head);
    Write(data);
    Write("\nendstream\nendobj\n");
  }

  // ------------------------------------------------------------ content

  // Hands the operators gathered so far to a second core for compression
  // and writes the piece compressed before.
  void FlushContent() {
    if (pending_.valid()) WriteContentPiece(pending_.get());
    if (content_.empty()) return;
    std::string piece;
    piece.reserve(kContentPiece + 4096);
    piece.swap(content_);
    try {
      pending_ = std::async(std::launch::async,
                            [data = std::move(piece)]() { return DeflatedPiece{DeflateAlone(data), data.size()}; });
    } catch (const std::system_error&) {
      // No thread to spare: compress here.
      WriteContentPiece(DeflatedPiece{Deflate(compressor_.get(), piece), piece.size()});
    }
  }

  struct DeflatedPiece {
    std::string data;
    size_t rawSize = 0;
  };

  void WriteContentPiece(const DeflatedPiece& piece) {
    if (piece.rawSize > 0 && piece.data.empty()) {
      failed_ = true;
      return;
    }
    const uint32_t number = NewObject();
    contents_.push_back(number);
    WriteStream(number, " /Filter /FlateDecode", piece.data);
  }

  void FinishContent() {
    if (pending_.valid()) WriteContentPiece(pending_.get());
  }

  void SetStroke(Color c) {
    if (haveStroke_ && stroke_ == c) return;
    AppendColor(content_, c, " RG\n");
    stroke_ = c;
    haveStroke_ = true;
  }

  void SetFill(Color c) {
    if (haveFill_ && fill_ == c) return;
    AppendColor(content_, c, " rg\n");
    fill_ = c;
    haveFill_ = true;
  }

  void SelectPen(const PenState& pen) {
    double width = pen.width;
    if (!std::isfinite(width) || width < kOnePixelTwips) width = 0;
    penColor_ = pen.color;
    if (width != lineWidth_) {
      AppendNumber(content_, width);
      content_ += " w\n";
      lineWidth_ = width;
    }
  }

  void SelectFont(const FontState& font) {
    font_ = font;
    double points = font.size;
    if (!std::isfinite(points) || points <= 0) points = 10;
    fontTwips_ = std::min(points, kMaxFontPoints) * 20;
    metrics_ = ReplayTextMetrics(font, kDeviceDpi);
    haveFont_ = true;
  }

  void Text(const TextMark& text) override {
    if (!haveFont_) SelectFont(text.font);
    // The page has no text colour: text is black whatever the pen.
    SetFill(0);
    text_.Draw(content_, font_, fontTwips_, metrics_, text.x, text.y, text.text);
  }

  void Line(const LineMark& line) override {
    SetStroke(penColor_);
    AppendNumber(content_, line.x1);
    content_ += ' ';
    AppendNumber(content_, line.y1);
    content_ += " m ";
    AppendNumber(content_, line.x2);
    content_ += ' ';
    AppendNumber(content_, line.y2);
    content_ += " l S\n";
  }

  void Polyline(PointsMark& mark) override {
    const std::span<const float> xy = mark.Points();
    const size_t total = xy.size() / 2;
    if (total < 2) return;
    SetStroke(penColor_);
    for (size_t first = 0; first + 1 < total; first += kPathPiece - 1) {
      const size_t end = std::min(total, first + kPathPiece);
      AppendPoint(content_, xy[2 * first], xy[2 * first + 1], " m\n");
      for (size_t i = first + 1; i < end; ++i) AppendPoint(content_, xy[2 * i], xy[2 * i + 1], " l\n");
      content_ += "S\n";
      if (content_.size() >= kContentPiece) FlushContent();
    }
  }

  void Polygon(PointsMark& mark) override {
    const std::span<const float> xy = mark.Points();
    const size_t total = xy.size() / 2;
    if (total == 0) return;
    SetStroke(penColor_);
    const bool filled = brush_.style != 1;
    if (filled) SetFill(brush_.color);
    AppendPoint(content_, xy[0], xy[1], " m\n");
    for (size_t i = 1; i < total; ++i) AppendPoint(content_, xy[2 * i], xy[2 * i + 1], " l\n");
    // Overlapping parts alternate (even-odd filling).
    content_ += filled ? "b*\n" : "s\n";
  }

  // The smallest sample size (2, 4 or 8 bits) holding every index below
  // `end`. Not 1: image tools (poppler's pdfimages) take one-bit images for
  // black and white whatever their palette.
  static int IndexBits(size_t end) {
    if (end <= 4) return 2;
    if (end <= 16) return 4;
    return 8;
  }

  // One image per cell column. With up to 256 colours on the page the cells
  // are indices into one page-wide palette; a column whose indices fit 2 or
  // 4 bits (the amplitude palette's 16 colours or grey levels always do)
  // is stored as one row of that many bits per cell, turned upright by its
  // matrix: rows are padded to whole bytes, so a one-pixel-wide image could
  // not pack two cells in a byte. Either way each cell covers exactly its
  // rectangle, without interpolation.
  void Cells(CellsMark& cells) override {
    if (cells.CoversNothing()) return;
    const std::span<const Color> colors = cells.Colors();
    if (colors.empty()) return;
    pixels_.clear();
    bool indexed = true;
    size_t last = 0, largest = 0;
    pixels_.reserve(colors.size());
    for (Color c : colors) {
      if (last >= palette_.size() || palette_[last] != c) {
        auto it = std::find(palette_.begin(), palette_.end(), c);
        if (it == palette_.end()) {
          if (palette_.size() == 256) {
            indexed = false;
            break;
          }
          palette_.push_back(c);
          it = palette_.end() - 1;
        }
        last = static_cast<size_t>(it - palette_.begin());
      }
      largest = std::max(largest, last);
      pixels_.push_back(static_cast<char>(last));
    }
    const int bits = indexed ? IndexBits(largest + 1) : 8;
    if (!indexed) {
      pixels_.clear();
      for (Color c : colors) {
        const auto u = static_cast<uint32_t>(c);
        pixels_ += static_cast<char>(u & 0xFF);
        pixels_ += static_cast<char>((u >> 8) & 0xFF);
        pixels_ += static_cast<char>((u >> 16) & 0xFF);
      }
    } else if (bits < 8) {
      PackIndices(bits);
    }
    const std::string data = Deflate(compressor_.get(), pixels_);
    if (data.empty()) {
      failed_ = true;
      return;
    }
    uint32_t colorSpace = 0;
    if (indexed) {
      uint32_t& object = paletteObjects_[static_cast<size_t>(std::countr_zero(static_cast<unsigned>(bits)))];
      if (object == 0) object = NewObject();
      colorSpace = object;
    }
    const uint32_t number = NewObject();
    const bool row = bits < 8;  // one row of cells, else one column
    // Written tersely (/Type is optional): a large page has ten thousand of these.
    std::string dictionary = "/Subtype/Image/Width ";
    AppendInt(dictionary, row ? cells.count : 1);
    dictionary += "/Height ";
    AppendInt(dictionary, row ? 1 : cells.count);
    dictionary += "/ColorSpace ";
    if (indexed) {
      AppendInt(dictionary, colorSpace);
      dictionary += " 0 R";
    } else {
      dictionary += "/DeviceRGB";
    }
    dictionary += "/BitsPerComponent ";
    AppendInt(dictionary, bits);
    dictionary += "/Interpolate false/Filter/FlateDecode";
    WriteStream(number, dictionary, data);
    images_.push_back(number);

    const double span = cells.cellHeight * static_cast<double>(cells.count);
    content_ += "q ";
    if (row) {
      // The row's first sample on the first cell, running down the page;
      // the row's height across the column.
      content_ += "0 ";
      AppendNumber(content_, span);
      content_ += ' ';
      AppendNumber(content_, cells.width);
      content_ += " 0 ";
      AppendNumber(content_, cells.x);
      content_ += ' ';
      AppendNumber(content_, cells.y);
    } else {
      // The unit square's top row (the image's first) on the first cell.
      AppendNumber(content_, cells.width);
      content_ += " 0 0 ";
      AppendNumber(content_, -span);
      content_ += ' ';
      AppendNumber(content_, cells.x);
      content_ += ' ';
      AppendNumber(content_, cells.y + span);
    }
    content_ += " cm /I";
    AppendInt(content_, static_cast<int64_t>(images_.size() - 1));
    content_ += " Do Q\n";
  }

  // Packs the one-byte indices in pixels_ to `bits` each, first cell in the
  // high bits, the last byte padded with zeros.
  void PackIndices(int bits) {
    const size_t perByte = static_cast<size_t>(8 / bits);
    const size_t count = pixels_.size();
    size_t out = 0;
    for (size_t first = 0; first < count; first += perByte) {
      unsigned byte = 0;
      for (size_t k = 0; k < perByte; ++k) {
        byte <<= bits;
        if (first + k < count) byte |= static_cast<unsigned char>(pixels_[first + k]);
      }
      pixels_[out++] = static_cast<char>(byte);
    }
    pixels_.resize(out);
  }

  // ------------------------------------------------------------ the rest

  // The font objects' way into the file.
  struct FontSink final : PdfObjectSink {
    explicit FontSink(PdfBuilder& b) : builder(b) {}
    uint32_t NewObject() override { return builder.NewObject(); }
    void WriteObject(uint32_t number, std::string_view body) override {
      builder.BeginObject(number);
      builder.Write(body);
      builder.Write("\nendobj\n");
    }
    bool WriteCompressedStream(uint32_t number, std::string_view dictionary, std::string_view data) override {
      const std::string packed = Deflate(builder.compressor_.get(), data);
      if (packed.empty() && !data.empty()) return false;
      std::string entries = " /Filter /FlateDecode";
      entries += dictionary;
      builder.WriteStream(number, entries, packed);
      return true;
    }
    PdfBuilder& builder;
  };

  void WriteTrailerObjects() {
    std::string fontResources;
    FontSink fontSink{*this};
    if (!text_.WriteFonts(fontSink, fontResources)) failed_ = true;
    WritePalettes();
    WriteResources(fontResources);
    WritePageTree();
    const uint32_t info = WriteInfo();
    WriteXref(info);
  }

  // The palette as each sample size reads it: images of n bits use the
  // first 2^n colours, which never change once the palette holds them.
  void WritePalettes() {
    for (size_t k = 0; k < paletteObjects_.size(); ++k) {
      if (paletteObjects_[k] == 0) continue;
      const size_t colors = std::min(palette_.size(), size_t{1} << (size_t{1} << k));
      BeginObject(paletteObjects_[k]);
      std::string text = "[/Indexed /DeviceRGB ";
      AppendInt(text, static_cast<int64_t>(colors) - 1);
      text += " <";
      static const char kHex[] = "0123456789ABCDEF";
      for (size_t i = 0; i < colors; ++i) {
        const auto u = static_cast<uint32_t>(palette_[i]);
        for (uint32_t component : {u & 0xFF, (u >> 8) & 0xFF, (u >> 16) & 0xFF}) {
          text += kHex[component >> 4];
          text += kHex[component & 15];
        }
      }
      text += ">]\nendobj\n";
      Write(text);
    }
  }

  void WriteResources(const std::string& fontResources) {
    BeginObject(resources_);
    std::string text = "<< /ProcSet [/PDF /Text /ImageC /ImageI]";
    text += " /Font <<";
    text += fontResources;
    text += " >>\n/ExtGState << /G0 << /Type /ExtGState /SA true >> >>";
    if (!images_.empty()) {
      text += "\n/XObject <<";
      for (size_t i = 0; i < images_.size(); ++i) {
        text += i % 8 == 0 ? "\n" : " ";
        text += "/I";
        AppendInt(text, static_cast<int64_t>(i));
        text += ' ';
        AppendInt(text, images_[i]);
        text += " 0 R";
      }
      text += " >>";
    }
    text += " >>\nendobj\n";
    Write(text);
  }

  // The page, the page tree and the catalog.
  void WritePageTree() {
    BeginObject(pageObject_);
    std::string text = "<< /Type /Page /Parent ";
    AppendInt(text, pages_);
    text += " 0 R /MediaBox [0 0 ";
    AppendInt(text, pageWidthPoints_);
    text += ' ';
    AppendInt(text, pageHeightPoints_);
    text += "] /Resources ";
    AppendInt(text, resources_);
    text += " 0 R /Contents [";
    for (uint32_t c : contents_) {
      AppendInt(text, c);
      text += " 0 R ";
    }
    text += "] >>\nendobj\n";
    Write(text);

    BeginObject(pages_);
    text = "<< /Type /Pages /Kids [";
    AppendInt(text, pageObject_);
    text += " 0 R] /Count 1 >>\nendobj\n";
    Write(text);

    BeginObject(catalog_);
    text = "<< /Type /Catalog /Pages ";
    AppendInt(text, pages_);
    text += " 0 R >>\nendobj\n";
    Write(text);
  }

  // The document information; its object number.
  uint32_t WriteInfo() {
    const uint32_t info = NewObject();
    BeginObject(info);
    Write("<< /Creator (TAVELO) /Producer (TAVELO) >>\nendobj\n");
    return info;
  }

  // The cross-reference table and the trailer that closes the file.
  void WriteXref(uint32_t info) {
    const uint64_t xref = offset_;
    std::string text = "xref\n0 ";
    AppendInt(text, static_cast<int64_t>(offsets_.size()) + 1);
    text += "\n0000000000 65535 f \n";
    Write(text);
    text.clear();
    for (uint64_t offset : offsets_) {
      char entry[32];
      std::snprintf(entry, sizeof entry, "%010llu 00000 n \n", static_cast<unsigned long long>(offset));
      text += entry;
      if (text.size() > 65536) {
        Write(text);
        text.clear();
      }
    }
    text += "trailer\n<< /Size ";
    AppendInt(text, static_cast<int64_t>(offsets_.size()) + 1);
    text += " /Root ";
    AppendInt(text, catalog_);
    text += " 0 R /Info ";
    AppendInt(text, info);
    text += " 0 R >>\nstartxref\n";
    AppendInt(text, static_cast<int64_t>(xref));
    text += "\n%%EOF\n";
    Write(text);
  }

  const PageDocument& page_;
  QIODevice& file_;
  Compressor compressor_;
  bool failed_ = false;
  uint64_t offset_ = 0;
  std::vector<uint64_t> offsets_;  // by object number - 1
  uint32_t catalog_ = 0, pages_ = 0, pageObject_ = 0, resources_ = 0;
  // The palette's colour space objects for 2-, 4- and 8-bit indices, at
  // the bit count's power of two (1 is never used).
  std::array<uint32_t, 4> paletteObjects_{};
  int pageWidthPoints_ = 0, pageHeightPoints_ = 0;

  std::string content_;
  std::future<DeflatedPiece> pending_;
  std::vector<uint32_t> contents_;
  std::vector<uint32_t> images_;
  std::vector<Color> palette_;

  Color stroke_ = 0, fill_ = 0;
  bool haveStroke_ = true, haveFill_ = true;  // black, set at the start
  Color penColor_ = 0;
  double lineWidth_ = 0;
  BrushState brush_;
  FontState font_;
  bool haveFont_ = false;
  double fontTwips_ = 200;
  TextLineMetrics metrics_;
  PdfText text_;

  std::string pixels_;
};

}  // namespace

bool WritePdf(const PageDocument& page, const std::string& path, std::string* error) {
  const double w = page.PageWidth(), h = page.PageHeight();
  if (!(w > 0) || !(h > 0) || !std::isfinite(w) || !std::isfinite(h) || w > 2e8 || h > 2e8)
    return ExportFailure(error, "the page has no usable paper size");
  if (path.empty()) return ExportFailure(error, "no file name given");
  const ExportReasons reasons{"not enough memory for the PDF of " + path,
                              "cannot write " + path + ": the PDF could not be made"};
  return ExportThroughDevice(path, error, reasons,
                             [&page](SafeFileDevice& file) { return PdfBuilder(page, file).Build(); });
}

}  // namespace tavelo
