#pragma once
// QPainter replay of the page's display list: the preview, the printer,
// PDF, PNG and SVG all draw the page through this one function.

#include <atomic>

class QPainter;
class QRectF;

namespace tavelo {

class PageDocument;
class ReplayIndex;
struct FontState;

// Where the replay puts a text's lines, in twips: the first baseline lies
// `ascent` below the text's top, each further line `lineSpacing` lower.
// For a device of `dpi` dots per inch (the metrics are unhinted, so they
// hardly depend on it). Needs a QGuiApplication.
struct TextLineMetrics {
  double ascent = 0;
  double lineSpacing = 0;
};
TextLineMetrics ReplayTextMetrics(const FontState& font, double dpi);

// Draws the whole paper (0..PageWidth x 0..PageHeight twips) into
// `targetRect` (device units of the painter's current coordinates), keeping
// its aspect and centring it. Drawing is clipped to the paper. The
// painter's state is restored afterwards. Needs a QGuiApplication (fonts).
// With an `index` of the page, ops that miss the pixels drawn (a part of
// the paper) are passed over without decoding their points; an index of
// another page (or an empty one) is filled by this replay instead.
// `stop`, set by another thread, ends the replay at the next op (the
// picture is then unfinished, and an index being filled stays unfilled).
void ReplayPage(const PageDocument& page, QPainter& painter, const QRectF& targetRect,
                ReplayIndex* index = nullptr, const std::atomic<bool>* stop = nullptr);

}  // namespace tavelo
