#include "output/wmf_writer.h"

#include <uwmf.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <limits>
#include <string_view>
#include <vector>

#include "common/safe_file.h"
#include "common/text_encoding.h"
#include "output/font_faces.h"
#include "output/wmf_text.h"
#include "page/page_document.h"
#include "page/page_replay.h"

namespace tavelo {

// The records are built in memory in the machine's order; the format's is
// little-endian.
static_assert(std::endian::native == std::endian::little, "WMF records are little-endian");

namespace {

// Most points one polyline or polygon record holds.
constexpr size_t kMaxRecordPoints = 32767;
// Arial's line spacing (ascent + descent + gap) in ems, for line breaks.
constexpr double kLineSpacingEm = 1.15;
constexpr double kMaxFontPoints = 2000;

// The 16-bit coordinate range; marks beyond it are clipped there.
constexpr double kLow = -32768;
constexpr double kHigh = 32767;

struct Pt {
  double x, y;
};

struct Box {
  double x0, y0, x1, y1;
  bool Holds(const Pt& p) const { return p.x >= x0 && p.x <= x1 && p.y >= y0 && p.y <= y1; }
};
constexpr Box kCoordinateBox{kLow, kLow, kHigh, kHigh};

int16_t ToCoordinate(double v) {
  if (std::isnan(v)) return 0;
  return static_cast<int16_t>(std::lround(std::clamp(v, kLow, kHigh)));
}

U_POINT16 ToPoint16(const Pt& p) { return U_POINT16{ToCoordinate(p.x), ToCoordinate(p.y)}; }

U_COLORREF ToColorRef(Color c) {
  const auto u = static_cast<uint32_t>(c);
  return colorref3_set(static_cast<uint8_t>(u & 0xFF), static_cast<uint8_t>((u >> 8) & 0xFF),
                       static_cast<uint8_t>((u >> 16) & 0xFF));
}

// Liang-Barsky: cuts the segment a-b to the box; false when none of it is inside.
bool ClipSegment(Pt& a, Pt& b, const Box& box) {
  double t0 = 0, t1 = 1;
  const double dx = b.x - a.x, dy = b.y - a.y;
  auto edge = [&](double p, double q) {
    if (p == 0) return q >= 0;
    const double r = q / p;
    if (p < 0) {
      if (r > t1) return false;
      if (r > t0) t0 = r;
    } else {
      if (r < t0) return false;
      if (r < t1) t1 = r;
    }
    return true;
  };
  if (!edge(-dx, a.x - box.x0) || !edge(dx, box.x1 - a.x) || !edge(-dy, a.y - box.y0) ||
      !edge(dy, box.y1 - a.y))
    return false;
  const Pt start = a;
  if (t1 < 1) b = Pt{start.x + t1 * dx, start.y + t1 * dy};
  if (t0 > 0) a = Pt{start.x + t0 * dx, start.y + t0 * dy};
  return true;
}

// One Sutherland-Hodgman step: the ring cut to one side of an axis line
// (`vertical`: x = at, else y = at; `keepBelow`: the side of smaller values).
// Inside that side, the alternate fill of the result equals the ring's.
std::vector<Pt> ClipRing(const std::vector<Pt>& ring, bool vertical, double at, bool keepBelow) {
  std::vector<Pt> out;
  if (ring.empty()) return out;
  out.reserve(ring.size() + 8);
  auto value = [vertical](const Pt& p) { return vertical ? p.x : p.y; };
  auto inside = [&](const Pt& p) { return keepBelow ? value(p) <= at : value(p) >= at; };
  Pt prev = ring.back();
  bool prevIn = inside(prev);
  for (const Pt& cur : ring) {
    const bool curIn = inside(cur);
    if (curIn != prevIn) {
      const double t = (at - value(prev)) / (value(cur) - value(prev));
      Pt cut{prev.x + t * (cur.x - prev.x), prev.y + t * (cur.y - prev.y)};
      if (vertical) cut.x = at; else cut.y = at;
      out.push_back(cut);
    }
    if (curIn) out.push_back(cur);
    prev = cur;
    prevIn = curIn;
  }
  return out;
}

std::vector<Pt> ClipRingToBox(std::vector<Pt> ring, const Box& box) {
  ring = ClipRing(ring, true, box.x0, false);
  ring = ClipRing(ring, true, box.x1, true);
  ring = ClipRing(ring, false, box.y0, false);
  return ClipRing(ring, false, box.y1, true);
}

// Rounded points with repeats in a row dropped (they draw nothing).
std::vector<U_POINT16> ToRecordPoints(const std::vector<Pt>& points) {
  std::vector<U_POINT16> out;
  out.reserve(points.size());
  for (const Pt& p : points) {
    const U_POINT16 q = ToPoint16(p);
    if (!out.empty() && out.back().x == q.x && out.back().y == q.y) continue;
    out.push_back(q);
  }
  return out;
}

// Where the records go: a string (the clipboard) or a file as it is
// written, so a page of millions of points never sits in memory twice.
class WmfSink {
 public:
  virtual ~WmfSink() = default;
  virtual bool Append(std::string_view bytes) = 0;
  // Replaces bytes already appended: the header, whose sizes come last.
  virtual bool Overwrite(size_t offset, std::string_view bytes) = 0;
};

class StringSink final : public WmfSink {
 public:
  explicit StringSink(std::string& out) : out_(out) {}
  bool Append(std::string_view bytes) override {
    try {
      out_.append(bytes);
    } catch (const std::bad_alloc&) {
      return false;
    }
    return true;
  }
  bool Overwrite(size_t offset, std::string_view bytes) override {
    if (offset > out_.size() || bytes.size() > out_.size() - offset) return false;
    std::memcpy(out_.data() + offset, bytes.data(), bytes.size());
    return true;
  }

