#pragma once
// The page as a placeable Windows metafile (WMF), for drawing and publishing
// programs and for the clipboard.
//
// The format holds 16-bit coordinates and point counts. The metafile's
// units per inch are chosen so the whole paper fits (twips, 1440 per inch,
// while the paper is under 32 767 twips, about 578 mm; coarser beyond), so
// roll-plotter pages keep every trace. Longer point lists are split: a
// polyline into pieces sharing one point, a polygon into pieces that fill
// the same area with its outline drawn on top. Marks far off the paper are
// clipped to the coordinate range. Cell columns become device-independent
// bitmaps stretched over their rectangle (StretchDIB records).

#include <string>

namespace tavelo {

class PageDocument;

// Units per inch for a paper of this size in twips: 1440, or the largest
// divisor of 1440 under which both sides fit 16-bit coordinates. 0 when no
// such unit exists (a paper over 32 767 inches, or one without a size).
int WmfUnitsPerInch(double pageWidthTwips, double pageHeightTwips);

// The metafile bytes of the page (placeable header, then the records).
// Empty when the paper cannot be held in a metafile (see WmfUnitsPerInch)
// or memory runs out.
std::string WmfBytes(const PageDocument& page);

// Writes the same bytes as WmfBytes to `path`, record by record as they are
// made (the header's sizes patched at the end), so the metafile is never held
// in memory whole. Written under a temporary name, renamed over the target
// once complete, so a failure keeps any old file. False with a one-line
// reason in `error` (when given).
bool ExportWmf(const PageDocument& page, const std::string& path, std::string* error = nullptr);

}  // namespace tavelo
