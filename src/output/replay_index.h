#pragma once
// What a replay of part of the paper (a band of a PNG, a zoomed window of
// the preview, one half of a wide image) needs beyond the boxes the page
// keeps of its ops (PageDocument::Boxes): the runs of ops it may pass over
// whole, with the box of each run, and the stretches of each long polyline.
// A replay given an index that does not describe its page fills it on the
// way; later replays of the same page use it.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <utility>
#include <vector>

#include "page/op_boxes.h"
#include "page/page_replay.h"

namespace tavelo {

class ReplayIndex {
 public:
  // Left, top, right, bottom in twips.
  using Box = OpBoxes::Box;
  using StoredBox = OpBoxes::Stored;

  // True once a whole replay of `page`, as it is now, has filled the index.
  bool Describes(const PageDocument& page) const;
  // The box of the points of the op-th op (in op order), as the page keeps
  // it: an empty box (left > right) for an op without points, the whole
  // plane for an op whose points a replay does not look into. Known from
  // Begin on: the filling replay passes over ops beside its part too.
  Box BoxOf(size_t op) const {
    if (!boxes_ || op >= boxes_->size()) return OpBoxes().Unstore(OpBoxes::kWhole);
    return (*boxes_)[op];
  }

  // Filling, by the replay: Begin, the stretches of the ops it decodes,
  // Complete. Stretches and runs are there for a replay once complete.
  void Begin(const PageDocument& page);
  void Complete();
  // The stretches a second replay of the same page noted while this index
  // was being filled (the other half of a wide image): each op's once.
  void AdoptStretches(ReplayIndex&& other);

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
  // Empty for an op without noted stretches, or before Complete.
  std::span<const Stretch> StretchesOf(size_t op) const;
  Box BoxOf(const Stretch& stretch) const { return boxes_->Unstore(stretch.box); }
  // Where the k-th stretch of an op begins.
  static PointResume ResumeOf(const Stretch& stretch, size_t k) {
    return {stretch.data, static_cast<uint32_t>(k * kStretchPoints), stretch.hx, stretch.hy};
  }
  // By the filling replay, in op order: the resumes PointsOf noted every
  // kStretchPoints points of op `op`, whose points are `xy`.
  void RecordStretches(size_t op, std::span<const PointResume> resumes, std::span<const float> xy);

  // The runs of ops a replay of part of the page may pass over (none
  // before Complete), and the box of all the ops of a run.
  const ReplayRuns* Runs() const { return complete_ ? &runs_ : nullptr; }
  ReplayRuns* RunsToFill() { return &runs_; }
  Box RunBox(size_t run) const;

 private:
  const PageDocument* page_ = nullptr;
  uint64_t generation_ = 0;
  uint64_t bytes_ = 0;
  bool complete_ = false;
  const OpBoxes* boxes_ = nullptr;  // the page's, from Begin on
  size_t opCount_ = 0;
  ReplayRuns runs_;
  std::vector<StoredBox> runBoxes_;  // one a run of ReplayRuns::kOps ops
  // The ops with stretches, in op order, with their stretches (each list
  // allocated at its size: one growing list would, while it doubles, hold
  // three times what it keeps, on the page whose memory matters most).
  std::vector<std::pair<size_t, std::vector<Stretch>>> stretchOps_;
};

}  // namespace tavelo