 private:
  std::string& out_;
};

class FileSink final : public WmfSink {
 public:
  explicit FileSink(AtomicFileWriter& file) : file_(file) {}
  bool Append(std::string_view bytes) override { return file_.Write(bytes); }
  bool Overwrite(size_t offset, std::string_view bytes) override {
    return file_.Overwrite(offset, bytes);
  }

 private:
  AtomicFileWriter& file_;
};

class WmfBuilder final : public PageSink {
 public:
  WmfBuilder(const PageDocument& page, int unitsPerInch, WmfSink& sink)
      : page_(page), unitsPerInch_(unitsPerInch), scale_(unitsPerInch / kTwipsPerInch), sink_(sink) {}
  ~WmfBuilder() override {
    if (handles_) wmf_htable_free(&handles_);
  }
  WmfBuilder(const WmfBuilder&) = delete;
  WmfBuilder& operator=(const WmfBuilder&) = delete;

  // False when a record could not be made or the sink refused bytes.
  bool Build() {
    if (wmf_htable_create(32, 32, &handles_) != 0 || !handles_) return false;
    const int16_t width = ToCoordinate(page_.PageWidth() * scale_);
    const int16_t height = ToCoordinate(page_.PageHeight() * scale_);
    if (!WriteHeader(width, height)) return false;

    Add(U_WMRSETMAPMODE_set(U_MM_ANISOTROPIC));
    Add(U_WMRSETWINDOWORG_set(U_POINT16{0, 0}));
    Add(U_WMRSETWINDOWEXT_set(U_POINT16{width, height}));
    Add(U_WMRSETBKMODE_set(U_TRANSPARENT));
    Add(U_WMRSETPOLYFILLMODE_set(U_ALTERNATE));
    Add(U_WMRSETSTRETCHBLTMODE_set(U_COLORONCOLOR));
    // Text hangs below its top-left corner; the page has no text colour.
    Add(U_WMRSETTEXTALIGN_set(U_TA_TOP | U_TA_LEFT | U_TA_NOUPDATECP));
    Add(U_WMRSETTEXTCOLOR_set(colorref3_set(0, 0, 0)));
    // An invisible frame of the paper: readers that size the picture by
    // what is drawn (libwmf) keep the paper, and an empty page stays a page.
    UseNullPen(true);
    SelectBrush(BrushState{0, 1});
    Add(U_WMRRECTANGLE_set(U_RECT16{0, 0, width, height}));
    SelectPen(PenState{});
    SelectBrush(BrushState{});
    SelectFont(FontState{});

    if (failed_ || !Replay(page_, *this)) return false;
    Add(U_WMREOF_set());
    return !failed_ && Finish();
  }

