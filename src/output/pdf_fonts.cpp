#include "output/pdf_fonts.h"

#include <hb-ot.h>
#include <hb-subset.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <map>
#include <unordered_map>
#include <vector>

#include "common/text_encoding.h"
#include "output/font_faces.h"
#include "output/number_text.h"
#include "page/page_document.h"

namespace tavelo {

namespace {

using number_text::AppendInt;
using number_text::AppendTenths;
constexpr char kHex[] = "0123456789ABCDEF";

double RoundTenth(double v) { return std::round(v * 10) / 10; }

void AppendHex16(std::string& out, uint32_t v) {
  for (int shift = 12; shift >= 0; shift -= 4) out += kHex[(v >> shift) & 15];
}

// UTF-8 as UTF-16BE hex digits (no brackets); invalid bytes as U+FFFD.
void AppendUtf16Hex(std::string& out, std::string_view utf8) {
  hb_buffer_t* buffer = hb_buffer_create();
  hb_buffer_add_utf8(buffer, utf8.data(), static_cast<int>(utf8.size()), 0, static_cast<int>(utf8.size()));
  unsigned count = 0;
  const hb_glyph_info_t* infos = hb_buffer_get_glyph_infos(buffer, &count);
  for (unsigned i = 0; i < count; ++i) {
    const uint32_t c = infos[i].codepoint;
    if (c >= 0x10000) {
      AppendHex16(out, 0xD800 + ((c - 0x10000) >> 10));
      AppendHex16(out, 0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      AppendHex16(out, c);
    }
  }
  hb_buffer_destroy(buffer);
}

// ------------------------------------------------------------ standard fonts

// A PDF literal string of Windows-1252 bytes.
void AppendLiteral(std::string& out, std::string_view bytes) {
  out += '(';
  for (char c : bytes) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '(' || c == ')' || c == '\\') {
      out += '\\';
      out += c;
    } else if (u < 32 || u == 127) {
      char octal[5];
      std::snprintf(octal, sizeof octal, "\\%03o", u);
      out += octal;
    } else {
      out += c;
    }
  }
  out += ')';
}

// The standard font closest to a face name: Times and Courier by name,
// Helvetica (Arial's twin) for the rest.
int StandardFamily(const std::string& name) {
  std::string lower;
  for (char c : name) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const bool serif = lower.find("serif") != std::string::npos && lower.find("sans") == std::string::npos;
  if (lower.find("times") != std::string::npos || serif) return 1;
  if (lower.find("courier") != std::string::npos || lower.find("mono") != std::string::npos) return 2;
  return 0;
}

constexpr const char* kStandardFonts[6] = {"Helvetica", "Helvetica-Bold", "Times-Roman",
                                           "Times-Bold", "Courier",   "Courier-Bold"};

// ------------------------------------------------------------ font tables

uint16_t U16(hb_blob_t* blob, unsigned offset) {
  unsigned length = 0;
  const char* data = hb_blob_get_data(blob, &length);
  if (!data || offset + 2 > length) return 0;
  return static_cast<uint16_t>((static_cast<unsigned char>(data[offset]) << 8) |
                               static_cast<unsigned char>(data[offset + 1]));
}

int16_t S16(hb_blob_t* blob, unsigned offset) { return static_cast<int16_t>(U16(blob, offset)); }

// Six capital letters that name the subset: the same glyphs of the same
// face give the same tag.
std::string SubsetTag(const std::string& name, const std::vector<uint32_t>& glyphs) {
  uint64_t hash = 1469598103934665603ull;
  auto mix = [&hash](uint64_t v) {
    hash ^= v;
    hash *= 1099511628211ull;
  };
  for (char c : name) mix(static_cast<unsigned char>(c));
  for (uint32_t g : glyphs) mix(g);
  std::string tag;
  for (int i = 0; i < 6; ++i) {
    tag += static_cast<char>('A' + hash % 26);
    hash /= 26;
  }
  return tag;
}

}  // namespace

// One embedded face: the glyphs used, their widths as written in /W, and
// what each stands for.
struct EmbeddedFont {
  const FontFace* face = nullptr;
  int resource = 0;                        // /T<resource>
  std::map<uint32_t, double> widths;       // glyph -> thousandths of an em
  std::map<uint32_t, std::string> texts;   // glyph -> UTF-8 (ToUnicode)
};

