#include "settings/plot_settings.h"

#include <cstdlib>
#include <optional>

#include "common/numeric.h"
#include "settings/form.h"
#include "settings/form_fields.h"

namespace tavelo {

const std::array<int32_t, 16> kDefaultAmplitudeColors{
    69782,    71646,    2177022,  5662718,  10463743, 14278143, 16514047, 16775929,
    16764095, 16689042, 16677722, 16662544, 14691841, 12592897, 11346689, 11084545};

AmplitudePalette::AmplitudePalette() : colors(kDefaultAmplitudeColors) {}

std::string DefaultSettingsFolder() {
  if (const char* dir = std::getenv("KORVANE_CONFIG_DIR"); dir && *dir) return dir;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg)
    return std::string(xdg) + "/korvane";
  if (const char* home = std::getenv("HOME"); home && *home)
    return std::string(home) + "/.config/korvane";
  return ".config/korvane";
}

void SettingsFiles::Open(const std::string& folder) {
  std::string base = folder;
  if (!base.empty() && base.back() != '/') base += '/';
  tavelo.set_path(base + "TAVELO3.ini");
  korvane.set_path(base + "Korvane.ini");
  // An unreadable file leaves every key at its default.
  (void)tavelo.Load();
  (void)korvane.Load();
}

namespace {

struct CheckKey {
  const char* key;
  const char* field;
};
// Reading and writing order of the check boxes; "topo" and "time" come twice,
// as they always have.
constexpr CheckKey kCheckKeys[] = {
    {"egal", "Egal"},       {"fold", "fold"},         {"inverse", "Inverse_trace"},
    {"topo", "topo"},       {"time", "time"},         {"dead", "Dead"},
    {"velocity", "velocity"}, {"history", "prn"},     {"cdp", "CDP"},
    {"topo", "topo"},       {"station", "Station"},   {"statics", "Statik"},
    {"elevation", "Alti"},  {"time", "time"}};

std::string AmplitudeKey(int k) { return "Amplitude" + std::to_string(k); }

}  // namespace

void PaintPaletteBoxes(const AmplitudePalette& palette, Form& form) {
  for (int k = 0; k < 16; ++k) form.SetBackColor(PaletteField(101 + k), palette.colors[k]);
  const int anchorColour[3] = {palette.colors[0], palette.colors[7], palette.colors[15]};
  for (int a = 0; a < 3; ++a) {
    const int32_t c = anchorColour[a];
    form.SetBackColor(PaletteField(117 + a), c);
    form.SetText(PaletteField(117 + a), IntegerText(c));
    // Colours are never negative when painted; keep the component rule total.
    const int64_t u = static_cast<int64_t>(static_cast<uint32_t>(c));
    form.SetText(PaletteField(120 + 3 * a), IntegerText(u % 256));
    form.SetText(PaletteField(121 + 3 * a), IntegerText((u / 256) % 256));
    form.SetText(PaletteField(122 + 3 * a), IntegerText(u / 65536));
  }
}

void LoadSettings(SettingsFiles& files, PlotSettings& s, AmplitudePalette& palette, Form& form) {
  const ProfileFile& t = files.tavelo;
  auto get = [&](const char* key, const char* def) { return t.Get(kTaveloSection, key, def); };
  auto num = [&](const char* key, const char* def) { return LeadingNumber(get(key, def)); };
  // A number kept as read; its field is given the text as the file has it.
  auto numberAsWritten = [&](const char* key, const char* def, double& value, FieldName field) {
    const std::string text = get(key, def);
    value = LeadingNumber(text);
    form.SetText(field, text);
  };

  AssignIfFits(s.DiagramLineWidth, num("line1", "1"));
  AssignIfFits(s.TopoLineWidth, num("line2", "1"));
  AssignIfFits(s.TopoLineColor, num("couleur1", "32768"));
  AssignIfFits(s.StaticLineColor, num("couleur2", "255"));
  AssignIfFits(s.FoldLineColor, num("couleur3", "8388608"));
  AssignIfFits(s.FoldFillColor, num("couleur4", "8421504"));
  AssignIfFits(s.FoldTop, num("tavelo1", "65"));
  AssignIfFits(s.ElevationTop, num("tavelo2", "40"));
  AssignIfFits(s.StaticsTop, num("tavelo3", "25"));
  AssignIfFits(s.SectionTop, num("tavelo4", "125"));
  s.GraphicsProgramPath = get("Graphical_Prog", " ");
  if (auto w = ToInt32(num("Large_plot", "2000") / kTwipsPerMm))
    form.SetText(kPlotWidthMm, SignedText(*w));
  AssignIfFits(s.PlotScale, num("Echelle", "20000"));
  form.SetText(kScaleDenominator, IntegerText(s.PlotScale));
  numberAsWritten("Enlarge", "1", s.TraceSizeFactor, kTraceSizeFactor);
  AssignIfFits(s.DiagramHeight, num("Haut_fold", "800"));
  AssignIfFits(s.FoldMaximum, num("NbFold", "50"));
  form.SetText(kFoldMaximum, SignedText(s.FoldMaximum));
  if (auto h = ToInt32(num("Haut_plot", "2000") / kTwipsPerMm))
    form.SetText(kProfileHeightMm, SignedText(*h));
  numberAsWritten("Time_plot", " ", s.TimeToDraw, kTimeToDrawMs);
  numberAsWritten("Time_Line", "100", s.TimeLineSpacing, kTimeLineSpacingMs);
  numberAsWritten("Label_Spacing", "5", s.LabelSpacing, kLabelSpacing);
  s.DisplayType = get("Type_Display", "normal");
  AssignIfFits(s.FirstLabel, num("First_Label", "10"));
  form.SetText(kFirstLabel, IntegerText(s.FirstLabel));
  s.LeftOrientation = get("Orient1", "West");
  form.SetText(kLeftOrientation, s.LeftOrientation);
  s.RightOrientation = get("Orient2", "East");
  form.SetText(kRightOrientation, s.RightOrientation);
  for (const CheckKey& c : kCheckKeys) {
    const double v = num(c.key, std::string_view(c.key) == "egal" ? "1" : "0");
    // Only 0, 1 and 2 are check-box values; anything else leaves the box.
    if (v == 0 || v == 1 || v == 2) form.SetValue(c.field, static_cast<int>(v));
  }
  s.LanguageCode = files.korvane.Get(kKorvaneSection, "Langue", "E");
  form.SetText(kNoiseAmplitude, get("noise2", "0"));
  for (int k = 1; k <= 16; ++k) {
    const std::string def = IntegerText(kDefaultAmplitudeColors[static_cast<size_t>(k - 1)]);
    AssignIfFits(palette.colors[static_cast<size_t>(k - 1)],
               LeadingNumber(files.korvane.Get(kKorvaneSection, AmplitudeKey(k), def)));
  }
  PaintPaletteBoxes(palette, form);
}

