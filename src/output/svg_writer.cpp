#include "output/svg_writer.h"

#include <QString>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <new>
#include <span>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "common/text_encoding.h"
#include "output/device_export.h"
#include "output/file_device.h"
#include "output/number_text.h"
#include "output/painter_replay.h"
#include "output/png_encoder.h"
#include "page/page_document.h"
#include "page/page_replay.h"

namespace tavelo {

namespace {

// Text takes the replay's metrics at this resolution (they hardly depend
// on it: unhinted).
constexpr double kTextDpi = 1440;
using number_text::kMaxCoordinate;
constexpr double kMaxFontPoints = 2000;
// The text is handed to the file in pieces of about this size.
constexpr size_t kWritePiece = size_t{1} << 20;
// Cell columns per embedded image, at most.
constexpr size_t kMaxBlockColumns = 512;
// Cell images: small, compressed once; a middle level is cheap here.
constexpr int kCellCompressionLevel = 6;

int64_t Tenths(double v) {
  if (!std::isfinite(v)) v = 0;
  return static_cast<int64_t>(std::llround(std::clamp(v, -kMaxCoordinate, kMaxCoordinate) * 10));
}

// A number of tenths as a decimal ("12", "-3.5"); with `separate`, a blank
// before it unless its minus sign parts it from what came before.
void AppendTenths(std::string& out, int64_t tenths, bool separate) {
  if (separate && tenths >= 0) out += ' ';
  number_text::AppendTenthsOf(out, tenths);
}

void AppendNumber(std::string& out, double v) { number_text::AppendTenths(out, v); }

void AppendColor(std::string& out, Color c) {
  static const char kHex[] = "0123456789abcdef";
  const auto u = static_cast<uint32_t>(c);
  out += '#';
  for (uint32_t shift : {0u, 8u, 16u}) {
    const uint32_t component = (u >> shift) & 0xFF;
    out += kHex[component >> 4];
    out += kHex[component & 15];
  }
}

// Text for XML character data and attribute values: markup escaped,
// characters XML cannot hold left out, broken UTF-8 repaired.
void AppendEscaped(std::string& out, std::string_view utf8) {
  const QByteArray clean =
      QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())).toUtf8();
  for (char c : clean) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '&') out += "&amp;";
    else if (c == '<') out += "&lt;";
    else if (c == '>') out += "&gt;";
    else if (c == '"') out += "&quot;";
    else if (u >= 32 || c == '\t') out += c;
  }
}

void AppendBase64(std::string& out, std::string_view bytes) {
  static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  size_t i = 0;
  for (; i + 2 < bytes.size(); i += 3) {
    const uint32_t v = static_cast<uint32_t>(static_cast<unsigned char>(bytes[i])) << 16 |
                       static_cast<uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8 |
                       static_cast<unsigned char>(bytes[i + 2]);
    out += kDigits[v >> 18];
    out += kDigits[(v >> 12) & 63];
    out += kDigits[(v >> 6) & 63];
    out += kDigits[v & 63];
  }
  if (i < bytes.size()) {
    uint32_t v = static_cast<uint32_t>(static_cast<unsigned char>(bytes[i])) << 16;
    if (i + 1 < bytes.size()) v |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8;
    out += kDigits[v >> 18];
    out += kDigits[(v >> 12) & 63];
    out += i + 1 < bytes.size() ? kDigits[(v >> 6) & 63] : '=';
    out += '=';
  }
}

struct Box {
  double left = 0, top = 0, right = 0, bottom = 0;
  bool Overlaps(const Box& o) const { return left < o.right && o.left < right && top < o.bottom && o.top < bottom; }
  void Add(const Box& o) {
    left = std::min(left, o.left);
    top = std::min(top, o.top);
    right = std::max(right, o.right);
    bottom = std::max(bottom, o.bottom);
  }
};

class SvgBuilder final : public PageSink {
 public:
  SvgBuilder(const PageDocument& page, SafeFileDevice& file) : page_(page), file_(file) {}

  bool Build() {
    WriteHeader();
    if (!Replay(page_, *this)) return false;
    EndLobes();
    EndCellBlock();
    CloseGroup();
    out_ += "</svg>\n";
    Emit();
    return !file_.Failed() && !failed_;
  }

