#pragma once
// Where the ops of a recorded page lie, so that a replay of part of the
// paper (a band of a PNG, a zoomed window of the preview, one half of a
// wide image) passes over the ops beside it without decoding their points.
// A replay given an index that does not describe its page fills it on the
// way (the boxes come with the decoding it does anyway); later replays of
// the same page use it.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <utility>
#include <vector>

#include "page/page_replay.h"

namespace tavelo {

class ReplayIndex {
 public:
  // Left, top, right, bottom in twips.
  using Box = std::array<float, 4>;
  // How a box is kept: its sides rounded outwards to 1/65534 of the paper's
  // width and height (8 bytes an op instead of 16; a page of wiggles holds
  // millions of ops). The first and last steps stand for everything beyond.
  using StoredBox = std::array<uint16_t, 4>;

  // True once a whole replay of `page`, as it is now, has filled the index.
  bool Describes(const PageDocument& page) const;
  // The box of the points of the op-th op (in op order): an empty box
  // (left > right) for an op without points, the whole plane for an op the
  // replay that filled the index did not look into.
  // The box may be a little larger than the one recorded, never smaller.
  Box BoxOf(size_t op) const;

  // Filling, by the replay: Begin, Record for the ops it decodes, Complete.
  void Begin(const PageDocument& page);
  void Record(size_t op, const Box& box) {
    if (op < boxes_.size()) boxes_[op] = Store(box);
  }
  void Complete();

  // The stretches of a long polyline (kStretchFrom points or more): each
  // the kStretchPoints segments after a resume noted by the filling replay
  // (the last one fewer), with their box. A replay of a strip across a
  // trace decodes only the stretches whose box meets it.
  static constexpr uint32_t kStretchFrom = 512;
  static constexpr uint32_t kStretchPoints = 256;
  struct Stretch {  // the k-th of its op: PointResume{data, k * kStretchPoints, hx, hy}
    uint64_t data = 0;
    int64_t hx = 0, hy = 0;
    StoredBox box{};
  };
  // Empty for an op without noted stretches.
  std::span<const Stretch> StretchesOf(size_t op) const;
  Box BoxOf(const Stretch& stretch) const { return Unstore(stretch.box); }
  // Where the k-th stretch of an op begins.
  static PointResume ResumeOf(const Stretch& stretch, size_t k) {
    return {stretch.data, static_cast<uint32_t>(k * kStretchPoints), stretch.hx, stretch.hy};
  }
  // By the filling replay, in op order: the resumes PointsOf noted every
  // kStretchPoints points of op `op`, whose points are `xy`.
  void RecordStretches(size_t op, std::span<const PointResume> resumes, std::span<const float> xy);

  // The runs of ops a replay of part of the page may pass over (filled with
  // the boxes, by the same replay), and the box of all the ops of a run.
  const ReplayRuns* Runs() const { return &runs_; }
  ReplayRuns* RunsToFill() { return &runs_; }
  Box RunBox(size_t run) const;

 private:
  const PageDocument* page_ = nullptr;
  uint64_t generation_ = 0;
  uint64_t bytes_ = 0;
  bool complete_ = false;
  double unitX_ = 1, unitY_ = 1;  // twips in one step of a stored box
  std::vector<StoredBox> boxes_;
  ReplayRuns runs_;
  std::vector<StoredBox> runBoxes_;  // one a run of ReplayRuns::kOps ops
  // The ops with stretches, in op order, with their stretches (each list
  // allocated at its size: one growing list would, while it doubles, hold
  // three times what it keeps, on the page whose memory matters most).
  std::vector<std::pair<size_t, std::vector<Stretch>>> stretchOps_;

  StoredBox Store(const Box& box) const;
  Box Unstore(const StoredBox& s) const;
};

}  // namespace tavelo