struct PdfText::State {
  std::vector<EmbeddedFont> fonts;
  std::unordered_map<const FontFace*, size_t> byFace;
  std::array<bool, 6> standardUsed{};
  bool warnedStandard = false;

  EmbeddedFont& FontOf(const FontFace* face) {
    auto found = byFace.find(face);
    if (found != byFace.end()) return fonts[found->second];
    byFace.emplace(face, fonts.size());
    EmbeddedFont font;
    font.face = face;
    font.resource = static_cast<int>(fonts.size());
    fonts.push_back(std::move(font));
    return fonts.back();
  }

  double WidthOf(EmbeddedFont& font, uint32_t glyph) {
    auto found = font.widths.find(glyph);
    if (found != font.widths.end()) return found->second;
    const double advance = hb_font_get_glyph_h_advance(font.face->font, glyph);
    const double width = RoundTenth(advance * 1000.0 / font.face->unitsPerEm);
    font.widths.emplace(glyph, width);
    return width;
  }

  void DrawStandard(std::string& content, const FontState& font, double emTwips, const TextLineMetrics& metrics,
                    double x, double y, std::string_view utf8);
  void DrawLine(std::string& content, const FaceChain& chain, double emTwips, double x, double baseline,
                std::string_view line);
  bool WriteFont(PdfObjectSink& sink, const EmbeddedFont& font, uint32_t& type0);
};

PdfText::PdfText() : state_(std::make_unique<State>()) {}
PdfText::~PdfText() = default;

void PdfText::Draw(std::string& content, const FontState& font, double emTwips, const TextLineMetrics& metrics,
                   double x, double y, std::string_view utf8) {
  const FaceChain& chain = FaceChain::For(font.name, font.bold);
  if (chain.empty()) {
    state_->DrawStandard(content, font, emTwips, metrics, x, y, utf8);
    return;
  }
  const bool embolden = chain.SyntheticBold();
  if (embolden) {
    // As the painter emboldens a face without a bold: outlines grown by a
    // 24th of an em in all.
    content += "q 0 G 2 Tr ";
    AppendTenths(content, emTwips / 24);
    content += " w\n";
  }
  double baseline = y + metrics.ascent;
  for (std::string_view line : TextLines(utf8)) {
    if (!line.empty()) state_->DrawLine(content, chain, emTwips, x, baseline, line);
    baseline += metrics.lineSpacing;
  }
  if (embolden) content += "Q\n";
}

void PdfText::State::DrawLine(std::string& content, const FaceChain& chain, double emTwips, double x,
                              double baseline, std::string_view line) {
  const std::vector<ShapedRun> runs = chain.Shape(line);
  // A glyph that cannot name its characters through ToUnicode alone (it
  // already names others, or it is one of several for one character) puts
  // the line's text in ActualText too.
  bool actualText = false;
  for (const ShapedRun& run : runs) {
    EmbeddedFont& font = FontOf(run.face);
    for (const ShapedGlyph& g : run.glyphs) {
      auto known = font.texts.find(g.glyph);
      if (g.text.empty()) {
        if (known == font.texts.end()) actualText = true;
      } else if (known == font.texts.end()) {
        font.texts.emplace(g.glyph, g.text);
      } else if (known->second != g.text) {
        actualText = true;
      }
    }
  }
  if (actualText) {
    content += "/Span << /ActualText <FEFF";
    AppendUtf16Hex(content, line);
    content += "> >> BDC\n";
  }
  content += "BT\n";
  auto moveTo = [&content](double atX, double atY) {
    content += "1 0 0 -1 ";
    AppendTenths(content, atX);
    content += ' ';
    AppendTenths(content, atY);
    content += " Tm\n";
  };
  moveTo(x, baseline);
  double pen = x;
  for (const ShapedRun& run : runs) {
    EmbeddedFont& font = FontOf(run.face);
    content += "/T";
    AppendInt(content, font.resource);
    content += ' ';
    AppendTenths(content, emTwips);
    content += " Tf\n[<";
    const double scale = emTwips / font.face->unitsPerEm;
    for (const ShapedGlyph& g : run.glyphs) {
      const double width = WidthOf(font, g.glyph);
      if (g.xOffset != 0 || g.yOffset != 0) {
        // A mark placed off the pen: on its own, then back on the pen.
        content += ">] TJ\n";
        moveTo(pen + g.xOffset * scale, baseline - g.yOffset * scale);
        content += '<';
        AppendHex16(content, g.glyph);
        content += "> Tj\n";
        pen += g.advance * scale;
        moveTo(pen, baseline);
        content += "[<";
        continue;
      }
      AppendHex16(content, g.glyph);
      // The shaped advance where it differs from the glyph's width (kerning).
      const double adjustment = width - g.advance * 1000.0 / font.face->unitsPerEm;
      if (std::abs(adjustment) >= 0.05) {
        content += "> ";
        AppendTenths(content, adjustment);
        content += " <";
      }
      pen += g.advance * scale;
    }
    content += ">] TJ\n";
  }
  content += "ET\n";
  if (actualText) content += "EMC\n";
}

