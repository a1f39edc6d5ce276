#include "output/painter_replay.h"

#include <QFont>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QImage>
#include <QPaintDevice>
#include <QPainter>
#include <QPen>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <limits>
#include <cmath>
#include <mutex>
#include <vector>

#include "page/page_document.h"

namespace tavelo {

namespace {

// Long polylines go to the painter in pieces that share their end points,
// which bounds the stroker's scratch memory and keeps counts within int.
constexpr size_t kPolylineChunk = 65536;

// Font sizes beyond this are typing errors; Qt would build enormous glyphs.
constexpr double kMaxFontPoints = 2000;

QColor ToQColor(Color c) {
  const auto u = static_cast<uint32_t>(c);
  return QColor(static_cast<int>(u & 0xFF), static_cast<int>((u >> 8) & 0xFF),
                static_cast<int>((u >> 16) & 0xFF));
}

QRgb ToQRgb(Color c) {
  const auto u = static_cast<uint32_t>(c);
  return qRgb(static_cast<int>(u & 0xFF), static_cast<int>((u >> 8) & 0xFF),
              static_cast<int>((u >> 16) & 0xFF));
}

// Pages are made with Arial in mind; where it is missing its metric twin
// keeps text widths as the page builder expects them.
void EnsureArialSubstitute() {
  static std::once_flag once;
  std::call_once(once, [] {
    if (!QFontDatabase::hasFamily(QStringLiteral("Arial")))
      QFont::insertSubstitution(QStringLiteral("Arial"), QStringLiteral("Liberation Sans"));
  });
}

// A pen thinner than one device pixel draws as the thinnest line the device
// has (one pixel), as the printer drivers do: a 1-twip diagram curve must not
// fade to a faint grey on screen.
QPen MakePen(const PenState& state, double onePixelTwips) {
  double width = state.width;
  if (!std::isfinite(width) || width < 0) width = 0;  // 0: the thinnest line
  if (width < onePixelTwips) width = 0;
  QPen pen(ToQColor(state.color), width);
  // Flat ends: a cell line is exactly as long as its column is wide.
  pen.setCapStyle(Qt::FlatCap);
  pen.setJoinStyle(Qt::RoundJoin);
  return pen;
}

QBrush MakeBrush(const BrushState& state) {
  if (state.style == 1) return QBrush(Qt::NoBrush);
  return QBrush(ToQColor(state.color), Qt::SolidPattern);
}

struct TextFont {
  QFont font;
  double ascent = 0;       // twips
  double lineSpacing = 0;  // twips
};

// World units are twips, so a font of P points must be 20 P units tall;
// Qt turns point sizes into device units with the device's logical dpi.
TextFont MakeFont(const FontState& state, const QPaintDevice* device) {
  double points = state.size;
  if (!std::isfinite(points) || points <= 0) points = 10;
  points = std::min(points, kMaxFontPoints);
  double dpi = device ? device->logicalDpiY() : 72;
  if (!(dpi > 0)) dpi = 72;
  TextFont result;
  result.font = QFont(QString::fromStdString(state.name));
  result.font.setPointSizeF(points * 20.0 * 72.0 / dpi);
  result.font.setBold(state.bold);
  // Hinted metrics would not scale with the zoom.
  result.font.setHintingPreference(QFont::PreferNoHinting);
  QFontMetricsF metrics(result.font, device);
  result.ascent = metrics.ascent();
  result.lineSpacing = metrics.lineSpacing();
  return result;
}

// Splits on CR LF, lone CR and lone LF.
QStringList TextLines(const std::string& utf8) {
  QString text = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return text.split(QLatin1Char('\n'));
}

class Replayer {
 public:
  Replayer(const PageDocument& page, QPainter& painter)
      : page_(page), painter_(painter), callerAntialias_(painter.testRenderHint(QPainter::Antialiasing)) {}

  void Run() {
    painter_.setPen(pen_);
    painter_.setBrush(QBrush(Qt::black));
    for (const PageOp& op : page_.ops()) {
      switch (op.kind) {
        case OpKind::Font:
          if (op.index < page_.fonts().size()) font_ = MakeFont(page_.fonts()[op.index], painter_.device());
          haveFont_ = op.index < page_.fonts().size();
          break;
        case OpKind::Pen:
          if (op.index < page_.pens().size()) {
            pen_ = MakePen(page_.pens()[op.index], onePixelTwips_);
            SetPainterPen(pen_);
          }
          break;
        case OpKind::Brush:
          if (op.index < page_.brushes().size()) painter_.setBrush(MakeBrush(page_.brushes()[op.index]));
          break;
        case OpKind::Text: DrawText(op); break;
        case OpKind::Line:
          UseShapePen();
          painter_.drawLine(QPointF(op.x, op.y), QPointF(op.x2, op.y2));
          break;
        case OpKind::Polyline: DrawPolyline(op); break;
        case OpKind::Polygon: DrawPolygon(op); break;
        case OpKind::Cells: DrawCells(op); break;
      }
    }
  }

 private:
  void SetPainterPen(const QPen& pen) {
    painter_.setPen(pen);
    textPenSet_ = false;
  }

  // Shapes after a text draw with the page's pen again, not the text's.
  void UseShapePen() {
    if (textPenSet_) SetPainterPen(pen_);
  }

  // The op's points, from `first` on, `count` of them.
  bool LoadPoints(size_t first, size_t count) {
    if (first > xy_.size() / 2 || count > xy_.size() / 2 - first) return false;
    buffer_.resize(count);
    const float* p = xy_.data() + 2 * first;
    for (size_t i = 0; i < count; ++i) buffer_[i] = QPointF(p[2 * i], p[2 * i + 1]);
    return true;
  }