 private:
  void Font(const FontState& state) override { SelectFont(state); }
  void Pen(const PenState& state) override { SelectPen(state); }
  void Brush(const BrushState& state) override { SelectBrush(state); }
  void Polyline(PointsMark& mark) override {
    if (LoadPoints(mark)) DrawPolyline(points_);
  }
  void Polygon(PointsMark& mark) override {
    if (LoadPoints(mark)) DrawPolygon();
  }
  bool OpDone() override { return !failed_; }

  // The placeable header and the metafile header; sizes are filled in last.
  bool WriteHeader(int16_t width, int16_t height) {
    U_PAIRF inches{static_cast<float>(width) / unitsPerInch_,
                   static_cast<float>(height) / unitsPerInch_};
    char* header = U_WMRHEADER_set(&inches, static_cast<unsigned>(unitsPerInch_));
    if (!header) return false;
    header_.assign(header, U_SIZE_WMRPLACEABLE + U_SIZE_WMRHEADER);
    std::free(header);
    // The bounding box exactly as the window's extent (not via floats).
    U_WMRPLACEABLE placeable;
    std::memcpy(&placeable, header_.data(), U_SIZE_WMRPLACEABLE);
    placeable.Dst = U_RECT16{0, 0, width, height};
    placeable.Inch = static_cast<uint16_t>(unitsPerInch_);
    placeable.Checksum = static_cast<uint16_t>(U_16_checksum(reinterpret_cast<int16_t*>(&placeable), 10));
    std::memcpy(header_.data(), &placeable, U_SIZE_WMRPLACEABLE);
    if (!sink_.Append(header_)) return false;
    written_ = header_.size();
    return true;
  }

  bool Finish() {
    const uint64_t words = (written_ - U_SIZE_WMRPLACEABLE) / 2;
    if (words > std::numeric_limits<uint32_t>::max()) return false;
    const auto fileWords = static_cast<uint32_t>(words);
    const auto objects = static_cast<uint16_t>(std::min<uint32_t>(handles_->peak, 0xFFFF));
    char* header = header_.data() + U_SIZE_WMRPLACEABLE;
    std::memcpy(header + 6, &fileWords, 4);  // Sizew
    std::memcpy(header + 10, &objects, 2);   // nObjects
    std::memcpy(header + 12, &largest_, 4);  // maxSize
    return sink_.Overwrite(0, header_);
  }

  // Appends a record made by libUEMF and frees it.
  void Add(char* record) {
    if (!record) {
      failed_ = true;
      return;
    }
    const uint32_t bytes = U_wmr_size(reinterpret_cast<const U_METARECORD*>(record));
    if (!failed_ && !sink_.Append(std::string_view(record, bytes))) failed_ = true;
    written_ += bytes;
    largest_ = std::max(largest_, bytes / 2);
    std::free(record);
  }

  // Creating an object takes the lowest free handle; the one it replaces
  // is deleted once the new one is selected.
  void Replace(uint32_t& current, char* create, uint32_t created) {
    Add(create);
    Add(wselectobject_set(created, handles_));
    if (current) Add(wdeleteobject_set(&current, handles_));
    current = created;
  }

  void SelectPen(const PenState& state) {
    double width = std::isfinite(state.width) && state.width > 0 ? state.width * scale_ : 0;
    const auto units = static_cast<uint16_t>(std::lround(std::min(width, 32767.0)));
    // Flat ends: a cell line is exactly as long as its column is wide.
    const U_PEN pen = U_PEN_set(U_PS_SOLID | U_PS_ENDCAP_FLAT | U_PS_JOIN_ROUND, units,
                                ToColorRef(state.color));
    uint32_t handle = 0;
    char* create = wcreatepenindirect_set(&handle, handles_, pen);
    Replace(pen_, create, handle);
  }

