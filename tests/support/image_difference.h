#pragma once
// How far two pictures of the same page lie apart, pixel by pixel.

#include <QImage>

namespace tavelo::test {

struct Difference {
  int largest = 0;     // in the channel that differs most
  double mean = 0;     // over all pixels
  double visible = 0;  // share of pixels differing by more than 32
};

// Pictures of different sizes differ entirely.
Difference Compare(const QImage& a, const QImage& b);

}  // namespace tavelo::test
