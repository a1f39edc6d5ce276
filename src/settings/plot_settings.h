#pragma once
// The shared plot parameters that are not window fields, and the two
// settings files that keep them between runs: the program's own
// "TAVELO3.ini" (section "Draw_Parameter") and the main application's
// "Korvane.ini" (section "KORVANE": language and amplitude palette).

#include <array>
#include <cstdint>
#include <string>

#include "common/units.h"
#include "settings/profile.h"

namespace tavelo {

class Form;

struct PlotSettings {
  int16_t DiagramLineWidth = 1;      // fold, statics, elevation line width
  int16_t TopoLineWidth = 1;         // topography line width
  int32_t TopoLineColor = 32768;     // green 128
  int32_t StaticLineColor = 255;     // red 255
  int32_t FoldLineColor = 8388608;   // blue 128
  int32_t FoldFillColor = 8421504;   // grey 128
  int16_t FoldTop = 65;              // twips from page top to the fold graph
  int16_t ElevationTop = 40;         // ... to the elevation graph
  int16_t StaticsTop = 25;           // ... to the statics graph
  int16_t SectionTop = 125;          // ... to the seismic section
  std::string GraphicsProgramPath = " ";
  int32_t PlotScale = 20000;         // 1 : PlotScale
  double TraceSizeFactor = 1;
  int16_t DiagramHeight = 800;       // twips
  int16_t FoldMaximum = 50;          // 0 = fold header values
  double TimeToDraw = 0;             // ms
  double TimeLineSpacing = 100;      // ms
  double LabelSpacing = 5;           // CDPs or traces
  std::string DisplayType = "normal";
  int32_t FirstLabel = 10;
  std::string LeftOrientation = "West";
  std::string RightOrientation = "East";
  std::string LanguageCode = "E";
  int32_t PlotWidthTwips = 2000;     // worked out when saving
  int32_t PlotHeightTwips = 2000;
};

// The amplitude palette: colour 1 for the strongest negative amplitudes,
// 9 for zero, 16 for the strongest positive (index 0 holds colour 1).
struct AmplitudePalette {
  std::array<int32_t, 16> colors{};
  AmplitudePalette();
};

// Defaults of "Amplitude1".."Amplitude16" when the key or file is missing.
extern const std::array<int32_t, 16> kDefaultAmplitudeColors;

// Where the two profile files live: $KORVANE_CONFIG_DIR, else
// $XDG_CONFIG_HOME/korvane, else ~/.config/korvane (overridden by
// --settings-dir).
std::string DefaultSettingsFolder();

struct SettingsFiles {
  ProfileFile tavelo;   // TAVELO3.ini
  ProfileFile korvane;  // Korvane.ini
  // Points both files into the folder and reads them.
  void Open(const std::string& folder);
};

inline constexpr const char* kTaveloSection = "Draw_Parameter";
inline constexpr const char* kKorvaneSection = "KORVANE";

// Reads every parameter in the settings file's order, filling the shared values
// and the window fields (whose change handlers run as they are written).
void LoadSettings(SettingsFiles& files, PlotSettings& settings, AmplitudePalette& palette,
                  Form& form);

// Paints the palette boxes from the palette: the 16 small boxes, anchors A
// (colour 1), B (colour 8) and C (colour 16) and their component fields.
void PaintPaletteBoxes(const AmplitudePalette& palette, Form& form);

// Writes every parameter in the settings file's order and formats, one atomic
// write per file. Returns false when a file could not be written.
[[nodiscard]] bool SaveSettings(SettingsFiles& files, PlotSettings& settings, Form& form,
                  std::string* error = nullptr);

}  // namespace tavelo
