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

  StoredBox Store(const Box& box) const;
};

}  // namespace tavelo