 private:
  // A lobe path ends at any op but the next polygon; a block of cell
  // columns at any op but the next column or a change of state.
  void Font(const FontState&) override { EndLobes(); }
  void Pen(const PenState& pen) override {
    EndLobes();
    pen_ = pen;
  }
  void Brush(const BrushState& brush) override {
    EndLobes();
    brush_ = brush;
  }
  bool OpDone() override {
    if (out_.size() >= kWritePiece) Emit();
    return !file_.Failed();
  }

  void Emit() {
    file_.write(out_.data(), static_cast<qint64>(out_.size()));
    out_.clear();
  }

  void WriteHeader() {
    const double w = page_.PageWidth(), h = page_.PageHeight();
    // Millimetres of 1440 twips an inch, six digits.
    const auto millimetres = [](double twips) {
      char text[32];
      std::snprintf(text, sizeof text, "%.6g", twips * 25.4 / 1440.0);
      return std::string(text);
    };
    out_ += "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n";
    out_ += "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\"";
    out_ += " version=\"1.1\" width=\"" + millimetres(w) + "mm\" height=\"" + millimetres(h) + "mm\"";
    out_ += " viewBox=\"0 0 ";
    AppendNumber(out_, std::ceil(w));
    out_ += ' ';
    AppendNumber(out_, std::ceil(h));
    out_ += "\" xml:space=\"preserve\">\n<title>Seismic section</title>\n";
  }

  // ------------------------------------------------------------ groups

  // The style elements share: what the group element carries.
  void UseGroup(const std::string& style) {
    if (groupOpen_ && style == groupStyle_) return;
    CloseGroup();
    out_ += "<g";
    out_ += style;
    out_ += ">\n";
    groupStyle_ = style;
    groupOpen_ = true;
  }

  void CloseGroup() {
    if (groupOpen_) out_ += "</g>\n";
    groupOpen_ = false;
  }

  bool Hairline() const { return !std::isfinite(pen_.width) || pen_.width < 1; }

  void AppendStroke(std::string& style) const {
    style += " stroke=\"";
    AppendColor(style, pen_.color);
    style += "\" stroke-width=\"";
    if (Hairline()) style += '1';
    else AppendNumber(style, pen_.width);
    style += "\" stroke-linecap=\"butt\" stroke-linejoin=\"round\"";
  }

  void UseStrokeGroup() {
    std::string style = " fill=\"none\"";
    AppendStroke(style);
    UseGroup(style);
  }

  // An outline in the pen, filled with the brush unless it is hollow;
  // overlapping parts alternate.
  void UseShapeGroup() {
    std::string style;
    if (brush_.style == 1) {
      style = " fill=\"none\"";
    } else {
      style = " fill=\"";
      AppendColor(style, brush_.color);
      style += "\" fill-rule=\"evenodd\"";
    }
    AppendStroke(style);
    UseGroup(style);
  }

  // The opening of a path element of the current group.
  void BeginPath() {
    out_ += "<path";
    // A pen thinner than a twip: the thinnest line at any zoom.
    if (Hairline()) out_ += " vector-effect=\"non-scaling-stroke\"";
    out_ += " d=\"";
  }

  // ------------------------------------------------------------ shapes

  // "M x y l dx dy dx dy ...", the steps between points rounded to tenths
  // of their positions, so they add up to where each point lies.
  void AppendPoints(std::span<const float> xy, bool closed) {
    const size_t total = xy.size() / 2;
    int64_t x = Tenths(xy[0]), y = Tenths(xy[1]);
    out_ += 'M';
    AppendTenths(out_, x, false);
    AppendTenths(out_, y, true);
    if (total > 1) out_ += 'l';
    for (size_t i = 1; i < total; ++i) {
      const int64_t nx = Tenths(xy[2 * i]), ny = Tenths(xy[2 * i + 1]);
      AppendTenths(out_, nx - x, i > 1);
      AppendTenths(out_, ny - y, true);
      x = nx;
      y = ny;
      if (out_.size() >= 4 * kWritePiece) Emit();
    }
    if (closed) out_ += 'z';
  }

