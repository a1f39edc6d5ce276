#pragma once
// The amplitude palette's three procedures: loading the 16 colours from the
// main application's settings file (Lecture_INI_Couleur), giving one sample
// its colour or grey level (Recherche_couleur), and interpolating the 16
// colours from the three anchor boxes of the Tools tab (calcul_RGB).

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "settings/plot_settings.h"

namespace tavelo {

class Form;

// Colours put into the whole palette when colour 6 is found below 1000:
// dark blue for the strongest negative amplitudes to dark red.
extern const std::array<int32_t, 16> kReplacementAmplitudeColors;

// red + 256 * green + 65536 * blue; a component above 255 counts as 255, one
// below 0 as 0.
int32_t RgbColor(int32_t red, int32_t green, int32_t blue);

// Grey level n: red, green and blue all n.
inline int32_t GreyColor(int32_t level) { return RgbColor(level, level, level); }

// Lecture_INI_Couleur: reads "Amplitude1".."Amplitude16" of section
// "KORVANE" afresh from the file behind `korvane` (the in-memory profile
// when it names no file), with the built-in defaults. A value that does
// not fit 32 bits leaves its colour as it was.
void Lecture_INI_Couleur(const ProfileFile& korvane, AmplitudePalette& palette);

// Recherche_couleur: the colour of one scaled sample amplitude. Multiplies
// `amplitude` by 10 in place. Puts the replacement set into the palette
// when colour 6 is below 1000. Display type "color" (exactly) uses the
// palette; any other uses the grey scale. `maxAmplitude` sets the bands.
void Recherche_couleur(double& amplitude, int32_t& colour, AmplitudePalette& palette,
                       const std::string& displayType, float maxAmplitude);

// calcul_RGB: reads the nine component boxes (Text120..Text128: anchors A,
// B and C as red, green, blue), repaints the three anchor boxes and the 16
// small boxes, and sets colours 1 to 16: A, six steps to B, B twice, six
// steps to C, C.
void calcul_RGB(Form& form, AmplitudePalette& palette);

// The component box rule when a component box is left: a value above 255
// becomes "255"; then calcul_RGB.
void LeaveComponentBox(Form& form, AmplitudePalette& palette, std::string_view box);

// Fills an anchor's three component boxes from a colour value (red, green,
// blue as decimal text without a blank).
void SetAnchorComponents(Form& form, int anchor, int32_t colour);

}  // namespace tavelo