void PdfText::State::DrawStandard(std::string& content, const FontState& font, double emTwips,
                                  const TextLineMetrics& metrics, double x, double y, std::string_view utf8) {
  const int key = StandardFamily(font.name) * 2 + (font.bold ? 1 : 0);
  standardUsed[static_cast<size_t>(key)] = true;
  bool lossless = true;
  const std::string winAnsi = Utf8ToWindows1252(utf8, &lossless);
  if (!lossless && !warnedStandard) {
    warnedStandard = true;
    std::cerr << "tavelo: no outline font found; characters the standard PDF fonts lack are written as \"?\"\n";
  }
  content += "BT /F";
  AppendInt(content, key);
  content += ' ';
  AppendTenths(content, emTwips);
  content += " Tf\n";
  double baseline = y + metrics.ascent;
  for (std::string_view line : TextLines(winAnsi)) {
    if (!line.empty()) {
      // The flip puts the glyphs upright again under the page's y-down scale.
      content += "1 0 0 -1 ";
      AppendTenths(content, x);
      content += ' ';
      AppendTenths(content, baseline);
      content += " Tm ";
      AppendLiteral(content, line);
      content += " Tj\n";
    }
    baseline += metrics.lineSpacing;
  }
  content += "ET\n";
}

bool PdfText::WriteFonts(PdfObjectSink& sink, std::string& fontResources) {
  for (int k = 0; k < 6; ++k) {
    if (!state_->standardUsed[static_cast<size_t>(k)]) continue;
    const uint32_t number = sink.NewObject();
    std::string body = "<< /Type /Font /Subtype /Type1 /BaseFont /";
    body += kStandardFonts[k];
    body += " /Encoding /WinAnsiEncoding >>";
    sink.WriteObject(number, body);
    fontResources += " /F";
    AppendInt(fontResources, k);
    fontResources += ' ';
    AppendInt(fontResources, number);
    fontResources += " 0 R";
  }
  for (const EmbeddedFont& font : state_->fonts) {
    uint32_t type0 = 0;
    if (!state_->WriteFont(sink, font, type0)) return false;
    fontResources += " /T";
    AppendInt(fontResources, font.resource);
    fontResources += ' ';
    AppendInt(fontResources, type0);
    fontResources += " 0 R";
  }
  return true;
}

