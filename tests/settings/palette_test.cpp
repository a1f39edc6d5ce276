// The amplitude palette: the colour and grey bands of Recherche_couleur, the
// replacement set, loading from Korvane.ini, the anchor interpolation and
// the palette boxes' events.

#include <gtest/gtest.h>

#include <string>

#include "support/scripted_dialogs.h"
#include "program/palette_handlers.h"
#include "program/state.h"
#include "settings/form.h"
#include "settings/form_fields.h"
#include "settings/palette.h"
#include "support/su_writer.h"

namespace tavelo {
namespace {

// Colour number (1..16) Recherche_couleur picks from the default palette for
// a sample amplitude, 0 when it is no palette colour.
int ColourNumber(double amplitude, float maxAmplitude, const std::string& type = "color") {
  AmplitudePalette palette;
  int32_t colour = -1;
  Recherche_couleur(amplitude, colour, palette, type, maxAmplitude);
  for (int k = 0; k < 16; ++k)
    if (palette.colors[static_cast<size_t>(k)] == colour) return k + 1;
  return 0;
}

// Grey level picked for a sample amplitude, -1 when the colour is no grey.
int GreyLevel(double amplitude, float maxAmplitude, const std::string& type = "grey") {
  AmplitudePalette palette;
  int32_t colour = -1;
  Recherche_couleur(amplitude, colour, palette, type, maxAmplitude);
  const int level = colour % 256;
  return colour == GreyColor(level) ? level : -1;
}

// Recherche_couleur multiplies the amplitude by 10 first, so an amplitude
// of 0.1 is a = 1.
TEST(RechercheCouleur, ColourBandsAroundTheMaximum) {
  EXPECT_EQ(ColourNumber(0.1, 8), 10);  // a bound belongs to the next band
  EXPECT_EQ(ColourNumber(-0.1, 8), 7);
  EXPECT_EQ(ColourNumber(0.7, 8), 16);
  EXPECT_EQ(ColourNumber(-0.7, 8), 1);
  EXPECT_EQ(ColourNumber(-0.9, 8), 1);
  EXPECT_EQ(ColourNumber(10, 8), 16);
  EXPECT_EQ(ColourNumber(0.0999, 8), 9);
  EXPECT_EQ(ColourNumber(0.6999, 8), 15);
  EXPECT_EQ(ColourNumber(-0.7999, 8), 1);  // m < t(8)
  EXPECT_EQ(ColourNumber(-0.6999, 8), 2);
  // Zero shares its colour with the weakest positive band; a tiny negative
  // amplitude is the weakest negative band.
  EXPECT_EQ(ColourNumber(0, 8), 9);
  EXPECT_EQ(ColourNumber(1e-9, 8), 9);
  EXPECT_EQ(ColourNumber(-1e-9, 8), 8);
  // No maximum: every amplitude saturates.
  EXPECT_EQ(ColourNumber(-0.1, 0), 1);
  EXPECT_EQ(ColourNumber(0, 0), 9);
  EXPECT_EQ(ColourNumber(0.1, 0), 16);

  double amplitude = -0.25;
  int32_t colour = 0;
  AmplitudePalette palette;
  Recherche_couleur(amplitude, colour, palette, "color", 8);
  EXPECT_DOUBLE_EQ(amplitude, -2.5);  // multiplied in place
}

TEST(RechercheCouleur, GreyScaleForEveryOtherDisplayType) {
  EXPECT_EQ(GreyLevel(0, 8), 127);
  EXPECT_EQ(GreyLevel(-1e-9, 8), 143);
  EXPECT_EQ(GreyLevel(1e-9, 8), 127);
  EXPECT_EQ(GreyLevel(0.1, 8), 111);
  EXPECT_EQ(GreyLevel(-0.1, 8), 159);
  EXPECT_EQ(GreyLevel(0.65, 8), 31);
  EXPECT_EQ(GreyLevel(0.7, 8), 15);
  EXPECT_EQ(GreyLevel(-0.7, 8), 255);
  EXPECT_EQ(GreyLevel(-0.65, 8), 239);
  EXPECT_EQ(GreyLevel(-0.9, 8), 255);
  // Only the exact word "color" takes the palette.
  EXPECT_EQ(GreyLevel(0.1, 8, "Color"), 111);
  EXPECT_EQ(GreyLevel(0.1, 8, "wa"), 111);
  EXPECT_EQ(GreyLevel(0.1, 8, ""), 111);
}

TEST(RechercheCouleur, BoundsAreSinglePrecision) {
  // With M = 0.1f the fifth bound is exactly 0.0625 in single precision
  // (0.0625000009 in double): a = 0.0625 is past it.
  double amplitude = 0.00625;
  ASSERT_EQ(amplitude * 10, 0.0625);
  EXPECT_EQ(ColourNumber(0.00625, 0.1f), 14);
  EXPECT_EQ(ColourNumber(-0.00625, 0.1f), 3);
}

TEST(RechercheCouleur, ColourSixBelow1000BringsTheReplacementSet) {
  AmplitudePalette palette;
  palette.colors[5] = 500;
  double amplitude = 0;
  int32_t colour = 0;
  Recherche_couleur(amplitude, colour, palette, "grey", 8);  // checked for any type
  EXPECT_EQ(palette.colors, kReplacementAmplitudeColors);
  EXPECT_EQ(colour, GreyColor(127));
  amplitude = 0;
  Recherche_couleur(amplitude, colour, palette, "color", 8);
  EXPECT_EQ(colour, 16776187);  // replacement colour 9

  AmplitudePalette kept;
  kept.colors[5] = 1000;
  const auto before = kept.colors;
  amplitude = 0.1;
  Recherche_couleur(amplitude, colour, kept, "color", 8);
  EXPECT_EQ(kept.colors, before);
  EXPECT_EQ(colour, kDefaultAmplitudeColors[9]);

  AmplitudePalette negative;
  negative.colors[5] = -1;  // signed comparison
  Recherche_couleur(amplitude, colour, negative, "color", 8);
  EXPECT_EQ(negative.colors, kReplacementAmplitudeColors);
}

TEST(LectureIniCouleur, ReadsTheFileAfreshWithTheDefaults) {
  const std::string dir = test::TempDir();
  const std::string path = dir + "/Korvane.ini";
  ASSERT_TRUE(test::WriteBytes(path, "[KORVANE]\r\nAmplitude1=7\r\nAmplitude6=500\r\n"));
  ProfileFile korvane(path);
  ASSERT_TRUE(korvane.Load());
  AmplitudePalette palette;
  palette.colors.fill(-1);
  Lecture_INI_Couleur(korvane, palette);
  EXPECT_EQ(palette.colors[0], 7);
  EXPECT_EQ(palette.colors[5], 500);
  for (int k = 2; k <= 16; ++k) {
    if (k == 6) continue;
    EXPECT_EQ(palette.colors[static_cast<size_t>(k - 1)],
              kDefaultAmplitudeColors[static_cast<size_t>(k - 1)])
        << k;
  }
  // The first classified sample then brings the replacement set.
  double amplitude = 0;
  int32_t colour = 0;
  Recherche_couleur(amplitude, colour, palette, "color", 1);
  EXPECT_EQ(palette.colors, kReplacementAmplitudeColors);

  // Changed on disk since the profile was read: the file wins. Values are
  // rounded half to even; one too large for 32 bits leaves its colour.
  ASSERT_TRUE(test::WriteBytes(
      path, "[korvane]\nAMPLITUDE1 = 12.5\nAmplitude2=99999999999\nAmplitude16=255abc\n"));
  Lecture_INI_Couleur(korvane, palette);
  EXPECT_EQ(palette.colors[0], 12);
  EXPECT_EQ(palette.colors[1], kReplacementAmplitudeColors[1]);
  EXPECT_EQ(palette.colors[5], kDefaultAmplitudeColors[5]);
  EXPECT_EQ(palette.colors[15], 255);
  EXPECT_EQ(korvane.Get("KORVANE", "Amplitude1", ""), "7");  // our copy is left alone

  // No file at all: the defaults.
  ProfileFile missing(dir + "/none/Korvane.ini");
  Lecture_INI_Couleur(missing, palette);
  EXPECT_EQ(palette.colors, kDefaultAmplitudeColors);
}

// Components of the nine boxes, then calcul_RGB.
void SetAnchors(Form& form, const int (&rgb)[9]) {
  for (int i = 0; i < 9; ++i) form.SetText(PaletteField(120 + i), std::to_string(rgb[i]));
}

TEST(CalculRgb, SevenStepsBetweenAnchors) {
  Form form;
  AmplitudePalette palette;
  SetAnchors(form, {0, 0, 0, 255, 255, 255, 0, 0, 255});
  calcul_RGB(form, palette);
  const int steps[6] = {36, 73, 109, 146, 182, 219};
  EXPECT_EQ(palette.colors[0], 0);
  for (int n = 0; n < 6; ++n)
    EXPECT_EQ(palette.colors[static_cast<size_t>(n + 1)], GreyColor(steps[n])) << n;
  EXPECT_EQ(palette.colors[7], 16777215);
  EXPECT_EQ(palette.colors[8], 16777215);
  // White to blue: red and green fall by 255 / 7 per step, blue stays.
  EXPECT_EQ(palette.colors[9], RgbColor(219, 219, 255));
  EXPECT_EQ(palette.colors[14], RgbColor(36, 36, 255));
  EXPECT_EQ(palette.colors[15], RgbColor(0, 0, 255));
  for (int k = 0; k < 16; ++k)
    EXPECT_EQ(form.BackColor(PaletteField(101 + k)), palette.colors[static_cast<size_t>(k)]);
  EXPECT_EQ(form.BackColor(PaletteField(118)), 16777215);
  EXPECT_EQ(form.Text(PaletteField(118)), "16777215");
  EXPECT_EQ(form.Text(PaletteField(119)), "16711680");

  // Components above 255 count as 255 in a colour but steer the steps;
  // text that is no number reads 0; negative components count as 0.
  SetAnchors(form, {300, 0, 0, 0, 0, 0, 0, -40, 0});
  form.SetText(PaletteField(121), "abc");
  calcul_RGB(form, palette);
  EXPECT_EQ(palette.colors[0], RgbColor(255, 0, 0));
  EXPECT_EQ(palette.colors[1], RgbColor(255, 0, 0));  // 300 - 300/7 = 257, counted as 255
  EXPECT_EQ(palette.colors[2], RgbColor(214, 0, 0));
  EXPECT_EQ(palette.colors[15], 0);
  EXPECT_EQ(form.Text(PaletteField(117)), "255");
}

// A program state with only the palette events attached.
struct PaletteFixture {
  ScriptedDialogs dialogs;
  ProgramState state{dialogs};
  PaletteFixture() { AttachPaletteHandlers(state); }
  Form& form() { return state.form; }
};

TEST(PaletteBoxes, ComponentBoxesKeepAtMost255WhenLeft) {
  PaletteFixture p;
  SetAnchors(p.form(), {0, 0, 0, 255, 255, 255, 255, 255, 255});
  p.form().SetText(PaletteField(120), "300");
  EXPECT_EQ(p.form().Text(PaletteField(120)), "300");  // typing alone changes nothing
  p.form().Fire(PaletteField(120), FieldEvent::LostFocus);
  EXPECT_EQ(p.form().Text(PaletteField(120)), "255");
  EXPECT_EQ(p.state.palette.colors[0], 255);  // calcul_RGB ran
  EXPECT_EQ(p.form().BackColor(PaletteField(101)), 255);

  p.form().SetText(PaletteField(127), "-5");
  p.form().Fire(PaletteField(127), FieldEvent::LostFocus);
  EXPECT_EQ(p.form().Text(PaletteField(127)), "-5");
  EXPECT_EQ(p.state.palette.colors[15], RgbColor(255, 0, 255));

  // The blue box of anchor A reacts to its click, not to losing the focus.
  p.form().SetText(PaletteField(122), "256");
  p.form().Fire(PaletteField(122), FieldEvent::LostFocus);
  EXPECT_EQ(p.form().Text(PaletteField(122)), "256");
  p.form().Fire(PaletteField(122), FieldEvent::Click);
  EXPECT_EQ(p.form().Text(PaletteField(122)), "255");
  EXPECT_EQ(p.state.palette.colors[0], RgbColor(255, 0, 255));
}

TEST(PaletteBoxes, ClicksAskForAColour) {
  PaletteFixture p;
  const auto before = p.state.palette.colors;
  p.dialogs.colors = {123456, std::nullopt, 65280};
  p.form().Fire(PaletteField(105), FieldEvent::Click);
  ASSERT_EQ(p.dialogs.requests.size(), 1u);
  EXPECT_EQ(p.dialogs.requests[0].title, "Korvane color selection");
  EXPECT_EQ(p.form().BackColor(PaletteField(105)), 123456);
  EXPECT_EQ(p.state.palette.colors, before);  // only the box: the saver reads it

  // A cancel is not told apart: the last colour chosen is applied.
  p.form().Fire(PaletteField(116), FieldEvent::Click);
  EXPECT_EQ(p.form().BackColor(PaletteField(116)), 123456);

  // Anchor B: its components, then the palette from the three anchors.
  SetAnchors(p.form(), {0, 0, 0, 9, 9, 9, 0, 0, 0});
  p.form().Fire(PaletteField(118), FieldEvent::Click);
  EXPECT_EQ(p.form().Text(PaletteField(123)), "0");
  EXPECT_EQ(p.form().Text(PaletteField(124)), "255");
  EXPECT_EQ(p.form().Text(PaletteField(125)), "0");
  EXPECT_EQ(p.form().Text(PaletteField(118)), "65280");
  EXPECT_EQ(p.state.palette.colors[7], 65280);
  EXPECT_EQ(p.state.palette.colors[8], 65280);
  EXPECT_EQ(p.state.palette.colors[4], RgbColor(0, 146, 0));
  EXPECT_EQ(p.form().BackColor(PaletteField(108)), 65280);
  EXPECT_EQ(p.form().BackColor(PaletteField(105)), RgbColor(0, 146, 0));
}

}  // namespace
}  // namespace tavelo

