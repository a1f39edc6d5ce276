#include "support/image_difference.h"

#include <QColor>

#include <algorithm>
#include <cstdlib>

namespace tavelo::test {

Difference Compare(const QImage& a, const QImage& b) {
  Difference d;
  if (a.size() != b.size()) return {255, 255, 1};
  double sum = 0;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x) {
      const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
      const int e = std::max({std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                              std::abs(qBlue(p) - qBlue(q))});
      d.largest = std::max(d.largest, e);
      sum += e;
      if (e > 32) d.visible += 1;
    }
  d.mean = sum / (static_cast<double>(a.width()) * a.height());
  d.visible /= static_cast<double>(a.width()) * a.height();
  return d;
}

}  // namespace tavelo::test