namespace {

struct Subset {
  std::string bytes;
  std::vector<uint32_t> newGlyph;  // by old glyph, up to the largest used
  bool identity = false;           // glyphs kept their numbers
};

// The face cut down to `glyphs` (and the missing glyph), without hinting
// or layout tables: a PDF reader needs outlines and metrics only. CFF faces
// keep their glyph numbers (a CID font of CFF outlines has no CIDToGIDMap).
Subset MakeSubset(const FontFace& face, const std::vector<uint32_t>& glyphs) {
  Subset subset;
  hb_subset_input_t* input = hb_subset_input_create_or_fail();
  if (!input) return subset;
  hb_set_t* glyphSet = hb_subset_input_glyph_set(input);
  hb_set_add(glyphSet, 0);
  for (uint32_t g : glyphs) hb_set_add(glyphSet, g);
  hb_set_t* drop = hb_subset_input_set(input, HB_SUBSET_SETS_DROP_TABLE_TAG);
  for (hb_tag_t tag : {HB_TAG('G', 'S', 'U', 'B'), HB_TAG('G', 'P', 'O', 'S'), HB_TAG('G', 'D', 'E', 'F'),
                       HB_TAG('k', 'e', 'r', 'n'), HB_TAG('B', 'A', 'S', 'E'), HB_TAG('J', 'S', 'T', 'F'),
                       HB_TAG('M', 'A', 'T', 'H'), HB_TAG('D', 'S', 'I', 'G'), HB_TAG('h', 'd', 'm', 'x'),
                       HB_TAG('L', 'T', 'S', 'H'), HB_TAG('V', 'D', 'M', 'X')})
    hb_set_add(drop, tag);
  unsigned flags = HB_SUBSET_FLAGS_NO_HINTING | HB_SUBSET_FLAGS_NOTDEF_OUTLINE;
  if (face.cff) flags |= HB_SUBSET_FLAGS_RETAIN_GIDS;
  hb_subset_input_set_flags(input, flags);
  hb_subset_plan_t* plan = hb_subset_plan_create_or_fail(face.face, input);
  hb_subset_input_destroy(input);
  if (!plan) return subset;
  const hb_map_t* mapping = hb_subset_plan_old_to_new_glyph_mapping(plan);
  const uint32_t largest = glyphs.empty() ? 0 : glyphs.back();
  subset.newGlyph.assign(largest + 1, 0);
  for (uint32_t g = 0; g <= largest; ++g) {
    const hb_codepoint_t mapped = hb_map_get(mapping, g);
    subset.newGlyph[g] = mapped == HB_MAP_VALUE_INVALID ? 0 : mapped;
  }
  subset.identity = face.cff;
  hb_face_t* made = hb_subset_plan_execute_or_fail(plan);
  hb_subset_plan_destroy(plan);
  if (!made) return subset;
  hb_blob_t* blob = hb_face_reference_blob(made);
  unsigned length = 0;
  const char* data = hb_blob_get_data(blob, &length);
  if (data) subset.bytes.assign(data, length);
  hb_blob_destroy(blob);
  hb_face_destroy(made);
  return subset;
}

std::string WidthArray(const std::map<uint32_t, double>& widths) {
  std::string out = "[";
  uint32_t next = 0;
  bool open = false;
  for (const auto& [glyph, width] : widths) {
    if (!open || glyph != next) {
      if (open) out += "] ";
      AppendInt(out, glyph);
      out += " [";
      open = true;
    } else {
      out += ' ';
    }
    AppendTenths(out, width);
    next = glyph + 1;
  }
  if (open) out += ']';
  out += ']';
  return out;
}

std::string ToUnicodeCMap(const std::map<uint32_t, std::string>& texts) {
  std::string out =
      "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n"
      "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\n"
      "/CMapName /Adobe-Identity-UCS def\n/CMapType 2 def\n"
      "1 begincodespacerange\n<0000> <FFFF>\nendcodespacerange\n";
  std::vector<std::pair<uint32_t, const std::string*>> entries;
  for (const auto& [glyph, text] : texts)
    if (glyph <= 0xFFFF && !text.empty()) entries.emplace_back(glyph, &text);
  for (size_t first = 0; first < entries.size(); first += 100) {
    const size_t count = std::min<size_t>(100, entries.size() - first);
    AppendInt(out, static_cast<int64_t>(count));
    out += " beginbfchar\n";
    for (size_t i = first; i < first + count; ++i) {
      out += '<';
      AppendHex16(out, entries[i].first);
      out += "> <";
      AppendUtf16Hex(out, *entries[i].second);
      out += ">\n";
    }
    out += "endbfchar\n";
  }
  out += "endcmap\nCMapName currentdict /CMap defineresource pop\nend\nend\n";
  return out;
}

}  // namespace

