#include "output/replay_index.h"

#include <limits>

#include "page/page_document.h"

namespace tavelo {

bool ReplayIndex::Describes(const PageDocument& page) const {
  return complete_ && &page == page_ && page.Generation() == generation_ && page.RecordedBytes() == bytes_ &&
         page.ops().size() == boxes_.size();
}

void ReplayIndex::Begin(const PageDocument& page) {
  page_ = &page;
  generation_ = page.Generation();
  bytes_ = page.RecordedBytes();
  complete_ = false;
  constexpr float kFar = std::numeric_limits<float>::infinity();
  boxes_.assign(page.ops().size(), Box{-kFar, -kFar, kFar, kFar});
}

}  // namespace tavelo
