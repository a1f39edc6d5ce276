#include "output/replay_index.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "page/page_document.h"

namespace tavelo {

namespace {

constexpr float kFar = std::numeric_limits<float>::infinity();
constexpr uint16_t kLast = 65535;     // beyond the paper's far edge (or an empty box's left and top)
constexpr uint16_t kSteps = kLast - 1;  // the paper's far edge

// Low sides (left, top): step 0 is everything before the first step.
float LowSide(uint16_t q, double unit) {
  if (q == 0) return -kFar;
  if (q == kLast) return kFar;
  return static_cast<float>(q * unit);
}

// High sides (right, bottom): the last step is everything beyond the paper.
float HighSide(uint16_t q, double unit) { return q == kLast ? kFar : static_cast<float>(q * unit); }

uint16_t StoreLow(float v, double unit) {
  if (!(v >= unit)) return 0;  // before the first step, or not a number
  auto q = static_cast<uint16_t>(std::min<double>(std::floor(v / unit), kSteps));
  while (q > 0 && LowSide(q, unit) > v) --q;
  return q;
}

uint16_t StoreHigh(float v, double unit) {
  if (!(v <= kSteps * unit)) return kLast;  // beyond the paper, or not a number
  auto q = static_cast<uint16_t>(std::max(0.0, std::ceil(v / unit)));
  while (q < kLast && HighSide(q, unit) < v) ++q;
  return q;
}

}  // namespace

ReplayIndex::Box ReplayIndex::Unstore(const StoredBox& s) const {
  return {LowSide(s[0], unitX_), LowSide(s[1], unitY_), HighSide(s[2], unitX_), HighSide(s[3], unitY_)};
}

ReplayIndex::Box ReplayIndex::BoxOf(size_t op) const { return Unstore(boxes_[op]); }

ReplayIndex::Box ReplayIndex::RunBox(size_t run) const {
  if (run >= runBoxes_.size()) return {-kFar, -kFar, kFar, kFar};
  return Unstore(runBoxes_[run]);
}

std::span<const ReplayIndex::Stretch> ReplayIndex::StretchesOf(size_t op) const {
  const auto at = std::lower_bound(stretchOps_.begin(), stretchOps_.end(), op,
                                   [](const auto& entry, size_t n) { return entry.first < n; });
  if (at == stretchOps_.end() || at->first != op) return {};
  return at->second;
}

void ReplayIndex::RecordStretches(size_t op, std::span<const PointResume> resumes, std::span<const float> xy) {
  if (resumes.empty() || (!stretchOps_.empty() && stretchOps_.back().first >= op)) return;
  const size_t points = xy.size() / 2;
  std::vector<Stretch> stretches;
  stretches.reserve(resumes.size());
  for (size_t k = 0; k < resumes.size(); ++k) {
    const PointResume& from = resumes[k];
    // Its segments: from its first point to the first of the next stretch.
    const size_t begin = from.point, end = std::min<size_t>(begin + kStretchPoints, points - 1);
    if (begin >= points || begin != k * kStretchPoints) break;
    Box box{xy[2 * begin], xy[2 * begin + 1], xy[2 * begin], xy[2 * begin + 1]};
    for (size_t i = begin + 1; i <= end; ++i) {
      const float x = xy[2 * i], y = xy[2 * i + 1];
      if (std::isnan(x) || std::isnan(y)) {
        box = {-kFar, -kFar, kFar, kFar};
        break;
      }
      box = {std::min(box[0], x), std::min(box[1], y), std::max(box[2], x), std::max(box[3], y)};
    }
    if (std::isnan(box[0]) || std::isnan(box[1])) box = {-kFar, -kFar, kFar, kFar};
    stretches.push_back({from.data, from.hx, from.hy, Store(box)});
  }
  if (!stretches.empty()) stretchOps_.emplace_back(op, std::move(stretches));
}

void ReplayIndex::Complete() {
  complete_ = true;
  // Stored sides keep their order, so the union is taken on them; an op
  // without points (stored as {kLast, kLast, 0, 0}) adds nothing.
  const size_t runs = (boxes_.size() + ReplayRuns::kOps - 1) / ReplayRuns::kOps;
  runBoxes_.assign(runs, StoredBox{kLast, kLast, 0, 0});
  for (size_t op = 0; op < boxes_.size(); ++op) {
    const StoredBox& b = boxes_[op];
    if (b[0] == kLast && b[1] == kLast && b[2] == 0 && b[3] == 0) continue;
    StoredBox& u = runBoxes_[op / ReplayRuns::kOps];
    if (u[0] == kLast && u[1] == kLast && u[2] == 0 && u[3] == 0) {
      u = b;
      continue;
    }
    u = {std::min(u[0], b[0]), std::min(u[1], b[1]), std::max(u[2], b[2]), std::max(u[3], b[3])};
  }
}

ReplayIndex::StoredBox ReplayIndex::Store(const Box& box) const {
  if (box[0] > box[2] || box[1] > box[3]) return {kLast, kLast, 0, 0};  // no points
  return {StoreLow(box[0], unitX_), StoreLow(box[1], unitY_), StoreHigh(box[2], unitX_), StoreHigh(box[3], unitY_)};
}

bool ReplayIndex::Describes(const PageDocument& page) const {
  return complete_ && &page == page_ && page.Generation() == generation_ && page.RecordedBytes() == bytes_ &&
         page.ops().size() == boxes_.size();
}

void ReplayIndex::Begin(const PageDocument& page) {
  page_ = &page;
  generation_ = page.Generation();
  bytes_ = page.RecordedBytes();
  complete_ = false;
  runs_.Clear();
  runBoxes_.clear();
  stretchOps_.clear();
  const auto unit = [](double side) {
    const double u = side / kSteps;
    return u > 0 && std::isfinite(u) ? u : 1.0;
  };
  unitX_ = unit(page.PageWidth());
  unitY_ = unit(page.PageHeight());
  boxes_.assign(page.ops().size(), StoredBox{0, 0, kLast, kLast});
}

}  // namespace tavelo
