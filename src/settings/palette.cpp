#include "settings/palette.h"

#include <algorithm>
#include <cmath>

#include "common/numeric.h"
#include "settings/form.h"
#include "settings/form_fields.h"

namespace tavelo {

const std::array<int32_t, 16> kReplacementAmplitudeColors{
    7604737,  6882062,  15402782, 16328766, 16408431, 16549779, 16626618, 16776187,
    16776187, 16776187, 11581155, 7107555,  4475867,  2634197,  2634197,  1975449};

int32_t RgbColor(int32_t red, int32_t green, int32_t blue) {
  // Negative components are not refused by the boxes; they count as 0
  // rather than spilling into the neighbouring component.
  auto clamp = [](int32_t v) { return std::clamp(v, 0, 255); };
  return clamp(red) + 256 * clamp(green) + 65536 * clamp(blue);
}

void Lecture_INI_Couleur(const ProfileFile& korvane, AmplitudePalette& palette) {
  // The main application may have changed its file since start-up: each
  // colour build reads the file itself, not our copy of it.
  ProfileFile fresh(korvane.path());
  const ProfileFile* source = &korvane;
  if (!korvane.path().empty()) {
    (void)fresh.Load();  // unreadable: every colour takes its default
    source = &fresh;
  }
  for (int k = 1; k <= 16; ++k) {
    const std::string def = IntegerText(kDefaultAmplitudeColors[static_cast<size_t>(k - 1)]);
    const std::string text = source->Get(kKorvaneSection, "Amplitude" + std::to_string(k), def);
    AssignIfFits(palette.colors[static_cast<size_t>(k - 1)], LeadingNumber(text));
  }
}

void Recherche_couleur(double& amplitude, int32_t& colour, AmplitudePalette& palette,
                       const std::string& displayType, float maxAmplitude) {
  amplitude *= 10;
  const double a = amplitude;
  if (palette.colors[5] < 1000) palette.colors = kReplacementAmplitudeColors;

  // Band bounds M * k / 8, each rounded to single precision before the
  // comparison, so a sample lying on a bound always takes the same band.
  float bound[9];
  for (int k = 1; k <= 8; ++k) bound[k] = maxAmplitude * static_cast<float>(k) / 8.0f;

  const bool useColours = displayType == "color";
  if (a <= 0) {
    const double m = -a;
    int k = 9;  // past every bound: the strongest band
    if (m == 0) {
      k = 0;
    } else {
      for (int b = 1; b <= 8; ++b) {
        if (m < bound[b]) {
          k = b;
          break;
        }
      }
    }
    // k = 0 for zero, 1..8 for the bands, 9 beyond the last bound.
    if (useColours)
      colour = palette.colors[static_cast<size_t>(std::max(9 - k, 1) - 1)];
    else
      colour = GreyColor(std::min(127 + 16 * k, 255));
    return;
  }
  int k = 8;  // at or beyond bound 7: the open top band
  for (int b = 1; b <= 7; ++b) {
    if (a < bound[b]) {
      k = b;
      break;
    }
  }
  if (useColours)
    colour = palette.colors[static_cast<size_t>(8 + k - 1)];
  else
    colour = GreyColor(127 - 16 * (k - 1));
}

namespace {

// A component as the box reads: the leading number rounded to 16 bits, 0
// when it does not fit.
int32_t Component(const Form& form, int box) {
  return ToInt16(form.Number(PaletteField(box))).value_or(0);
}

struct Rgb {
  int32_t r = 0, g = 0, b = 0;
};

// The n-th of seven steps from one anchor to the next, per component. The
// result lies between the two anchors, so it always fits.
Rgb Step(const Rgb& from, const Rgb& to, int n) {
  auto one = [n](int32_t f, int32_t t) {
    return static_cast<int32_t>(RoundHalfEven(f + static_cast<double>(t - f) / 7.0 * n));
  };
  return {one(from.r, to.r), one(from.g, to.g), one(from.b, to.b)};
}

int32_t ToColour(const Rgb& c) { return RgbColor(c.r, c.g, c.b); }

Rgb Split(int32_t colour) {
  const int64_t u = static_cast<int64_t>(static_cast<uint32_t>(colour));
  return {static_cast<int32_t>(u % 256), static_cast<int32_t>((u / 256) % 256),
          static_cast<int32_t>(u / 65536)};
}

}  // namespace

void SetAnchorComponents(Form& form, int anchor, int32_t colour) {
  if (anchor < 0 || anchor > 2) return;
  const Rgb c = Split(colour);
  form.SetText(PaletteField(120 + 3 * anchor), IntegerText(c.r));
  form.SetText(PaletteField(121 + 3 * anchor), IntegerText(c.g));
  form.SetText(PaletteField(122 + 3 * anchor), IntegerText(c.b));
}

void calcul_RGB(Form& form, AmplitudePalette& palette) {
  Rgb anchor[3];
  for (int a = 0; a < 3; ++a)
    anchor[a] = {Component(form, 120 + 3 * a), Component(form, 121 + 3 * a),
                 Component(form, 122 + 3 * a)};
  for (int a = 0; a < 3; ++a) {
    const FieldName box = PaletteField(117 + a);
    form.SetBackColor(box, ToColour(anchor[a]));
    form.SetText(box, IntegerText(form.BackColor(box)));
  }

  const Rgb& A = anchor[0];
  const Rgb& B = anchor[1];
  const Rgb& C = anchor[2];
  auto& colors = palette.colors;
  colors[0] = ToColour(A);
  for (int n = 1; n <= 6; ++n) colors[static_cast<size_t>(n)] = ToColour(Step(A, B, n));
  colors[7] = ToColour(B);
  colors[8] = ToColour(B);
  for (int n = 1; n <= 6; ++n) colors[static_cast<size_t>(8 + n)] = ToColour(Step(B, C, n));
  colors[15] = ToColour(C);

  for (int k = 0; k < 16; ++k) form.SetBackColor(PaletteField(101 + k), colors[static_cast<size_t>(k)]);
}

void LeaveComponentBox(Form& form, AmplitudePalette& palette, std::string_view box) {
  if (form.Number(box) > 255) form.SetText(box, "255");
  calcul_RGB(form, palette);
}

}  // namespace tavelo