  void DrawPolyline(const PageOp& op) {
    UseShapePen();
    page_.PointsOf(op, xy_);
    const size_t total = xy_.size() / 2;
    if (total < 2) return;
    for (size_t first = 0; first + 1 < total; first += kPolylineChunk - 1) {
      size_t count = std::min(kPolylineChunk, total - first);
      if (!LoadPoints(first, count)) return;
      painter_.drawPolyline(buffer_.data(), static_cast<int>(count));
    }
  }

  void DrawPolygon(const PageOp& op) {
    if (op.count == 0 || op.count > static_cast<uint32_t>(std::numeric_limits<int>::max())) return;
    UseShapePen();
    page_.PointsOf(op, xy_);
    if (!LoadPoints(0, xy_.size() / 2) || buffer_.empty()) return;
    // Overlapping parts alternate, as the product's fills do.
    painter_.drawPolygon(buffer_.data(), static_cast<int>(buffer_.size()), Qt::OddEvenFill);
  }

  void DrawText(const PageOp& op) {
    if (op.index >= page_.texts().size()) return;
    if (!haveFont_) {
      font_ = MakeFont(FontState{}, painter_.device());
      haveFont_ = true;
    }
    if (!textPenSet_) {
      // The page has no text colour: text is black whatever the pen.
      painter_.setPen(QPen(Qt::black));
      textPenSet_ = true;
    }
    painter_.setFont(font_.font);
    const QStringList lines = TextLines(page_.texts()[op.index]);
    double baseline = op.y + font_.ascent;
    for (const QString& line : lines) {
      if (!line.isEmpty()) painter_.drawText(QPointF(op.x, baseline), line);
      baseline += font_.lineSpacing;
    }
  }

  void DrawCells(const PageOp& op) {
    if (op.count == 0 || op.count > static_cast<uint32_t>(std::numeric_limits<int>::max())) return;
    double x = op.x, y = op.y, width = op.x2, height = op.y2;
    if (width == 0 || height == 0) return;
    page_.CellColorsOf(op, colors_);
    if (colors_.size() != op.count) return;
    const int count = static_cast<int>(op.count);
    QImage image(1, count, QImage::Format_RGB32);
    if (image.isNull()) return;
    // Cells run downwards from y; a negative cell height runs them upwards.
    bool upwards = height < 0;
    for (int k = 0; k < count; ++k) {
      int row = upwards ? count - 1 - k : k;
      reinterpret_cast<QRgb*>(image.scanLine(row))[0] = ToQRgb(colors_[static_cast<size_t>(k)]);
    }
    QRectF rect(x, y, width, height * count);
    rect = rect.normalized();
    // Columns meet at fractions of a device pixel; widen each to whole
    // pixels so no white seam shows between neighbours at screen size.
    const QRectF device = painter_.deviceTransform().mapRect(rect);
    const QRectF snapped(QPointF(std::floor(device.left()), std::floor(device.top())),
                         QPointF(std::ceil(device.right()), std::ceil(device.bottom())));
    // Sharp cell edges, and no blended seam between neighbouring columns.
    painter_.save();
    painter_.resetTransform();
    painter_.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter_.setRenderHint(QPainter::Antialiasing, false);
    painter_.drawImage(snapped, image);
    painter_.restore();
  }

  const PageDocument& page_;
  QPainter& painter_;
  bool callerAntialias_;
  // Twips in one device pixel at the painter's scale.
  double onePixelTwips_ = [this] {
    const double m = std::abs(painter_.deviceTransform().m11());
    return m > 0 && std::isfinite(m) ? 1.0 / m : 0.0;
  }();
  QPen pen_ = MakePen(PenState{}, 0);
  bool textPenSet_ = false;
  TextFont font_;
  bool haveFont_ = false;
  std::vector<float> xy_;
  std::vector<Color> colors_;
  std::vector<QPointF> buffer_;
};

}  // namespace

TextLineMetrics ReplayTextMetrics(const FontState& font, double dpi) {
  EnsureArialSubstitute();
  QImage device(1, 1, QImage::Format_RGB32);
  if (std::isfinite(dpi) && dpi > 0 && dpi < 1e6) {
    const int dotsPerMeter = static_cast<int>(std::lround(dpi / 0.0254));
    device.setDotsPerMeterX(dotsPerMeter);
    device.setDotsPerMeterY(dotsPerMeter);
  }
  const TextFont made = MakeFont(font, &device);
  return {made.ascent, made.lineSpacing};
}

void ReplayPage(const PageDocument& page, QPainter& painter, const QRectF& targetRect) {
  const double pageWidth = page.PageWidth();
  const double pageHeight = page.PageHeight();
  if (!(pageWidth > 0) || !(pageHeight > 0) || !std::isfinite(pageWidth) || !std::isfinite(pageHeight))
    return;
  if (!(targetRect.width() > 0) || !(targetRect.height() > 0)) return;
  const double scale = std::min(targetRect.width() / pageWidth, targetRect.height() / pageHeight);
  if (!(scale > 0) || !std::isfinite(scale)) return;

  EnsureArialSubstitute();
  painter.save();
  painter.translate(targetRect.x() + (targetRect.width() - pageWidth * scale) / 2,
                    targetRect.y() + (targetRect.height() - pageHeight * scale) / 2);
  painter.scale(scale, scale);
  painter.setClipRect(QRectF(0, 0, pageWidth, pageHeight), Qt::IntersectClip);
  Replayer(page, painter).Run();
  painter.restore();
}

}  // namespace tavelo
