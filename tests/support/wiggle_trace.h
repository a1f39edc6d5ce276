#pragma once
// A wiggle trace drawn on a test page as the trace pass draws one: the
// sections of the export and preview tests share it.

#include <functional>
#include <utility>

#include "page/page_document.h"

namespace tavelo::test {

// The (y, amplitude) of sample k, in twips.
using WiggleSample = std::function<std::pair<double, double>(int k)>;

// The polyline through (x0 + amplitude, y) of `samples` samples, after the
// positive lobes, each filled as a polygon closed on the zero line x0 (one
// still open at the last sample is not filled).
void DrawWiggleTrace(PageDocument& page, double x0, int samples, const WiggleSample& sample);

}  // namespace tavelo::test
