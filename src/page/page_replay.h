#pragma once
// One reading of a page's display list for every back end (the text dump,
// the metafile and PDF writers, the painter). Replay walks the ops in
// order, passes over an op that names an entry its table lacks, keeps the
// font in effect, and hands each op to a PageSink as a mark: the sink turns
// marks into its device's records and never looks at the op encoding.
//
// Points and cell colours are decoded only when a sink asks for them, so a
// sink that draws part of the paper passes over the ops beside it cheaply;
// every mark carries its op's number (its place in the list, from 0).

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "page/page_document.h"

namespace tavelo {

struct TextMark {
  size_t number = 0;
  double x = 0, y = 0;  // top-left corner, twips
  const std::string& text;
  const FontState& font;  // in effect: the default font before the page names one
};

struct LineMark {
  size_t number = 0;
  double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
};

// A polyline or polygon: `count` points recorded, decoded on request.
class PointsMark {
 public:
  PointsMark(const PageDocument& page, const PageOp& op, size_t number, std::vector<float>& buffer)
      : number(number), count(op.count), page_(page), op_(op), buffer_(buffer) {}
  const size_t number;
  const uint32_t count;
  // x and y alternate; decoded on the first call, the same span after.
  std::span<const float> Points();
  // The same, noting where decoding may resume (PageDocument::PointsOf).
  std::span<const float> Points(uint32_t every, std::vector<PointResume>& resumes);
  // Only `points` points from a resume noted for this op (PageDocument::
  // PointsFrom); a later Points() decodes the whole list again.
  std::span<const float> Stretch(const PointResume& at, uint32_t points);

 private:
  const PageDocument& page_;
  const PageOp& op_;
  std::vector<float>& buffer_;
  bool decoded_ = false;
};

// A column of cells: cell k (from 0) covers x .. x + width and
// y + k * cellHeight .. y + (k + 1) * cellHeight.
class CellsMark {
 public:
  CellsMark(const PageDocument& page, const PageOp& op, size_t number, std::vector<Color>& buffer)
      : number(number), count(op.count), x(op.x), y(op.y), width(op.x2), cellHeight(op.y2), page_(page), op_(op),
        buffer_(buffer) {}
  const size_t number;
  const uint32_t count;
  const double x, y, width, cellHeight;
  // No cell, a width or cell height of 0 or not finite: nothing to paint.
  bool CoversNothing() const;
  // One colour a cell, decoded on the first call; empty when the recorded
  // colours cannot be read whole.
  std::span<const Color> Colors();

 private:
  const PageDocument& page_;
  const PageOp& op_;
  std::vector<Color>& buffer_;
  bool decoded_ = false;
};

class PageSink {
 public:
  virtual ~PageSink() = default;
  // State as the page changes it, just before the first op that uses it;
  // before any of these every sink starts from FontState{}, PenState{} and
  // BrushState{}.
  virtual void Font(const FontState&) {}
  virtual void Pen(const PenState&) {}
  virtual void Brush(const BrushState&) {}
  virtual void Text(const TextMark&) {}
  virtual void Line(const LineMark&) {}
  virtual void Polyline(PointsMark&) {}
  virtual void Polygon(PointsMark&) {}
  virtual void Cells(CellsMark&) {}
  // After every op (one passed over too): false stops the replay.
  virtual bool OpDone() { return true; }
  // Asked, with ReplayRuns, before ops first .. first + count - 1: true when
  // none of their marks can reach the sink's device, drawn with pens at
  // most `widestPen` twips wide. The replay then hands over only the state
  // the run leaves, without visiting its ops (nor calling OpDone for them).
  virtual bool PassesOver(size_t /*first*/, size_t /*count*/, double /*widestPen*/) { return false; }
};

// Where each run of kOps ops begins in a page's stored list, the state it
// leaves and the widest pen in effect in it: a replay of part of the paper
// (a tile, a band) given these passes over whole runs beside it, instead of
// visiting millions of ops one by one. Filled by one whole replay of the
// page; whoever keeps it also answers for it describing the page as it is.
class ReplayRuns {
 public:
  static constexpr size_t kOps = 256;
  struct Run {
    uint64_t offset = 0;                  // of the run's first op
    int64_t font = -1, pen = -1, brush = -1;  // last table entry each names; -1: none
    double widestPen = 0;                 // twips
  };
  // Complete for a page of `opCount` ops.
  bool Covers(size_t opCount) const { return complete_ && runs_.size() == (opCount + kOps - 1) / kOps; }
  const Run& operator[](size_t run) const { return runs_[run]; }
  size_t size() const { return runs_.size(); }
  void Clear() {
    runs_.clear();
    complete_ = false;
  }

 private:
  friend bool Replay(const PageDocument&, PageSink&, const ReplayRuns*, ReplayRuns*);
  std::vector<Run> runs_;
  bool complete_ = false;
};

// Hands every op of `page` to `sink` in order. False when the sink stopped
// it. With `use` (covering the page) runs the sink passes over are skipped;
// `fill` is filled on the way.
bool Replay(const PageDocument& page, PageSink& sink, const ReplayRuns* use = nullptr, ReplayRuns* fill = nullptr);

}  // namespace tavelo
