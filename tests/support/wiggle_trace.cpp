#include "support/wiggle_trace.h"

#include <span>
#include <vector>

namespace tavelo::test {

void DrawWiggleTrace(PageDocument& page, double x0, int samples, const WiggleSample& sample) {
  std::vector<float> wiggle, lobe;
  for (int k = 0; k < samples; ++k) {
    const auto [y, a] = sample(k);
    wiggle.insert(wiggle.end(), {static_cast<float>(x0 + a), static_cast<float>(y)});
    if (a > 0) {
      if (lobe.empty()) lobe.insert(lobe.end(), {static_cast<float>(x0), static_cast<float>(y)});
      lobe.insert(lobe.end(), {static_cast<float>(x0 + a), static_cast<float>(y)});
    } else if (!lobe.empty()) {
      lobe.insert(lobe.end(), {static_cast<float>(x0), static_cast<float>(y)});
      page.DrawPolygon(std::span<const float>(lobe));
      lobe.clear();
    }
  }
  page.DrawPolyline(std::span<const float>(wiggle));
}

}  // namespace tavelo::test