bool SaveSettings(SettingsFiles& files, PlotSettings& s, Form& form, std::string* error) {
  AssignIfFits(s.SectionTop, form.Number(kSectionTopMm) * kTwipsPerMm);
  AssignIfFits(s.FoldTop, form.Number(kFoldTopMm) * kTwipsPerMm);
  AssignIfFits(s.ElevationTop, form.Number(kElevationTopMm) * kTwipsPerMm);
  AssignIfFits(s.StaticsTop, form.Number(kStaticsTopMm) * kTwipsPerMm);
  AssignIfFits(s.PlotWidthTwips, form.Number(kPlotWidthMm) * kTwipsPerMm);
  AssignIfFits(s.PlotHeightTwips, form.Number(kProfileHeightMm) * kTwipsPerMm);

  ProfileFile& t = files.tavelo;
  auto put = [&](const char* key, const std::string& value) { t.Set(kTaveloSection, key, value); };
  put("line1", IntegerText(s.DiagramLineWidth));
  put("line2", IntegerText(s.TopoLineWidth));
  put("tavelo1", IntegerText(s.FoldTop));
  put("tavelo2", IntegerText(s.ElevationTop));
  put("tavelo3", IntegerText(s.StaticsTop));
  put("tavelo4", IntegerText(s.SectionTop));
  put("Couleur1", IntegerText(s.TopoLineColor));
  put("Couleur2", IntegerText(s.StaticLineColor));
  put("Couleur3", IntegerText(s.FoldLineColor));
  put("Couleur4", IntegerText(s.FoldFillColor));
  put("Graphical_Prog", s.GraphicsProgramPath);
  put("Enlarge", DecimalText(s.TraceSizeFactor));
  put("Large_plot", IntegerText(s.PlotWidthTwips));
  put("Haut_plot", IntegerText(s.PlotHeightTwips));
  put("Haut_fold", IntegerText(s.DiagramHeight));
  put("Time_plot", DecimalText(s.TimeToDraw));
  put("Time_Line", DecimalText(s.TimeLineSpacing));
  put("Echelle", IntegerText(s.PlotScale));
  put("Label_Spacing", DecimalText(form.Number(kLabelSpacing)));
  put("First_Label", DecimalText(form.Number(kFirstLabel)));
  put("Type_Display", s.DisplayType);
  put("NbFold", DecimalText(form.Number(kFoldMaximum)));
  put("Orient1", form.Text(kLeftOrientation));
  put("Orient2", form.Text(kRightOrientation));
  for (const CheckKey& c : kCheckKeys) put(c.key, IntegerText(form.Value(c.field)));
  put("noise2", form.Text(kNoiseAmplitude));
  for (int k = 1; k <= 16; ++k)
    files.korvane.Set(kKorvaneSection, AmplitudeKey(k),
                      SignedText(form.BackColor(PaletteField(100 + k))));

  bool ok = files.tavelo.Save(error);
  ok = files.korvane.Save(ok ? error : nullptr) && ok;
  return ok;
}

}  // namespace tavelo
