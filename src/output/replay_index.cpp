#include "output/replay_index.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>

#include "page/page_document.h"

namespace tavelo {

namespace {

constexpr float kFar = std::numeric_limits<float>::infinity();

}  // namespace

ReplayIndex::Box ReplayIndex::RunBox(size_t run) const {
  if (run >= runBoxes_.size()) return {-kFar, -kFar, kFar, kFar};
  return boxes_->Unstore(runBoxes_[run]);
}

std::span<const ReplayIndex::Stretch> ReplayIndex::StretchesOf(size_t op) const {
  if (!complete_) return {};
  const auto at = std::lower_bound(stretchOps_.begin(), stretchOps_.end(), op,
                                   [](const auto& entry, size_t n) { return entry.first < n; });
  if (at == stretchOps_.end() || at->first != op) return {};
  return at->second;
}

void ReplayIndex::RecordStretches(size_t op, std::span<const PointResume> resumes, std::span<const float> xy) {
  if (!boxes_ || resumes.empty() || (!stretchOps_.empty() && stretchOps_.back().first >= op)) return;
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
    stretches.push_back({from.data, from.hx, from.hy, boxes_->Store(box)});
  }
  if (!stretches.empty()) stretchOps_.emplace_back(op, std::move(stretches));
}

void ReplayIndex::AdoptStretches(ReplayIndex&& other) {
  if (other.stretchOps_.empty()) return;
  // Both lists run in op order; an op both noted (a trace across the
  // middle of the image) is kept once.
  std::vector<std::pair<size_t, std::vector<Stretch>>> merged;
  merged.reserve(stretchOps_.size() + other.stretchOps_.size());
  auto a = stretchOps_.begin(), b = other.stretchOps_.begin();
  while (a != stretchOps_.end() || b != other.stretchOps_.end()) {
    if (b == other.stretchOps_.end() || (a != stretchOps_.end() && a->first <= b->first)) {
      if (b != other.stretchOps_.end() && b->first == a->first) ++b;
      merged.push_back(std::move(*a++));
    } else {
      merged.push_back(std::move(*b++));
    }
  }
  stretchOps_ = std::move(merged);
  other.stretchOps_.clear();
}

void ReplayIndex::Complete() {
  if (!boxes_) return;
  complete_ = true;
  // Stored sides keep their order, so the union is taken on them; an op
  // without points adds nothing.
  const size_t runs = (opCount_ + ReplayRuns::kOps - 1) / ReplayRuns::kOps;
  // A page that keeps no boxes: every run may reach everywhere.
  if (boxes_->size() != opCount_) {
    runBoxes_.assign(runs, OpBoxes::kWhole);
    return;
  }
  const size_t ops = opCount_;
  runBoxes_.assign(runs, OpBoxes::kEmpty);
  for (size_t op = 0; op < ops; ++op) {
    const StoredBox& b = boxes_->StoredAt(op);
    if (OpBoxes::IsEmpty(b)) continue;
    StoredBox& u = runBoxes_[op / ReplayRuns::kOps];
    if (OpBoxes::IsEmpty(u)) {
      u = b;
      continue;
    }
    u = {std::min(u[0], b[0]), std::min(u[1], b[1]), std::max(u[2], b[2]), std::max(u[3], b[3])};
  }
}

bool ReplayIndex::Describes(const PageDocument& page) const {
  return complete_ && &page == page_ && page.Generation() == generation_ && page.RecordedBytes() == bytes_ &&
         page.ops().size() == opCount_;
}

void ReplayIndex::Begin(const PageDocument& page) {
  page_ = &page;
  generation_ = page.Generation();
  bytes_ = page.RecordedBytes();
  complete_ = false;
  boxes_ = &page.Boxes();
  opCount_ = page.ops().size();
  runs_.Clear();
  runBoxes_.clear();
  stretchOps_.clear();
}

}  // namespace tavelo