  void SelectBrush(const BrushState& state) {
    const U_WLOGBRUSH brush =
        U_WLOGBRUSH_set(state.style == 1 ? U_BS_NULL : U_BS_SOLID, ToColorRef(state.color), 0);
    uint32_t handle = 0;
    char* create = wcreatebrushindirect_set(&handle, handles_, brush);
    Replace(brush_, create, handle);
    brushIsNull_ = state.style == 1;
  }

  // The font in the character set of the code page the next text is in.
  void SelectFont(const FontState& state) {
    fontState_ = state;
    double points = std::isfinite(state.size) && state.size > 0 ? state.size : 10;
    points = std::min(points, kMaxFontPoints);
    // A negative height asks for the character (em) height, as points mean.
    const double height = std::clamp(points * unitsPerInch_ / 72.0, 1.0, 32767.0);
    lineSpacing_ = points * 20.0 * kLineSpacingEm;  // twips
    std::string face = Utf8ToWindows1252(state.name.empty() ? std::string("Arial") : state.name);
    if (face.size() > 31) face.resize(31);
    U_FONT* font = U_FONT_set(static_cast<int16_t>(-std::lround(height)), 0, 0, 0,
                              state.bold ? U_FW_BOLD : U_FW_NORMAL, 0, 0, 0, charset_, 0, 0,
                              0, 0, face.data());
    if (!font) {
      failed_ = true;
      return;
    }
    uint32_t handle = 0;
    char* create = wcreatefontindirect_set(&handle, handles_, font);
    std::free(font);
    Replace(font_, create, handle);
  }

  // Fill pieces of a split polygon are drawn without outline.
  void UseNullPen(bool on) {
    if (on) {
      if (!nullPen_) {
        uint32_t handle = 0;
        Add(wcreatepenindirect_set(&handle, handles_, U_PEN_set(U_PS_NULL, 0, colorref3_set(0, 0, 0))));
        nullPen_ = handle;
      }
      Add(wselectobject_set(nullPen_, handles_));
    } else {
      Add(wselectobject_set(pen_, handles_));
    }
  }

  Pt Logical(double x, double y) const { return Pt{x * scale_, y * scale_}; }

  void Text(const TextMark& text) override {
    const Pt origin = Logical(text.x, text.y);
    int lineNumber = 0;
    for (std::string_view line : TextLines(text.text)) {
      const Pt at{origin.x, origin.y + lineNumber++ * lineSpacing_ * scale_};
      if (line.empty() || !kCoordinateBox.Holds(at)) continue;
      std::string unheld;
      const std::vector<CodePageRun> runs = CodePageRuns(line, &unheld);
      double advance = 0;  // twips from the line's start to the run
      for (size_t k = 0; k < runs.size(); ++k) {
        const CodePageRun& run = runs[k];
        if (run.charset != charset_) {
          charset_ = run.charset;
          SelectFont(fontState_);
        }
        std::string bytes = run.bytes;
        if (bytes.size() > 32767) bytes.resize(32767);
        const Pt runAt{at.x + advance * scale_, at.y};
        const U_RECT16 noRect{0, 0, 0, 0};
        if (kCoordinateBox.Holds(runAt))
          Add(U_WMREXTTEXTOUT_set(ToPoint16(runAt), static_cast<int16_t>(bytes.size()), 0, bytes.c_str(),
                                  nullptr, noRect));
        if (k + 1 < runs.size()) advance += TextAdvance(run.utf8);
      }
      if (!unheld.empty())
        std::cerr << "tavelo: no Windows code page holds \"" << unheld << "\" of the text \"" << line
                  << "\"; the metafile shows \"?\" there\n";
    }
  }

