#pragma once
// Our own PDF back end for the display list: large sections are written in
// a fraction of the time and memory Qt's PDF engine needs.
//
// The page is one content stream in twips under a single scale to points;
// paths keep their coordinates as recorded (whole or half twips, others to
// a tenth of a twip); cell columns become one image each (indexed colours,
// 4 bits a cell for the amplitude palette, no interpolation); text is
// written in the faces the painter draws it with, embedded as subsets
// (pdf_fonts.h), its lines placed with the metrics the QPainter replay
// uses, so the page lines up with the preview and the print. The content is
// compressed in pieces with libdeflate, the next piece being written while
// the last one is compressed. Needs a QGuiApplication (text metrics).

#include <string>

namespace tavelo {

class PageDocument;

// Writes the page as a one-page PDF under a temporary name, renamed over
// `path` once complete. False with a one-line reason in `error` (when given)
// when the paper is unusable or the file cannot be written.
bool WritePdf(const PageDocument& page, const std::string& path, std::string* error = nullptr);

}  // namespace tavelo