bool PdfText::State::WriteFont(PdfObjectSink& sink, const EmbeddedFont& font, uint32_t& type0) {
  const FontFace& face = *font.face;
  std::vector<uint32_t> glyphs;
  for (const auto& [glyph, width] : font.widths) glyphs.push_back(glyph);
  const Subset subset = MakeSubset(face, glyphs);
  const std::string name = SubsetTag(face.postScriptName, glyphs) + "+" + face.postScriptName;
  const double toThousandths = 1000.0 / face.unitsPerEm;
  auto thousandths = [toThousandths](double v) { return static_cast<int64_t>(std::lround(v * toThousandths)); };

  // The whole face when it could not be cut (a reader takes it all the same).
  std::string program = subset.bytes;
  bool identity = subset.identity;
  if (program.empty()) {
    hb_blob_t* blob = hb_face_reference_blob(face.face);
    unsigned length = 0;
    const char* data = hb_blob_get_data(blob, &length);
    if (data) program.assign(data, length);
    hb_blob_destroy(blob);
    identity = true;
  }

  const uint32_t file = sink.NewObject();
  std::string dictionary = face.cff ? " /Subtype /OpenType" : " /Length1 " + std::to_string(program.size());
  if (!sink.WriteCompressedStream(file, dictionary, program)) return false;

  uint32_t cidToGid = 0;
  if (!face.cff && !identity) {
    std::string map;
    map.reserve(subset.newGlyph.size() * 2);
    for (uint32_t g : subset.newGlyph) {
      map += static_cast<char>((g >> 8) & 0xFF);
      map += static_cast<char>(g & 0xFF);
    }
    cidToGid = sink.NewObject();
    if (!sink.WriteCompressedStream(cidToGid, "", map)) return false;
  }

  hb_blob_t* head = hb_face_reference_table(face.face, HB_TAG('h', 'e', 'a', 'd'));
  hb_blob_t* post = hb_face_reference_table(face.face, HB_TAG('p', 'o', 's', 't'));
  const double italicAngle = S16(post, 4) + U16(post, 6) / 65536.0;
  hb_position_t ascender = 0, descender = 0, capHeight = 0;
  hb_ot_metrics_get_position_with_fallback(face.font, HB_OT_METRICS_TAG_HORIZONTAL_ASCENDER, &ascender);
  hb_ot_metrics_get_position_with_fallback(face.font, HB_OT_METRICS_TAG_HORIZONTAL_DESCENDER, &descender);
  hb_ot_metrics_get_position_with_fallback(face.font, HB_OT_METRICS_TAG_CAP_HEIGHT, &capHeight);
  int flags = 32;  // nonsymbolic
  if (face.fixedPitch) flags |= 1;
  if (face.italic || italicAngle != 0) flags |= 64;
  const uint32_t descriptor = sink.NewObject();
  std::string body = "<< /Type /FontDescriptor /FontName /" + name + " /Flags " + std::to_string(flags) +
                     " /FontBBox [";
  for (unsigned offset : {36u, 38u, 40u, 42u}) {
    AppendInt(body, thousandths(S16(head, offset)));
    if (offset != 42u) body += ' ';
  }
  body += "] /ItalicAngle ";
  AppendTenths(body, italicAngle);
  body += " /Ascent ";
  AppendInt(body, thousandths(ascender));
  body += " /Descent ";
  AppendInt(body, thousandths(descender));
  body += " /CapHeight ";
  AppendInt(body, thousandths(capHeight));
  body += " /StemV 80 ";
  body += face.cff ? "/FontFile3 " : "/FontFile2 ";
  AppendInt(body, file);
  body += " 0 R >>";
  hb_blob_destroy(head);
  hb_blob_destroy(post);
  sink.WriteObject(descriptor, body);

  const uint32_t toUnicode = sink.NewObject();
  if (!sink.WriteCompressedStream(toUnicode, "", ToUnicodeCMap(font.texts))) return false;

  const uint32_t cidFont = sink.NewObject();
  body = "<< /Type /Font /Subtype ";
  body += face.cff ? "/CIDFontType0" : "/CIDFontType2";
  body += " /BaseFont /" + name +
          " /CIDSystemInfo << /Registry (Adobe) /Ordering (Identity) /Supplement 0 >> /FontDescriptor ";
  AppendInt(body, descriptor);
  body += " 0 R /W " + WidthArray(font.widths);
  if (!face.cff) {
    body += " /CIDToGIDMap ";
    if (cidToGid) {
      AppendInt(body, cidToGid);
      body += " 0 R";
    } else {
      body += "/Identity";
    }
  }
  body += " >>";
  sink.WriteObject(cidFont, body);

  type0 = sink.NewObject();
  body = "<< /Type /Font /Subtype /Type0 /BaseFont /" + name + " /Encoding /Identity-H /DescendantFonts [";
  AppendInt(body, cidFont);
  body += " 0 R] /ToUnicode ";
  AppendInt(body, toUnicode);
  body += " 0 R >>";
  sink.WriteObject(type0, body);
  return true;
}

}  // namespace tavelo
