#pragma once
// QPainter replay of the page's display list: the preview, the printer,
// PDF, PNG and SVG all draw the page through this one function.

class QPainter;
class QRectF;

namespace tavelo {

class PageDocument;

// Draws the whole paper (0..PageWidth x 0..PageHeight twips) into
// `targetRect` (device units of the painter's current coordinates), keeping
// its aspect and centring it. Drawing is clipped to the paper. The
// painter's state is restored afterwards. Needs a QGuiApplication (fonts).
void ReplayPage(const PageDocument& page, QPainter& painter, const QRectF& targetRect);

}  // namespace tavelo
