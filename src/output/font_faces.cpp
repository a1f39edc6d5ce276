#include "output/font_faces.h"

#include <fontconfig/fontconfig.h>
#include <hb-ot.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <utility>

namespace tavelo {

FontFace::~FontFace() {
  if (font) hb_font_destroy(font);
  if (face) hb_face_destroy(face);
}

struct FaceChain::Candidate {
  std::string path;
  int index = 0;
  std::string family;
  int weight = 80;
  bool cff = false;
  bool fixedPitch = false;
  bool italic = false;
  FcCharSet* charset = nullptr;  // owned copy
  // Loaded on first use; a file HarfBuzz cannot read stays unusable.
  mutable std::unique_ptr<FontFace> loaded;
  mutable bool tried = false;

  ~Candidate() {
    if (charset) FcCharSetDestroy(charset);
  }
  bool Has(char32_t c) const { return charset && FcCharSetHasChar(charset, c); }
  const FontFace* Load() const;
};

namespace {

std::mutex& CacheMutex() {
  static std::mutex mutex;
  return mutex;
}

std::string StringOf(FcPattern* pattern, const char* object) {
  FcChar8* value = nullptr;
  if (FcPatternGetString(pattern, object, 0, &value) != FcResultMatch || !value) return {};
  return reinterpret_cast<const char*>(value);
}

int IntegerOf(FcPattern* pattern, const char* object, int fallback) {
  int value = fallback;
  if (FcPatternGetInteger(pattern, object, 0, &value) != FcResultMatch) return fallback;
  return value;
}

// Our own names for subset font objects: letters, digits and a few marks.
std::string CleanPostScriptName(std::string name) {
  std::string out;
  for (char c : name) {
    const auto u = static_cast<unsigned char>(c);
    if (u > 32 && u < 127 && !std::strchr("[](){}<>/%#", c)) out += c;
  }
  if (out.size() > 100) out.resize(100);
  return out;
}

// The candidate's face as HarfBuzz reads it.
std::unique_ptr<FontFace> LoadFace(const FaceChain::Candidate& c) {
  hb_blob_t* blob = hb_blob_create_from_file_or_fail(c.path.c_str());
  if (!blob) return nullptr;
  auto face = std::make_unique<FontFace>();
  face->path = c.path;
  face->index = c.index;
  face->family = c.family;
  face->weight = c.weight;
  face->fixedPitch = c.fixedPitch;
  face->italic = c.italic;
  face->face = hb_face_create(blob, static_cast<unsigned>(std::max(c.index, 0)));
  hb_blob_destroy(blob);
  if (hb_face_get_glyph_count(face->face) == 0) return nullptr;
  face->unitsPerEm = std::max(1u, hb_face_get_upem(face->face));
  hb_blob_t* cff = hb_face_reference_table(face->face, HB_TAG('C', 'F', 'F', ' '));
  face->cff = hb_blob_get_length(cff) > 0;
  hb_blob_destroy(cff);
  hb_blob_t* glyf = hb_face_reference_table(face->face, HB_TAG('g', 'l', 'y', 'f'));
  const bool hasGlyf = hb_blob_get_length(glyf) > 0;
  hb_blob_destroy(glyf);
  if (!face->cff && !hasGlyf) return nullptr;
  face->font = hb_font_create(face->face);
  const int scale = static_cast<int>(face->unitsPerEm);
  hb_font_set_scale(face->font, scale, scale);

  char name[256];
  unsigned length = sizeof name;
  if (hb_ot_name_get_utf8(face->face, HB_OT_NAME_ID_POSTSCRIPT_NAME, HB_LANGUAGE_INVALID, &length, name) > 0)
    face->postScriptName = CleanPostScriptName(std::string(name, std::min<size_t>(length, sizeof name - 1)));
  if (face->postScriptName.empty()) face->postScriptName = CleanPostScriptName(c.family);
  if (face->postScriptName.empty()) face->postScriptName = "Font";
  return face;
}

bool IsOutlineFormat(const std::string& format) { return format == "TrueType" || format == "CFF"; }

}  // namespace

const FontFace* FaceChain::Candidate::Load() const {
  if (!tried) {
    tried = true;
    loaded = LoadFace(*this);
  }
  return loaded.get();
}

FaceChain::FaceChain() = default;
FaceChain::~FaceChain() = default;
FaceChain::FaceChain(FaceChain&&) noexcept = default;

const FaceChain& FaceChain::For(const std::string& family, bool bold) {
  std::lock_guard<std::mutex> lock(CacheMutex());
  static std::map<std::pair<std::string, bool>, FaceChain> cache;
  auto key = std::make_pair(family, bold);
  auto found = cache.find(key);
  if (found != cache.end()) return found->second;

  FaceChain chain;
  if (FcInit()) {
    FcPattern* pattern = FcPatternCreate();
    if (!family.empty()) FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, FC_SLANT_ROMAN);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcFontSet* sorted = FcFontSort(nullptr, pattern, FcFalse, nullptr, &result);
    for (int i = 0; sorted && i < sorted->nfont; ++i) {
      FcPattern* font = sorted->fonts[i];
      if (!IsOutlineFormat(StringOf(font, FC_FONTFORMAT))) continue;
      auto candidate = std::make_unique<Candidate>();
      candidate->path = StringOf(font, FC_FILE);
      if (candidate->path.empty()) continue;
      candidate->index = IntegerOf(font, FC_INDEX, 0);
      candidate->family = StringOf(font, FC_FAMILY);
      candidate->weight = IntegerOf(font, FC_WEIGHT, FC_WEIGHT_REGULAR);
      candidate->fixedPitch = IntegerOf(font, FC_SPACING, FC_PROPORTIONAL) == FC_MONO;
      candidate->italic = IntegerOf(font, FC_SLANT, FC_SLANT_ROMAN) != FC_SLANT_ROMAN;
      FcCharSet* charset = nullptr;
      if (FcPatternGetCharSet(font, FC_CHARSET, 0, &charset) == FcResultMatch && charset)
        candidate->charset = FcCharSetCopy(charset);
      chain.candidates_.push_back(std::move(candidate));
    }
    if (sorted) FcFontSetDestroy(sorted);
    FcPatternDestroy(pattern);
  }
  // The first face that loads leads; those before it are dropped.
  while (!chain.candidates_.empty() && !chain.candidates_.front()->Load())
    chain.candidates_.erase(chain.candidates_.begin());
  if (!chain.candidates_.empty())
    chain.syntheticBold_ = bold && chain.candidates_.front()->weight < FC_WEIGHT_DEMIBOLD;
  return cache.emplace(key, std::move(chain)).first->second;
}