namespace {
std::string lastUnknownField;
void RecordUnknownField(std::string_view name) { lastUnknownField = std::string(name); }
}  // namespace

// Every declared name is a field of the form; a name it does not have is
// refused (reported to the handler) on read, write and handler attachment.
TEST(FormFields, EveryDeclaredNameIsAFieldAndAnUnknownOneIsRefused) {
  tavelo::Form form;
  const auto previous = tavelo::SetUnknownFieldHandler(RecordUnknownField);
  for (tavelo::FieldName name : tavelo::kNamedFields) {
    lastUnknownField.clear();
    (void)form.Text(name);
    EXPECT_EQ(lastUnknownField, "") << std::string(name);
  }
  for (int n = tavelo::kFirstPaletteField; n < tavelo::kFirstPaletteField + 28; ++n) {
    lastUnknownField.clear();
    (void)form.Text(tavelo::PaletteField(n));
    EXPECT_EQ(lastUnknownField, "") << n;
  }
  lastUnknownField.clear();
  EXPECT_EQ(form.Text("Text99"), "");
  EXPECT_EQ(lastUnknownField, "Text99");
  lastUnknownField.clear();
  form.SetText("Comand1", "x");
  EXPECT_EQ(lastUnknownField, "Comand1");
  tavelo::SetUnknownFieldHandler(previous);
}