  void Line(const LineMark& line) override {
    EndLobes();
    EndCellBlock();
    UseStrokeGroup();
    BeginPath();
    const float xy[] = {static_cast<float>(line.x1), static_cast<float>(line.y1), static_cast<float>(line.x2),
                        static_cast<float>(line.y2)};
    AppendPoints(xy, false);
    out_ += "\"/>\n";
  }

  void Polyline(PointsMark& mark) override {
    EndLobes();
    EndCellBlock();
    const std::span<const float> xy = mark.Points();
    if (xy.size() < 4) return;
    UseStrokeGroup();
    BeginPath();
    AppendPoints(xy, false);
    out_ += "\"/>\n";
  }

  // Polygons one after another whose boxes do not overlap (the lobes of a
  // trace, one below the other) go into one path: alternate filling then
  // makes the same picture as filling each on its own.
  void Polygon(PointsMark& mark) override {
    EndCellBlock();
    const std::span<const float> xy = mark.Points();
    if (xy.size() < 2) return;
    Box box{xy[0], xy[1], xy[0], xy[1]};
    for (size_t i = 2; i + 1 < xy.size(); i += 2) box.Add(Box{xy[i], xy[i + 1], xy[i], xy[i + 1]});
    const bool sameStyle = lobesOpen_ && lobePen_.color == pen_.color && lobePen_.width == pen_.width &&
                           lobeBrush_.color == brush_.color && lobeBrush_.style == brush_.style;
    if (!sameStyle || lobesBox_.Overlaps(box)) {
      EndLobes();
      UseShapeGroup();
      BeginPath();
      lobesOpen_ = true;
      lobesBox_ = box;
      lobePen_ = pen_;
      lobeBrush_ = brush_;
    } else {
      lobesBox_.Add(box);
    }
    AppendPoints(xy, true);
  }

  void EndLobes() {
    if (!lobesOpen_) return;
    out_ += "\"/>\n";
    lobesOpen_ = false;
  }

  // ------------------------------------------------------------ text

  void Text(const TextMark& text) override {
    EndLobes();
    EndCellBlock();
    const FontState& font = text.font;
    double points = font.size;
    if (!std::isfinite(points) || points <= 0) points = 10;
    points = std::min(points, kMaxFontPoints);
    const TextLineMetrics metrics = ReplayTextMetrics(font, kTextDpi);
    // The page has no text colour: text is black whatever the pen.
    std::string style = " fill=\"#000000\" stroke=\"none\" font-family=\"";
    AppendEscaped(style, font.name);
    style += "\" font-size=\"";
    AppendNumber(style, points * 20);
    style += '"';
    if (font.bold) style += " font-weight=\"bold\"";
    UseGroup(style);
    double baseline = text.y + metrics.ascent;
    for (std::string_view line : TextLines(text.text)) {
      if (!line.empty()) {
        out_ += "<text x=\"";
        AppendNumber(out_, text.x);
        out_ += "\" y=\"";
        AppendNumber(out_, baseline);
        out_ += "\">";
        AppendEscaped(out_, line);
        out_ += "</text>\n";
      }
      baseline += metrics.lineSpacing;
    }
  }

  // ------------------------------------------------------------ cells

  // Columns of cells side by side, of one size, gather into one image.
  void Cells(CellsMark& cells) override {
    EndLobes();
    if (cells.CoversNothing()) return;
    const std::span<const Color> colors = cells.Colors();
    if (colors.empty()) return;
    const bool continues =
        !block_.empty() && cells.count == blockColumn_.count && cells.y == blockColumn_.y &&
        cells.cellHeight == blockColumn_.cellHeight && cells.width == blockColumn_.width &&
        std::abs(cells.x - (blockColumn_.x + cells.width * static_cast<double>(blockColumns_))) < 1e-6 &&
        blockColumns_ < kMaxBlockColumns;
    if (!continues) {
      EndCellBlock();
      blockColumn_ = CellColumn{cells.count, cells.x, cells.y, cells.width, cells.cellHeight};
    }
    block_.insert(block_.end(), colors.begin(), colors.end());
    ++blockColumns_;
  }