const FontFace* FaceChain::Primary() const {
  return candidates_.empty() ? nullptr : candidates_.front()->Load();
}

const FontFace* FaceChain::FaceFor(char32_t c) const {
  if (candidates_.empty()) return nullptr;
  if (candidates_.front()->Has(c)) return candidates_.front()->Load();
  for (const auto& candidate : candidates_) {
    if (!candidate->Has(c)) continue;
    if (const FontFace* face = candidate->Load()) return face;
  }
  return candidates_.front()->Load();
}

namespace {

bool TakesNeighbourScript(hb_script_t script) {
  return script == HB_SCRIPT_COMMON || script == HB_SCRIPT_INHERITED || script == HB_SCRIPT_UNKNOWN;
}

struct Item {
  const FontFace* face;
  hb_script_t script;
  unsigned begin, end;  // byte offsets into the line
};

// The line cut where the face or the script changes; characters of no
// script of their own (blanks, digits, marks) join their neighbours.
template <typename FaceFor>
std::vector<Item> Itemize(std::string_view line, const FaceFor& faceFor) {
  std::vector<Item> items;
  hb_buffer_t* buffer = hb_buffer_create();
  hb_buffer_add_utf8(buffer, line.data(), static_cast<int>(line.size()), 0, static_cast<int>(line.size()));
  unsigned count = 0;
  const hb_glyph_info_t* infos = hb_buffer_get_glyph_infos(buffer, &count);
  hb_unicode_funcs_t* unicode = hb_unicode_funcs_get_default();
  std::vector<hb_script_t> scripts(count);
  for (unsigned i = 0; i < count; ++i) scripts[i] = hb_unicode_script(unicode, infos[i].codepoint);
  // Leading neutral characters take the first real script, later ones the one before.
  hb_script_t last = HB_SCRIPT_COMMON;
  for (unsigned i = 0; i < count; ++i)
    if (!TakesNeighbourScript(scripts[i])) {
      last = scripts[i];
      break;
    }
  for (unsigned i = 0; i < count; ++i) {
    if (TakesNeighbourScript(scripts[i])) scripts[i] = last;
    else last = scripts[i];
  }
  for (unsigned i = 0; i < count; ++i) {
    const char32_t c = infos[i].codepoint;
    const FontFace* face = faceFor(c);
    // A mark stays on its base's face when that face has it.
    if (!items.empty() && hb_unicode_general_category(unicode, c) == HB_UNICODE_GENERAL_CATEGORY_NON_SPACING_MARK)
      face = items.back().face;
    const unsigned begin = infos[i].cluster;
    const unsigned end = i + 1 < count ? infos[i + 1].cluster : static_cast<unsigned>(line.size());
    if (!items.empty() && items.back().face == face && items.back().script == scripts[i]) {
      items.back().end = end;
    } else {
      items.push_back(Item{face, scripts[i], begin, end});
    }
  }
  hb_buffer_destroy(buffer);
  return items;
}

ShapedRun ShapeItem(std::string_view line, const Item& item, hb_buffer_t* buffer) {
  ShapedRun run;
  run.face = item.face;
  hb_buffer_clear_contents(buffer);
  hb_buffer_add_utf8(buffer, line.data(), static_cast<int>(line.size()), item.begin,
                     static_cast<int>(item.end - item.begin));
  hb_buffer_set_script(buffer, item.script);
  hb_buffer_guess_segment_properties(buffer);
  hb_shape(item.face->font, buffer, nullptr, 0);
  unsigned count = 0;
  const hb_glyph_info_t* infos = hb_buffer_get_glyph_infos(buffer, &count);
  const hb_glyph_position_t* positions = hb_buffer_get_glyph_positions(buffer, &count);
  std::vector<unsigned> starts;
  starts.reserve(count);
  for (unsigned i = 0; i < count; ++i) starts.push_back(infos[i].cluster);
  std::sort(starts.begin(), starts.end());
  starts.erase(std::unique(starts.begin(), starts.end()), starts.end());
  run.glyphs.resize(count);
  unsigned previousCluster = ~0u;
  for (unsigned i = 0; i < count; ++i) {
    ShapedGlyph& g = run.glyphs[i];
    g.glyph = infos[i].codepoint;
    g.advance = positions[i].x_advance;
    g.xOffset = positions[i].x_offset;
    g.yOffset = positions[i].y_offset;
    const unsigned cluster = infos[i].cluster;
    if (cluster == previousCluster) continue;
    previousCluster = cluster;
    auto next = std::upper_bound(starts.begin(), starts.end(), cluster);
    const unsigned end = next == starts.end() ? item.end : *next;
    if (cluster < end && end <= line.size()) g.text.assign(line.substr(cluster, end - cluster));
  }
  return run;
}

}  // namespace

std::vector<ShapedRun> FaceChain::Shape(std::string_view utf8Line) const {
  std::vector<ShapedRun> runs;
  if (candidates_.empty() || utf8Line.empty() || utf8Line.size() > (1u << 30)) return runs;
  std::lock_guard<std::mutex> lock(CacheMutex());
  const std::vector<Item> items =
      Itemize(utf8Line, [this](char32_t c) { return FaceFor(c); });
  hb_buffer_t* buffer = hb_buffer_create();
  for (const Item& item : items)
    if (item.face) runs.push_back(ShapeItem(utf8Line, item, buffer));
  hb_buffer_destroy(buffer);
  return runs;
}

double FaceChain::AdvanceEm(std::string_view utf8Line) const {
  double ems = 0;
  for (const ShapedRun& run : Shape(utf8Line))
    for (const ShapedGlyph& g : run.glyphs) ems += static_cast<double>(g.advance) / run.face->unitsPerEm;
  return ems;
}

}  // namespace tavelo
