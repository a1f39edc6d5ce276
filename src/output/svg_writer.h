#pragma once
// Our own SVG back end for the display list, streamed to the file as the
// page is read: the view box is the paper in twips, so coordinates stay as
// recorded (to a tenth of a twip). Each polyline is one path of relative
// steps; the lobes of a trace (filled polygons one below another that do
// not overlap) share one path; elements of one pen, brush or font share
// one group that carries their style. Cell columns side by side become one
// embedded PNG image per block, one pixel a cell, drawn without smoothing.
// Text keeps the replay's metrics, so it lines up with the preview. Pens
// thinner than a twip draw the thinnest line the viewer has. Needs a
// QGuiApplication (text metrics).

#include <string>

namespace tavelo {

class PageDocument;

// Writes the page under a temporary name, renamed over `path` once
// complete; on any failure (a full disk) the old file is kept. False with
// a one-line reason in `error` (when given).
bool WriteSvg(const PageDocument& page, const std::string& path, std::string* error = nullptr);

}  // namespace tavelo
