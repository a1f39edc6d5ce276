#pragma once
// Picking out the drawing operations of one kind from a test's record of a
// page (any record type with a `kind` member), in page order.

#include <vector>

#include "page/page_document.h"

namespace tavelo::test {

template <typename Drawn>
std::vector<Drawn> OfKind(const std::vector<Drawn>& all, OpKind kind) {
  std::vector<Drawn> out;
  for (const Drawn& d : all)
    if (d.kind == kind) out.push_back(d);
  return out;
}

}  // namespace tavelo::test