  // The width the painter gives the text in the current font, twips.
  double TextAdvance(std::string_view utf8) const {
    double points = std::isfinite(fontState_.size) && fontState_.size > 0 ? fontState_.size : 10;
    points = std::min(points, kMaxFontPoints);
    const FaceChain& chain = FaceChain::For(fontState_.name, fontState_.bold);
    // Without any font file: half an em a character.
    if (chain.empty()) return 0.5 * points * 20 * static_cast<double>(Utf8ToCodePoints(utf8).size());
    return chain.AdvanceEm(utf8) * points * 20;
  }

  void Line(const LineMark& line) override {
    Pt a = Logical(line.x1, line.y1), b = Logical(line.x2, line.y2);
    if (!ClipSegment(a, b, kCoordinateBox)) return;
    const U_POINT16 ends[2] = {ToPoint16(a), ToPoint16(b)};
    Add(U_WMRPOLYLINE_set(2, ends));
  }

  bool LoadPoints(PointsMark& mark) {
    const std::span<const float> xy = mark.Points();
    const size_t count = xy.size() / 2;
    if (count == 0) return false;
    points_.resize(count);
    const float* p = xy.data();
    for (size_t i = 0; i < count; ++i) points_[i] = Logical(p[2 * i], p[2 * i + 1]);
    return true;
  }

  // Records of at most kMaxRecordPoints, each starting on the last point of
  // the one before so the line stays joined.
  void EmitPolyline(const std::vector<Pt>& run) {
    const std::vector<U_POINT16> points = ToRecordPoints(run);
    if (points.size() < 2) return;
    for (size_t first = 0; first + 1 < points.size(); first += kMaxRecordPoints - 1) {
      const size_t count = std::min(kMaxRecordPoints, points.size() - first);
      Add(U_WMRPOLYLINE_set(static_cast<uint16_t>(count), points.data() + first));
    }
  }

  void DrawPolyline(const std::vector<Pt>& points) {
    if (points.size() < 2) return;
    if (std::all_of(points.begin(), points.end(), [](const Pt& p) { return kCoordinateBox.Holds(p); })) {
      EmitPolyline(points);
      return;
    }
    // Parts off the coordinate range are cut away; the line goes on where it
    // comes back.
    std::vector<Pt> run;
    for (size_t i = 0; i + 1 < points.size(); ++i) {
      Pt a = points[i], b = points[i + 1];
      if (!ClipSegment(a, b, kCoordinateBox)) continue;
      const bool joined = !run.empty() && run.back().x == a.x && run.back().y == a.y;
      if (!joined) {
        EmitPolyline(run);
        run.clear();
        run.push_back(a);
      }
      run.push_back(b);
    }
    EmitPolyline(run);
  }

  void EmitPolygon(const std::vector<U_POINT16>& points) {
    if (points.size() < 3) return;
    Add(U_WMRPOLYGON_set(static_cast<uint16_t>(points.size()), points.data()));
  }

  void DrawPolygon() {
    if (points_.size() < 2) return;
    const bool inRange = std::all_of(points_.begin(), points_.end(),
                                     [](const Pt& p) { return kCoordinateBox.Holds(p); });
    if (inRange) {
      std::vector<U_POINT16> record = ToRecordPoints(points_);
      if (record.size() > 1 && record.front().x == record.back().x && record.front().y == record.back().y)
        record.pop_back();
      if (record.size() <= kMaxRecordPoints) {
        EmitPolygon(record);
        return;
      }
    }
    // Too long for one record, or partly off the range: the fill in pieces
    // without outline, then the outline as a closed line.
    if (!brushIsNull_) {
      UseNullPen(true);
      // A ring that zigzags across the whole range does not get shorter
      // when cut; the budget keeps the cutting linear in the ring's length.
      pieceBudget_ = 64 + 8 * (points_.size() / kMaxRecordPoints + 1);
      FillPieces(inRange ? points_ : ClipRingToBox(points_, kCoordinateBox), 0);
      UseNullPen(false);
    }
    std::vector<Pt> outline = points_;
    outline.push_back(points_.front());
    DrawPolyline(outline);
  }

