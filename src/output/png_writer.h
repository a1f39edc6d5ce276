#pragma once
// PNG export of the page, drawn in bands of rows so that memory stays
// bounded whatever the resolution: each band is replayed into an image of
// its own (hairlines and fills through the replay's pixel writer, on both
// cores), filtered and compressed with zlib on a second thread while the
// next band is drawn, and streamed to the file. A page drawn in greys only
// (wiggles, lobes, grey cells) is stored as an 8-bit grey image, any other
// as 24-bit RGB. Needs a QGuiApplication (text).

#include <string>

namespace tavelo {

class PageDocument;

// The whole paper at `dpi` dots per inch on a white background, written
// under a temporary name and renamed over `path` once complete (a failure
// keeps any old file). False with a one-line reason in `error`.
bool WritePng(const PageDocument& page, const std::string& path, int dpi, std::string* error = nullptr);

// The same, drawn `bandRows` rows at a time (WritePng chooses them from
// the picture's width).
bool WritePngInBands(const PageDocument& page, const std::string& path, int dpi, int bandRows,
                     std::string* error = nullptr);

}  // namespace tavelo
