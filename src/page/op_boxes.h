#pragma once
// Where each op of a page lies, kept while the page is recorded: the box of
// a point list's points, each side rounded outwards to 1/65534 of the
// paper's width and height (8 bytes an op instead of 16; a page of wiggles
// holds millions of ops). A replay of part of the paper (a half of a wide
// image, a band of a PNG, a tile of the preview) passes over the ops beside
// it without decoding their points, from the page's first replay on.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace tavelo {

class OpBoxes {
 public:
  // Left, top, right, bottom in twips.
  using Box = std::array<float, 4>;
  // A box as kept. The first and last steps stand for everything beyond.
  using Stored = std::array<uint16_t, 4>;

  // Forgets every box; the steps follow the paper given until the first
  // box of points is kept (a dump names its paper after the page begins).
  void Reset(double paperWidth, double paperHeight, bool release);
  void FollowPaper(double paperWidth, double paperHeight);
  // Whether boxes are kept at all (8 bytes an op that an export which never
  // replays part of the page does not need). Off, the list stays empty and
  // a replay finds no box to pass an op over by.
  void SetKept(bool kept) {
    kept_ = kept;
    if (!kept_) {
      count_ = 0;
      blocks_.clear();
    }
  }
  bool Kept() const { return kept_; }

  // An op whose marks a replay does not look into (text, a line, cells):
  // the whole plane.
  void AddWhole() { Push(kWhole); }
  // An op that marks nothing (a change of pen, brush or font).
  void AddEmpty() { Push(kEmpty); }
  // An op of points with this box; an empty box (left > right) for none.
  void Add(const Box& box) {
    if (!kept_) return;
    fixed_ = true;
    Push(Store(box));
  }

  size_t size() const { return count_; }
  // The box of the op-th op: never smaller than the one kept, at most a
  // step larger on each side.
  Box operator[](size_t op) const { return Unstore(StoredAt(op)); }
  const Stored& StoredAt(size_t op) const { return blocks_[op / kBlockBoxes][op % kBlockBoxes]; }

  Stored Store(const Box& box) const;
  Box Unstore(const Stored& s) const;
  // A stored box of no points.
  static bool IsEmpty(const Stored& s) { return s == kEmpty; }
  static constexpr Stored kEmpty{65535, 65535, 0, 0};
  static constexpr Stored kWhole{0, 0, 65535, 65535};

 private:
  // Fixed-size blocks: the list grows without copying (or doubling its
  // memory for a moment) on the page whose memory matters most.
  static constexpr size_t kBlockBoxes = 65536;

  void Push(const Stored& s) {
    if (!kept_) return;
    if (count_ == blocks_.size() * kBlockBoxes) blocks_.push_back(std::make_unique<Stored[]>(kBlockBoxes));
    blocks_[count_ / kBlockBoxes][count_ % kBlockBoxes] = s;
    ++count_;
  }

  double unitX_ = 1, unitY_ = 1;        // twips in one step
  double perUnitX_ = 1, perUnitY_ = 1;  // steps in one twip
  bool fixed_ = false;             // a box of points is kept in these steps
  bool kept_ = true;
  std::vector<std::unique_ptr<Stored[]>> blocks_;
  size_t count_ = 0;
};

}  // namespace tavelo