  void EndCellBlock() {
    if (block_.empty()) return;
    const size_t columns = blockColumns_, rows = blockColumn_.count;
    // Cells run downwards from y; a negative cell height runs them upwards.
    const bool upwards = blockColumn_.cellHeight < 0;
    std::vector<uint32_t> palette;
    std::vector<uint8_t> samples(columns * rows);
    bool indexed = true;
    for (size_t c = 0; c < columns && indexed; ++c)
      for (size_t k = 0; k < rows; ++k) {
        const auto color = static_cast<uint32_t>(block_[c * rows + k]);
        auto it = std::find(palette.begin(), palette.end(), color);
        if (it == palette.end()) {
          if (palette.size() == 256) {
            indexed = false;
            break;
          }
          palette.push_back(color);
          it = palette.end() - 1;
        }
        const size_t row = upwards ? rows - 1 - k : k;
        samples[row * columns + c] = static_cast<uint8_t>(it - palette.begin());
      }
    if (!indexed) {
      samples.assign(columns * rows * 3, 0);
      for (size_t c = 0; c < columns; ++c)
        for (size_t k = 0; k < rows; ++k) {
          const auto color = static_cast<uint32_t>(block_[c * rows + k]);
          uint8_t* pixel = &samples[((upwards ? rows - 1 - k : k) * columns + c) * 3];
          pixel[0] = static_cast<uint8_t>(color & 0xFF);
          pixel[1] = static_cast<uint8_t>((color >> 8) & 0xFF);
          pixel[2] = static_cast<uint8_t>((color >> 16) & 0xFF);
        }
    }
    const std::string png = EncodePng(static_cast<int>(columns), static_cast<int>(rows),
                                      indexed ? PngEncoder::Kind::Palette : PngEncoder::Kind::Rgb, samples, palette,
                                      kCellCompressionLevel);
    block_.clear();
    blockColumns_ = 0;
    if (png.empty()) {
      failed_ = true;
      return;
    }
    const double span = blockColumn_.cellHeight * static_cast<double>(rows);
    const double width = blockColumn_.width * static_cast<double>(columns);
    out_ += "<image x=\"";
    AppendNumber(out_, std::min(blockColumn_.x, blockColumn_.x + width));
    out_ += "\" y=\"";
    AppendNumber(out_, std::min(blockColumn_.y, blockColumn_.y + span));
    out_ += "\" width=\"";
    AppendNumber(out_, std::abs(width));
    out_ += "\" height=\"";
    AppendNumber(out_, std::abs(span));
    // Sharp cell edges: each cell is one pixel of the image, stretched.
    out_ += "\" preserveAspectRatio=\"none\" image-rendering=\"optimizeSpeed\" style=\"image-rendering:pixelated\"";
    out_ += " xlink:href=\"data:image/png;base64,";
    AppendBase64(out_, png);
    out_ += "\"/>\n";
  }

  const PageDocument& page_;
  SafeFileDevice& file_;
  std::string out_;
  bool failed_ = false;

  std::string groupStyle_;
  bool groupOpen_ = false;

  PenState pen_;
  BrushState brush_;

  bool lobesOpen_ = false;
  Box lobesBox_;
  PenState lobePen_;
  BrushState lobeBrush_;

  // The first column of the block being gathered.
  struct CellColumn {
    uint32_t count = 0;
    double x = 0, y = 0, width = 0, cellHeight = 0;
  } blockColumn_;
  size_t blockColumns_ = 0;
  std::vector<Color> block_;

};

}  // namespace

bool WriteSvg(const PageDocument& page, const std::string& path, std::string* error) {
  const double w = page.PageWidth(), h = page.PageHeight();
  if (!(w > 0) || !(h > 0) || !std::isfinite(w) || !std::isfinite(h))
    return ExportFailure(error, "the page has no usable paper size");
  if (w > 1e9 || h > 1e9) return ExportFailure(error, "the paper is too large for an SVG picture");
  if (path.empty()) return ExportFailure(error, "no file name given");
  const ExportReasons reasons{"not enough memory for the SVG picture of " + path,
                              "the SVG picture of " + path + " could not be made"};
  return ExportThroughDevice(path, error, reasons,
                             [&page](SafeFileDevice& file) { return SvgBuilder(page, file).Build(); });
}

}  // namespace tavelo
