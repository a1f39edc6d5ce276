#pragma once
// Text for our PDF writer: every line shaped with the faces the painter
// draws it with (font_faces.h) and written as glyphs of those faces,
// embedded as subsets: CID-keyed Type0 fonts with Identity-H, the TrueType
// or CFF outlines of the glyphs used, their widths, and a ToUnicode map so
// copying and text extraction give the text back. Where a glyph cannot say
// which characters it stands for (a missing glyph, a glyph shared by two
// characters) the line carries its text as ActualText as well.
//
// When fontconfig knows no outline font at all, the standard PDF fonts
// (Helvetica, Times, Courier) in WinAnsi are used instead, and characters
// WinAnsi lacks are written as "?" with a warning on standard error.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "output/painter_replay.h"

namespace tavelo {

struct FontState;

// Where the font objects go: the writer's numbering and its streams.
class PdfObjectSink {
 public:
  virtual ~PdfObjectSink() = default;
  virtual uint32_t NewObject() = 0;
  // `body` is what stands between "N 0 obj" and "endobj".
  virtual void WriteObject(uint32_t number, std::string_view body) = 0;
  // A FlateDecode stream; `dictionary` holds entries other than /Length
  // and /Filter. False when compression failed.
  virtual bool WriteCompressedStream(uint32_t number, std::string_view dictionary, std::string_view data) = 0;
};

class PdfText {
 public:
  PdfText();
  ~PdfText();
  PdfText(const PdfText&) = delete;
  PdfText& operator=(const PdfText&) = delete;

  // Appends the operators that draw `utf8` with its top-left corner at
  // (x, y) twips, under a y-down twips matrix: `metrics` places the
  // baselines, `emTwips` is the font's size. Text is filled with the
  // current fill colour.
  void Draw(std::string& content, const FontState& font, double emTwips, const TextLineMetrics& metrics,
            double x, double y, std::string_view utf8);

  // Writes the fonts used so far; returns the entries of the page's /Font
  // resource dictionary ("/T0 12 0 R ..."). False when a stream failed.
  bool WriteFonts(PdfObjectSink& sink, std::string& fontResources);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace tavelo
