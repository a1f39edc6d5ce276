#include "output/svg_writer.h"

#include <QString>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <new>
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

class SvgBuilder {
 public:
  SvgBuilder(const PageDocument& page, SafeFileDevice& file) : page_(page), file_(file) {}

  bool Build() {
    WriteHeader();
    for (const PageOp& op : page_.ops()) {
      if (op.kind != OpKind::Polygon) EndLobes();
      if (op.kind != OpKind::Cells && op.kind != OpKind::Pen && op.kind != OpKind::Brush && op.kind != OpKind::Font)
        EndCellBlock();
      switch (op.kind) {
        case OpKind::Font:
          if (op.index < page_.fonts().size()) font_ = page_.fonts()[op.index];
          haveFont_ = op.index < page_.fonts().size();
          break;
        case OpKind::Pen:
          if (op.index < page_.pens().size()) pen_ = page_.pens()[op.index];
          break;
        case OpKind::Brush:
          if (op.index < page_.brushes().size()) brush_ = page_.brushes()[op.index];
          break;
        case OpKind::Text: DrawText(op); break;
        case OpKind::Line: DrawLine(op); break;
        case OpKind::Polyline: DrawPolyline(op); break;
        case OpKind::Polygon: DrawPolygon(op); break;
        case OpKind::Cells: AddCells(op); break;
      }
      if (out_.size() >= kWritePiece) Emit();
      if (file_.Failed()) return false;
    }
    EndLobes();
    EndCellBlock();
    CloseGroup();
    out_ += "</svg>\n";
    Emit();
    return !file_.Failed() && !failed_;
  }

 private:
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
  void AppendPoints(const std::vector<float>& xy, bool closed) {
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

  void DrawLine(const PageOp& op) {
    UseStrokeGroup();
    BeginPath();
    const std::vector<float> xy = {static_cast<float>(op.x), static_cast<float>(op.y), static_cast<float>(op.x2),
                                   static_cast<float>(op.y2)};
    AppendPoints(xy, false);
    out_ += "\"/>\n";
  }

  void DrawPolyline(const PageOp& op) {
    page_.PointsOf(op, xy_);
    if (xy_.size() < 4) return;
    UseStrokeGroup();
    BeginPath();
    AppendPoints(xy_, false);
    out_ += "\"/>\n";
  }

  // Polygons one after another whose boxes do not overlap (the lobes of a
  // trace, one below the other) go into one path: alternate filling then
  // makes the same picture as filling each on its own.
  void DrawPolygon(const PageOp& op) {
    page_.PointsOf(op, xy_);
    if (xy_.size() < 2) return;
    Box box{xy_[0], xy_[1], xy_[0], xy_[1]};
    for (size_t i = 2; i + 1 < xy_.size(); i += 2) box.Add(Box{xy_[i], xy_[i + 1], xy_[i], xy_[i + 1]});
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
    AppendPoints(xy_, true);
  }

  void EndLobes() {
    if (!lobesOpen_) return;
    out_ += "\"/>\n";
    lobesOpen_ = false;
  }

  // ------------------------------------------------------------ text

  void DrawText(const PageOp& op) {
    if (op.index >= page_.texts().size()) return;
    if (!haveFont_) {
      font_ = FontState{};
      haveFont_ = true;
    }
    double points = font_.size;
    if (!std::isfinite(points) || points <= 0) points = 10;
    points = std::min(points, kMaxFontPoints);
    const TextLineMetrics metrics = ReplayTextMetrics(font_, kTextDpi);
    // The page has no text colour: text is black whatever the pen.
    std::string style = " fill=\"#000000\" stroke=\"none\" font-family=\"";
    AppendEscaped(style, font_.name);
    style += "\" font-size=\"";
    AppendNumber(style, points * 20);
    style += '"';
    if (font_.bold) style += " font-weight=\"bold\"";
    UseGroup(style);
    double baseline = op.y + metrics.ascent;
    for (std::string_view line : TextLines(page_.texts()[op.index])) {
      if (!line.empty()) {
        out_ += "<text x=\"";
        AppendNumber(out_, op.x);
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
  void AddCells(const PageOp& op) {
    if (op.count == 0 || op.x2 == 0 || op.y2 == 0) return;
    if (!std::isfinite(op.x) || !std::isfinite(op.y) || !std::isfinite(op.x2) || !std::isfinite(op.y2)) return;
    page_.CellColorsOf(op, colors_);
    if (colors_.size() != op.count) return;
    const bool continues = !block_.empty() && op.count == blockOp_.count && op.y == blockOp_.y &&
                           op.y2 == blockOp_.y2 && op.x2 == blockOp_.x2 &&
                           std::abs(op.x - (blockOp_.x + op.x2 * static_cast<double>(blockColumns_))) < 1e-6 &&
                           blockColumns_ < kMaxBlockColumns;
    if (!continues) {
      EndCellBlock();
      blockOp_ = op;
    }
    block_.insert(block_.end(), colors_.begin(), colors_.end());
    ++blockColumns_;
  }

  void EndCellBlock() {
    if (block_.empty()) return;
    const size_t columns = blockColumns_, rows = blockOp_.count;
    // Cells run downwards from y; a negative cell height runs them upwards.
    const bool upwards = blockOp_.y2 < 0;
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
    const double span = blockOp_.y2 * static_cast<double>(rows);
    const double width = blockOp_.x2 * static_cast<double>(columns);
    out_ += "<image x=\"";
    AppendNumber(out_, std::min(blockOp_.x, blockOp_.x + width));
    out_ += "\" y=\"";
    AppendNumber(out_, std::min(blockOp_.y, blockOp_.y + span));
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
  FontState font_;
  bool haveFont_ = false;

  bool lobesOpen_ = false;
  Box lobesBox_;
  PenState lobePen_;
  BrushState lobeBrush_;

  PageOp blockOp_;
  size_t blockColumns_ = 0;
  std::vector<Color> block_;

  std::vector<float> xy_;
  std::vector<Color> colors_;
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
