#include "output/painter_state.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPaintDevice>
#include <QString>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <mutex>

namespace tavelo::replay {

namespace {

// Font sizes beyond this are typing errors; Qt would build enormous glyphs.
constexpr double kMaxFontPoints = 2000;

}  // namespace

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

}  // namespace tavelo::replay
