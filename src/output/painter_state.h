#pragma once
// The page's drawing state as the painter takes it: colours, pens, brushes,
// fonts in world units of twips, and text split into lines.

#include <QBrush>
#include <QColor>
#include <QFont>
#include <QPen>
#include <QRgb>
#include <QStringList>

#include <string>

#include "page/page_document.h"

class QPaintDevice;

namespace tavelo::replay {

QColor ToQColor(Color c);
QRgb ToQRgb(Color c);

// Pages are made with Arial in mind; where it is missing its metric twin
// keeps text widths as the page builder expects them. Once per process.
void EnsureArialSubstitute();

// A pen thinner than `onePixelTwips` gets width 0, the device's thinnest line.
QPen MakePen(const PenState& state, double onePixelTwips);
QBrush MakeBrush(const BrushState& state);

struct TextFont {
  QFont font;
  double ascent = 0;       // twips
  double lineSpacing = 0;  // twips
};
TextFont MakeFont(const FontState& state, const QPaintDevice* device);

// Splits on CR LF, lone CR and lone LF.
QStringList TextLines(const std::string& utf8);

}  // namespace tavelo::replay
