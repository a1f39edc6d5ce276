#pragma once
// Page units: twips (1440 per inch). Fields hold millimetres; every
// conversion multiplies by 56.7 (not 56.6929...), so pages keep the
// positions stored files and earlier plots have.

namespace tavelo {
inline constexpr double kTwipsPerMm = 56.7;
inline constexpr double kTwipsPerInch = 1440.0;
}  // namespace tavelo