  // Cuts the ring in two halves across the longer side of its bounds until
  // each piece fits one record; the halves' alternate fills add up to the
  // ring's, whatever its shape.
  size_t pieceBudget_ = 0;  // cuts left for the polygon being filled
  void FillPieces(const std::vector<Pt>& ring, int depth) {
    std::vector<U_POINT16> record = ToRecordPoints(ring);
    if (record.size() <= kMaxRecordPoints) {
      EmitPolygon(record);
      return;
    }
    Box bounds{ring[0].x, ring[0].y, ring[0].x, ring[0].y};
    for (const Pt& p : ring) {
      bounds.x0 = std::min(bounds.x0, p.x);
      bounds.x1 = std::max(bounds.x1, p.x);
      bounds.y0 = std::min(bounds.y0, p.y);
      bounds.y1 = std::max(bounds.y1, p.y);
    }
    const bool vertical = bounds.x1 - bounds.x0 >= bounds.y1 - bounds.y0;
    const double lo = vertical ? bounds.x0 : bounds.y0;
    const double hi = vertical ? bounds.x1 : bounds.y1;
    const double cut = std::floor((lo + hi) / 2);
    if (pieceBudget_ > 0) --pieceBudget_;
    if (depth > 64 || pieceBudget_ == 0 || hi - lo < 2 || cut <= lo || cut >= hi) {
      // Within a unit or two (or out of budget): plain pieces of the ring.
      for (size_t first = 0; first < record.size(); first += kMaxRecordPoints) {
        const size_t count = std::min(kMaxRecordPoints, record.size() - first);
        EmitPolygon(std::vector<U_POINT16>(record.begin() + static_cast<std::ptrdiff_t>(first),
                                           record.begin() + static_cast<std::ptrdiff_t>(first + count)));
      }
      return;
    }
    record = {};
    FillPieces(ClipRing(ring, vertical, cut, true), depth + 1);
    FillPieces(ClipRing(ring, vertical, cut, false), depth + 1);
  }

  // A cell column as a one-pixel-wide bitmap stretched over its rectangle,
  // in pieces of at most 32 767 cells (a 16-bit source height).
  void Cells(CellsMark& cells) override {
    if (cells.CoversNothing()) return;
    const std::span<const Color> colors = cells.Colors();
    if (colors.empty()) return;
    // Normalised: cells run downwards from `top`.
    const double count = cells.count;
    const bool upwards = cells.cellHeight < 0;
    const double cellHeight = std::abs(cells.cellHeight) * scale_;
    if (!(cellHeight > 0)) return;
    const double top = (upwards ? cells.y + cells.cellHeight * count : cells.y) * scale_;
    const double left = std::min(cells.x, cells.x + cells.width) * scale_;
    const double right = std::max(cells.x, cells.x + cells.width) * scale_;
    if (right < kLow || left > kHigh) return;
    const int16_t x0 = ToCoordinate(left);
    int16_t x1 = ToCoordinate(right);
    if (x1 == x0) x1 = x0 < kHigh ? static_cast<int16_t>(x0 + 1) : x0;  // never vanish
    if (x1 == x0) return;
    auto colorAt = [&](size_t row) {  // row 0 is the top cell
      return colors[upwards ? cells.count - 1 - row : row];
    };
    // Rows on the coordinate range only.
    const double firstVisible = std::floor((kLow - top) / cellHeight);
    const double lastVisible = std::ceil((kHigh - top) / cellHeight);
    const size_t begin = static_cast<size_t>(std::clamp(firstVisible, 0.0, count));
    const size_t end = static_cast<size_t>(std::clamp(lastVisible, 0.0, count));
    for (size_t first = begin; first < end; first += kMaxRecordPoints) {
      const size_t rows = std::min(kMaxRecordPoints, end - first);
      const int16_t y0 = ToCoordinate(top + cellHeight * static_cast<double>(first));
      const int16_t y1 = ToCoordinate(top + cellHeight * static_cast<double>(first + rows));
      if (y1 == y0) continue;
      // 24-bit rows of one pixel, padded to four bytes, bottom row first.
      std::string pixels(rows * 4, '\0');
      for (size_t r = 0; r < rows; ++r) {
        const auto c = static_cast<uint32_t>(colorAt(first + r));
        char* px = pixels.data() + (rows - 1 - r) * 4;
        px[0] = static_cast<char>((c >> 16) & 0xFF);  // blue
        px[1] = static_cast<char>((c >> 8) & 0xFF);   // green
        px[2] = static_cast<char>(c & 0xFF);          // red
      }
      U_BITMAPINFO info{};
      info.bmiHeader.biSize = sizeof(U_BITMAPINFOHEADER);
      info.bmiHeader.biWidth = 1;
      info.bmiHeader.biHeight = static_cast<int32_t>(rows);
      info.bmiHeader.biPlanes = 1;
      info.bmiHeader.biBitCount = 24;
      info.bmiHeader.biCompression = U_BI_RGB;
      info.bmiHeader.biSizeImage = static_cast<uint32_t>(pixels.size());
      Add(U_WMRSTRETCHDIB_set(U_POINT16{x0, y0},
                              U_POINT16{static_cast<int16_t>(x1 - x0), static_cast<int16_t>(y1 - y0)},
                              U_POINT16{0, 0}, U_POINT16{1, static_cast<int16_t>(rows)},
                              U_DIB_RGB_COLORS, U_SRCCOPY, &info,
                              static_cast<uint32_t>(pixels.size()), pixels.data()));
    }
  }

