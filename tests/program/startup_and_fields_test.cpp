// Start-up without the window, the settings round trip through both files,
// and the field rules the window's handlers apply.

#include <gtest/gtest.h>

#include "common/numeric.h"
#include "settings/form_fields.h"
#include "support/program_fixture.h"
#include "support/su_writer.h"

namespace tavelo {
namespace {

using test::ProgramFixture;

std::string WriteLine(int traces = 240, int ns = 100) {
  auto t = test::MakeTraces(traces, ns, 4000);
  t[0].Set(su::kSdel, 0).Set(su::kGdel, 0);
  t[0].Set(su::kD2AsInt, 25).Set(su::kSdel, 120);
  const std::string path = test::TempFile("LINE1.SU");
  EXPECT_TRUE(test::WriteSuFile(path, t));
  return path;
}

TEST(Startup, WithoutSettingsFilesEveryParameterTakesItsDefault) {
  ProgramFixture p;
  p.Start("");
  Form& f = p.form();
  EXPECT_EQ(f.Text(kPlotWidthMm), " 35");
  EXPECT_EQ(f.Text(kProfileHeightMm), "35");  // its change handler drops the blank
  EXPECT_EQ(f.Text(kScaleDenominator), "20000");
  EXPECT_EQ(f.Text(kFoldMaximum), " 50");
  EXPECT_EQ(f.Text(kTimeToDrawMs), "0");
  EXPECT_EQ(f.Text(kTimeLineSpacingMs), "100");
  EXPECT_EQ(f.Text(kLeftOrientation), "West");
  EXPECT_EQ(f.Value(kEqualization), 1);
  EXPECT_EQ(f.Value(kFoldDrawing), 0);
  EXPECT_EQ(p.state.settings.DisplayType, "normal");
  EXPECT_EQ(p.state.settings.LanguageCode, "E");
  EXPECT_EQ(f.BackColor(PaletteField(101)), 69782);
  EXPECT_EQ(f.BackColor(PaletteField(116)), 11084545);
  // Started without a file, start-up ends after the settings.
  EXPECT_EQ(f.Text(kPaperSize), "");
  EXPECT_EQ(f.Caption(kLanguageCaption), "English");
}

TEST(Startup, WithAFileFillsTheWindowAndFollowsTheLanguage) {
  const std::string path = WriteLine();
  const std::string dir = path.substr(0, path.rfind('/'));
  ASSERT_TRUE(test::WriteBytes(dir + "/LINE1.txt", "sunmo vnmo=1500\r\nsustack\r\n"));
  ProgramFixture p;
  ASSERT_TRUE(test::WriteBytes(p.settingsDir + "/Korvane.ini", "[KORVANE]\r\nLangue=F\r\n"));
  p.Start(path);
  Form& f = p.form();
  EXPECT_EQ(f.Text(kSuFilePath), path);
  EXPECT_EQ(f.Text(kPlotTitle), "LINE1.SU");
  EXPECT_EQ(f.Text(kLastTrace), "240");
  EXPECT_EQ(f.Text(kTraceSpacingM), "12.5");
  EXPECT_EQ(f.Text(kPaperSize), " 210 x  297");
  // The left margin field rounds the margin to whole millimetres: 25 mm.
  EXPECT_EQ(f.Text(kLeftMarginMm), "25");
  EXPECT_DOUBLE_EQ(p.state.page.LeftMargin(), 1417.5);
  EXPECT_EQ(f.Text(kSectionTopMm), "2");  // 125 twips
  EXPECT_EQ(f.Caption(kLanguageCaption), "Français");
  EXPECT_EQ(p.state.editorText, "sunmo vnmo=1500\r\nsustack\r\n");
  EXPECT_EQ(f.Caption(kHistoryCaption), dir + "/LINE1.txt");
  EXPECT_EQ(f.Text(kPrinterName), p.state.page.PrinterName());
  EXPECT_EQ(f.Items(kFontList).size(), 2u);
  // The lists are filled on showing the first tab.
  EXPECT_EQ(f.Items(kDisplayType).size(), 6u);
  EXPECT_EQ(f.Items(kStationHeaderWord).size(), 5u);
  EXPECT_EQ(f.Text(kStationHeaderWord), "station");
  EXPECT_FALSE(f.Enabled(kEditorMenu));
  ShowTab(p.state, 2);
  EXPECT_TRUE(f.Enabled(kEditorMenu));
}

TEST(Startup, MissingFileKeepsTheFileFieldsAndNoPrinterIsSaid) {
  ProgramFixture p;
  p.state.fontList = {};
  p.Start(test::TempDir() + "/nothere.su");
  EXPECT_EQ(p.form().Text(kSuFilePath), "");
  EXPECT_EQ(p.form().Text(kPrinterName), "No printer");
  ASSERT_FALSE(p.dialogs.shown.empty());
  EXPECT_EQ(p.dialogs.shown.back().text, "No printer");
  EXPECT_EQ(p.form().Items(kDisplayType).size(), 6u);
}

TEST(Startup, SavedDisplayTypeIsTheFirstSelection) {
  ProgramFixture p;
  ASSERT_TRUE(test::WriteBytes(p.settingsDir + "/TAVELO3.ini",
                               "[Draw_Parameter]\r\nType_Display=grey\r\n"));
  p.Start(WriteLine(5));
  EXPECT_EQ(p.form().ListIndex(kDisplayType), 4);
  EXPECT_EQ(p.state.settings.DisplayType, "grey");

  ProgramFixture q;
  ASSERT_TRUE(test::WriteBytes(q.settingsDir + "/TAVELO3.ini",
                               "[Draw_Parameter]\r\nType_Display=Fancy\r\n"));
  q.Start(WriteLine(5));
  EXPECT_EQ(q.form().ListIndex(kDisplayType), 0);
  EXPECT_EQ(q.state.settings.DisplayType, "normal");
}

TEST(Settings, RoundTripThroughBothFiles) {
  ProgramFixture p;
  const std::string korvane =
      "; main application settings\r\n[Paths]\r\nData=C:\\seis\r\n\r\n[KORVANE]\r\n"
      "Langue=E\r\nAmplitude6=500\r\n; keep me\r\nOther=1\r\n";
  ASSERT_TRUE(test::WriteBytes(p.settingsDir + "/Korvane.ini", korvane));
  const std::string longPath(60, 'p');
  ASSERT_TRUE(test::WriteBytes(p.settingsDir + "/TAVELO3.ini",
                               "[Draw_Parameter]\r\nGraphical_Prog=" + longPath + "\r\nfold=7\r\n"));
  p.Start(WriteLine(5));
  EXPECT_EQ(p.form().Value(kFoldDrawing), 0);  // 7 is no check-box value
  EXPECT_EQ(p.state.palette.colors[5], 500);
  p.form().SetText(kSectionTopMm, "100");
  p.form().SetText(kLabelSpacing, "12");
  p.form().Fire(kSaveAndExitButton, FieldEvent::Click);

  const std::string tavelo = test::ReadBytes(p.settingsDir + "/TAVELO3.ini");
  EXPECT_NE(tavelo.find("tavelo4=5670\r\n"), std::string::npos);
  EXPECT_NE(tavelo.find("Label_Spacing=12\r\n"), std::string::npos);
  EXPECT_NE(tavelo.find("Couleur1=32768\r\n"), std::string::npos);
  EXPECT_NE(tavelo.find("Graphical_Prog=" + longPath + "\r\n"), std::string::npos);
  const std::string saved = test::ReadBytes(p.settingsDir + "/Korvane.ini");
  EXPECT_NE(saved.find("Amplitude1= 69782\r\n"), std::string::npos);
  EXPECT_NE(saved.find("Amplitude6= 500\r\n"), std::string::npos);
  const size_t ours = korvane.find("Amplitude6");
  EXPECT_EQ(saved.substr(0, ours), korvane.substr(0, ours));
  EXPECT_NE(saved.find("; keep me\r\nOther=1\r\n"), std::string::npos);

  ProgramFixture q(p.settingsDir);
  q.Start(WriteLine(5));
  EXPECT_EQ(q.form().Text(kSectionTopMm), "100");
  EXPECT_EQ(q.state.settings.GraphicsProgramPath, longPath);
}

TEST(FieldRules, ScaleSpacingAndPlotWidthOnDoubleClick) {
  ProgramFixture p;
  p.Start("");
  Form& f = p.form();
  f.SetText(kFirstTrace, "1");
  f.SetText(kLastTrace, "240");
  f.SetText(kTraceSpacingM, "12.5");
  f.SetText(kScaleDenominator, "20000");
  f.SetText(kPlotWidthMm, "");
  EXPECT_EQ(f.Text(kPlotWidthMm), "");  // typing alone changes nothing
  f.Fire(kTraceSpacingM, FieldEvent::DoubleClick);
  EXPECT_EQ(f.Text(kPlotWidthMm), " 150");
  f.SetText(kPlotWidthMm, "300");
  f.Fire(kPlotWidthMm, FieldEvent::DoubleClick);
  EXPECT_EQ(f.Text(kScaleDenominator), "10000");
  EXPECT_EQ(p.state.settings.PlotScale, 10000);
  // A zero scale or width leaves the other field alone.
  f.SetText(kScaleDenominator, "0");
  f.Fire(kScaleDenominator, FieldEvent::DoubleClick);
  EXPECT_EQ(f.Text(kPlotWidthMm), "300");
  f.SetText(kPlotWidthMm, "0");
  f.Fire(kPlotWidthMm, FieldEvent::DoubleClick);
  EXPECT_EQ(f.Text(kScaleDenominator), "0");
}

TEST(FieldRules, WholeNumbersHeightsAndKeys) {
  ProgramFixture p;
  p.Start("");
  Form& f = p.form();
  f.SetText(kTimeLineSpacingMs, "007");
  EXPECT_EQ(f.Text(kTimeLineSpacingMs), "7");
  f.SetText(kLabelSpacing, "");
  EXPECT_EQ(f.Text(kLabelSpacing), "0");
  f.SetText(kDiagramHeightMm, "20");
  EXPECT_EQ(p.state.settings.DiagramHeight, 1134);
  f.SetText(kDiagramHeightMm, "");
  EXPECT_EQ(p.state.settings.DiagramHeight, 800);
  EXPECT_EQ(f.Text(kDiagramHeightMm), "15");
  f.SetText(kFirstLabel, "77");
  EXPECT_EQ(p.state.settings.FirstLabel, 77);
  f.SetText(kRightOrientation, "North");
  EXPECT_EQ(p.state.settings.RightOrientation, "North");

  EXPECT_EQ(FilterFieldKey(p.state, kLastTrace, 'a'), 0);
  EXPECT_EQ(p.dialogs.beeps, 1);
  EXPECT_EQ(FilterFieldKey(p.state, kLastTrace, '7'), '7');
  EXPECT_EQ(FilterFieldKey(p.state, kLastTrace, 8), 8);
  EXPECT_EQ(FilterFieldKey(p.state, kLastTrace, '-'), 0);
  EXPECT_EQ(FilterFieldKey(p.state, kTraceSizeFactor, '.'), '.');
  EXPECT_EQ(FilterFieldKey(p.state, kPlotTitle, 'a'), 'a');
  EXPECT_EQ(FilterFieldKey(p.state, kPaperSize, '1'), 0);
  EXPECT_EQ(p.dialogs.shown.back().text, "You must correct paper size in the main TAVELO module");
  EXPECT_EQ(NumericKeyFilter('x', "xyz", false), 'x');
  EXPECT_EQ(NumericKeyFilter('X', "xyz", false), 'X');
  EXPECT_EQ(NumericKeyFilter(8, "xyz", false), 0);
}

TEST(FieldRules, LastTraceIsClampedOnKeyRelease) {
  ProgramFixture p;
  p.Start(WriteLine(240));
  Form& f = p.form();
  f.SetText(kLastTrace, "500");
  f.Fire(kLastTrace, FieldEvent::KeyUp);
  EXPECT_EQ(f.Text(kLastTrace), " 240");
  f.SetText(kLastTrace, "12");
  f.Fire(kLastTrace, FieldEvent::KeyUp);
  EXPECT_EQ(f.Text(kLastTrace), "12");
}

}  // namespace
}  // namespace tavelo
