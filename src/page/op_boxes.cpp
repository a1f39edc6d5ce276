#include "page/op_boxes.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tavelo {

namespace {

constexpr float kFar = std::numeric_limits<float>::infinity();
constexpr uint16_t kLast = 65535;       // beyond the paper's far edge (or an empty box's left and top)
constexpr uint16_t kSteps = kLast - 1;  // the paper's far edge

// Low sides (left, top): step 0 is everything before the first step.
float LowSide(uint16_t q, double unit) {
  if (q == 0) return -kFar;
  if (q == kLast) return kFar;
  return static_cast<float>(q * unit);
}

// High sides (right, bottom): the last step is everything beyond the paper.
float HighSide(uint16_t q, double unit) { return q == kLast ? kFar : static_cast<float>(q * unit); }

// Millions an export: a multiplication and truncation instead of a division
// and a library call; the loops put right what rounding got wrong.
uint16_t StoreLow(float v, double unit, double perUnit) {
  if (!(v >= unit)) return 0;  // before the first step, or not a number
  const double steps = std::min<double>(v * perUnit, kSteps);  // at least about 1: truncation rounds down
  auto q = static_cast<uint16_t>(steps);
  while (q > 0 && LowSide(q, unit) > v) --q;
  while (q < kSteps && LowSide(q + 1, unit) <= v) ++q;
  return q;
}

uint16_t StoreHigh(float v, double unit, double perUnit) {
  if (!(v <= kSteps * unit)) return kLast;  // beyond the paper, or not a number
  const double steps = std::max(0.0, v * perUnit);
  auto q = static_cast<uint16_t>(steps);
  if (q < steps) ++q;
  while (q < kLast && HighSide(q, unit) < v) ++q;
  while (q > 0 && HighSide(q - 1, unit) >= v) --q;
  return q;
}

double StepOf(double side) {
  const double u = side / kSteps;
  return u > 0 && std::isfinite(u) ? u : 1.0;
}

}  // namespace

void OpBoxes::Reset(double paperWidth, double paperHeight, bool release) {
  count_ = 0;
  fixed_ = false;
  if (release) blocks_.clear();
  FollowPaper(paperWidth, paperHeight);
}

void OpBoxes::FollowPaper(double paperWidth, double paperHeight) {
  if (fixed_) return;
  unitX_ = StepOf(paperWidth);
  unitY_ = StepOf(paperHeight);
  perUnitX_ = 1 / unitX_;
  perUnitY_ = 1 / unitY_;
}

OpBoxes::Stored OpBoxes::Store(const Box& box) const {
  if (box[0] > box[2] || box[1] > box[3]) return kEmpty;  // no points
  return {StoreLow(box[0], unitX_, perUnitX_), StoreLow(box[1], unitY_, perUnitY_), StoreHigh(box[2], unitX_, perUnitX_),
          StoreHigh(box[3], unitY_, perUnitY_)};
}

OpBoxes::Box OpBoxes::Unstore(const Stored& s) const {
  return {LowSide(s[0], unitX_), LowSide(s[1], unitY_), HighSide(s[2], unitX_), HighSide(s[3], unitY_)};
}

}  // namespace tavelo