  const PageDocument& page_;
  const int unitsPerInch_;
  const double scale_;  // metafile units per twip
  WmfSink& sink_;
  WMFHANDLES* handles_ = nullptr;
  std::string header_;    // as first written; patched and written again at the end
  uint64_t written_ = 0;  // bytes handed to the sink
  uint32_t largest_ = 0;  // largest record, in 16-bit words
  bool failed_ = false;
  uint32_t pen_ = 0, brush_ = 0, font_ = 0, nullPen_ = 0;
  bool brushIsNull_ = false;
  double lineSpacing_ = 0;  // twips
  FontState fontState_;
  uint8_t charset_ = U_ANSI_CHARSET;
  std::vector<Pt> points_;
};

}  // namespace

int WmfUnitsPerInch(double pageWidthTwips, double pageHeightTwips) {
  const double largest = std::max(pageWidthTwips, pageHeightTwips);
  if (!(pageWidthTwips > 0) || !(pageHeightTwips > 0) || !std::isfinite(largest)) return 0;
  for (int units = 1440; units >= 1; --units) {
    if (1440 % units != 0) continue;
    if (largest * units / kTwipsPerInch <= kHigh) return units;
  }
  return 0;
}

std::string WmfBytes(const PageDocument& page) {
  const int units = WmfUnitsPerInch(page.PageWidth(), page.PageHeight());
  if (units == 0) return {};
  std::string out;
  try {
    StringSink sink(out);
    if (!WmfBuilder(page, units, sink).Build()) return {};
  } catch (const std::bad_alloc&) {
    return {};
  }
  return out;
}

bool ExportWmf(const PageDocument& page, const std::string& path, std::string* error) {
  const int units = WmfUnitsPerInch(page.PageWidth(), page.PageHeight());
  if (units == 0) {
    if (error) *error = "the paper is too large for a metafile";
    return false;
  }
  // Records go to the file as they are made; the header is patched last.
  AtomicFileWriter file;
  if (!file.Open(path, false, error, DeviceTargets::WriteInPlace)) return false;
  bool built = false;
  try {
    FileSink sink(file);
    built = WmfBuilder(page, units, sink).Build();
  } catch (const std::bad_alloc&) {
    built = false;
  }
  if (!built && !file.Failed()) {
    file.Abandon();
    if (error) *error = "not enough memory for the metafile";
    return false;
  }
  // A refused write is reported by Commit, which then removes the temporary file.
  return file.Commit(error);
}

}  // namespace tavelo
