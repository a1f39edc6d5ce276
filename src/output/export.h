#pragma once
// Page exports (PDF through Qt, PNG and SVG through our own streaming
// writers in png_writer and svg_writer). Every file is written under a
// temporary name and renamed over the target once complete, so a failed
// export keeps any old file. Failures are reported by return value with a
// one-line reason in `error` (when given). Need a QGuiApplication.

#include <string>

class QPrinter;

namespace tavelo {

class PageDocument;

// PDF whose page is the document's paper size (to the whole point), every
// mark placed by the page itself (no printer margins).
bool ExportPdf(const PageDocument& page, const std::string& path, std::string* error = nullptr);

// SVG with a view box of the paper in twips and a size in millimetres.
bool ExportSvg(const PageDocument& page, const std::string& path, std::string* error = nullptr);

// PNG of the whole paper at `dpi` dots per inch on a white background.
bool ExportPng(const PageDocument& page, const std::string& path, int dpi,
               std::string* error = nullptr);

// Prints the page on `printer` (a real printer or one set to PDF output):
// the whole paper is fitted onto the printer's paper, aspect kept.
bool PrintPage(const PageDocument& page, QPrinter& printer, std::string* error = nullptr);

}  // namespace tavelo
