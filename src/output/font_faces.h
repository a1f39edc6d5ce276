#pragma once
// The font files a text is drawn with, found through fontconfig as the
// painter finds them, and the text shaped into glyphs with HarfBuzz, so back
// ends that write glyphs themselves (our PDF writer) draw what the preview
// shows.
//
// A family is looked up as Qt's fontconfig database does: the family and
// weight asked for, sorted by fontconfig (its aliases serve "Arial" with
// Liberation Sans, a missing family with the system's default face). A
// character the first face lacks is taken from the first face further down
// that list which has it; one no face has is the first face's missing glyph.
// Runs of one face and one script are shaped with HarfBuzz's default
// features (kerning, ligatures), as Qt shapes them. Only TrueType and CFF
// outlines are taken: they are the ones a PDF embeds.

#include <hb.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tavelo {

// One face of one font file, loaded once per process and kept.
struct FontFace {
  std::string path;
  int index = 0;            // face within a collection
  std::string family;       // as fontconfig names it
  std::string postScriptName;
  int weight = 80;          // fontconfig weight (80 regular, 200 bold)
  bool cff = false;         // CFF outlines (else TrueType glyf)
  bool fixedPitch = false;
  bool italic = false;
  unsigned unitsPerEm = 1000;
  hb_face_t* face = nullptr;
  hb_font_t* font = nullptr;  // scaled to font units
  ~FontFace();
};

// Glyph positions in font units of the run's face.
struct ShapedGlyph {
  uint32_t glyph = 0;
  int32_t advance = 0;
  int32_t xOffset = 0, yOffset = 0;  // y up, as fonts have it
  // The characters this glyph stands for (UTF-8): the cluster's text on its
  // first glyph, empty on the others.
  std::string text;
};

struct ShapedRun {
  const FontFace* face = nullptr;
  std::vector<ShapedGlyph> glyphs;
};

// The faces a family is drawn with, best first (see above).
class FaceChain {
 public:
  // The faces for `family` in bold or regular; empty when fontconfig knows
  // no TrueType or CFF face at all.
  static const FaceChain& For(const std::string& family, bool bold);

  bool empty() const { return candidates_.empty(); }
  // The face used for text that every face lacks; null when empty().
  const FontFace* Primary() const;
  // The line in glyph runs, left to right; empty when empty().
  std::vector<ShapedRun> Shape(std::string_view utf8Line) const;
  // The shaped line's advance in ems.
  double AdvanceEm(std::string_view utf8Line) const;
  // True when the primary face is lighter than the bold asked for: the
  // painter then emboldens the outlines itself.
  bool SyntheticBold() const { return syntheticBold_; }

  struct Candidate;  // one face fontconfig offers, loaded on first use
  FaceChain();
  ~FaceChain();
  FaceChain(FaceChain&&) noexcept;

 private:
  const FontFace* FaceFor(char32_t c) const;
  std::vector<std::unique_ptr<Candidate>> candidates_;
  bool syntheticBold_ = false;
};

}  // namespace tavelo
