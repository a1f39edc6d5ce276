// Start-up without the window, the settings round trip through both files,
// and the field rules the window's handlers apply.

#include <gtest/gtest.h>

#include "common/numeric.h"
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
  EXPECT_EQ(f.Text("Text4"), " 35");
  EXPECT_EQ(f.Text("Text5"), "35");  // its change handler drops the blank
  EXPECT_EQ(f.Text("Text33"), "20000");
  EXPECT_EQ(f.Text("Text15"), " 50");
  EXPECT_EQ(f.Text("Text6"), "0");
  EXPECT_EQ(f.Text("Text7"), "100");
  EXPECT_EQ(f.Text("Text13"), "West");
  EXPECT_EQ(f.Value("Egal"), 1);
  EXPECT_EQ(f.Value("fold"), 0);
  EXPECT_EQ(p.state.settings.DisplayType, "normal");
  EXPECT_EQ(p.state.settings.LanguageCode, "E");
  EXPECT_EQ(f.BackColor("Text101"), 69782);
  EXPECT_EQ(f.BackColor("Text116"), 11084545);
  // Started without a file, start-up ends after the settings.
  EXPECT_EQ(f.Text("Text11"), "");
  EXPECT_EQ(f.Caption("Label18"), "English");
}

TEST(Startup, WithAFileFillsTheWindowAndFollowsTheLanguage) {
  const std::string path = WriteLine();
  const std::string dir = path.substr(0, path.rfind('/'));
  ASSERT_TRUE(test::WriteBytes(dir + "/LINE1.txt", "sunmo vnmo=1500\r\nsustack\r\n"));
  ProgramFixture p;
  ASSERT_TRUE(test::WriteBytes(p.settingsDir + "/Korvane.ini", "[KORVANE]\r\nLangue=F\r\n"));
  p.Start(path);
  Form& f = p.form();
  EXPECT_EQ(f.Text("Text16"), path);
  EXPECT_EQ(f.Text("Text1"), "LINE1.SU");
  EXPECT_EQ(f.Text("Text3"), "240");
  EXPECT_EQ(f.Text("Text32"), "12.5");
  EXPECT_EQ(f.Text("Text11"), " 210 x  297");
  // The left margin field rounds the margin to whole millimetres: 25 mm.
  EXPECT_EQ(f.Text("Text8"), "25");
  EXPECT_DOUBLE_EQ(p.state.page.LeftMargin(), 1417.5);
  EXPECT_EQ(f.Text("Text9"), "2");  // 125 twips
  EXPECT_EQ(f.Caption("Label18"), "Français");
  EXPECT_EQ(p.state.editorText, "sunmo vnmo=1500\r\nsustack\r\n");
  EXPECT_EQ(f.Caption("Label32"), dir + "/LINE1.txt");
  EXPECT_EQ(f.Text("Text30"), p.state.page.PrinterName());
  EXPECT_EQ(f.Items("ListePolices").size(), 2u);
  // The lists are filled on showing the first tab.
  EXPECT_EQ(f.Items("combo1").size(), 6u);
  EXPECT_EQ(f.Items("Combo2").size(), 5u);
  EXPECT_EQ(f.Text("Combo2"), "station");
  EXPECT_FALSE(f.Enabled("editeur"));
  ShowTab(p.state, 2);
  EXPECT_TRUE(f.Enabled("editeur"));
}

TEST(Startup, MissingFileKeepsTheFileFieldsAndNoPrinterIsSaid) {
  ProgramFixture p;
  p.state.fontList = {};
  p.Start(test::TempDir() + "/nothere.su");
  EXPECT_EQ(p.form().Text("Text16"), "");
  EXPECT_EQ(p.form().Text("Text30"), "No printer");
  ASSERT_FALSE(p.dialogs.shown.empty());
  EXPECT_EQ(p.dialogs.shown.back().text, "No printer");
  EXPECT_EQ(p.form().Items("combo1").size(), 6u);
}

TEST(Startup, SavedDisplayTypeIsTheFirstSelection) {
  ProgramFixture p;
  ASSERT_TRUE(test::WriteBytes(p.settingsDir + "/TAVELO3.ini",
                               "[Draw_Parameter]\r\nType_Display=grey\r\n"));
  p.Start(WriteLine(5));
  EXPECT_EQ(p.form().ListIndex("combo1"), 4);
  EXPECT_EQ(p.state.settings.DisplayType, "grey");

  ProgramFixture q;
  ASSERT_TRUE(test::WriteBytes(q.settingsDir + "/TAVELO3.ini",
                               "[Draw_Parameter]\r\nType_Display=Fancy\r\n"));
  q.Start(WriteLine(5));
  EXPECT_EQ(q.form().ListIndex("combo1"), 0);
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
  EXPECT_EQ(p.form().Value("fold"), 0);  // 7 is no check-box value
  EXPECT_EQ(p.state.palette.colors[5], 500);
  p.form().SetText("Text9", "100");
  p.form().SetText("Text10", "12");
  p.form().Fire("Command101", FieldEvent::Click);

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
  EXPECT_EQ(q.form().Text("Text9"), "100");
  EXPECT_EQ(q.state.settings.GraphicsProgramPath, longPath);
}

TEST(FieldRules, ScaleSpacingAndPlotWidthOnDoubleClick) {
  ProgramFixture p;
  p.Start("");
  Form& f = p.form();
  f.SetText("Text2", "1");
  f.SetText("Text3", "240");
  f.SetText("Text32", "12.5");
  f.SetText("Text33", "20000");
  f.SetText("Text4", "");
  EXPECT_EQ(f.Text("Text4"), "");  // typing alone changes nothing
  f.Fire("Text32", FieldEvent::DoubleClick);
  EXPECT_EQ(f.Text("Text4"), " 150");
  f.SetText("Text4", "300");
  f.Fire("Text4", FieldEvent::DoubleClick);
  EXPECT_EQ(f.Text("Text33"), "10000");
  EXPECT_EQ(p.state.settings.PlotScale, 10000);
  // A zero scale or width leaves the other field alone.
  f.SetText("Text33", "0");
  f.Fire("Text33", FieldEvent::DoubleClick);
  EXPECT_EQ(f.Text("Text4"), "300");
  f.SetText("Text4", "0");
  f.Fire("Text4", FieldEvent::DoubleClick);
  EXPECT_EQ(f.Text("Text33"), "0");
}

TEST(FieldRules, WholeNumbersHeightsAndKeys) {
  ProgramFixture p;
  p.Start("");
  Form& f = p.form();
  f.SetText("Text7", "007");
  EXPECT_EQ(f.Text("Text7"), "7");
  f.SetText("Text10", "");
  EXPECT_EQ(f.Text("Text10"), "0");
  f.SetText("Text24", "20");
  EXPECT_EQ(p.state.settings.DiagramHeight, 1134);
  f.SetText("Text24", "");
  EXPECT_EQ(p.state.settings.DiagramHeight, 800);
  EXPECT_EQ(f.Text("Text24"), "15");
  f.SetText("Text22", "77");
  EXPECT_EQ(p.state.settings.FirstLabel, 77);
  f.SetText("Text14", "North");
  EXPECT_EQ(p.state.settings.RightOrientation, "North");

  EXPECT_EQ(FilterFieldKey(p.state, "Text3", 'a'), 0);
  EXPECT_EQ(p.dialogs.beeps, 1);
  EXPECT_EQ(FilterFieldKey(p.state, "Text3", '7'), '7');
  EXPECT_EQ(FilterFieldKey(p.state, "Text3", 8), 8);
  EXPECT_EQ(FilterFieldKey(p.state, "Text3", '-'), 0);
  EXPECT_EQ(FilterFieldKey(p.state, "Text12", '.'), '.');
  EXPECT_EQ(FilterFieldKey(p.state, "Text1", 'a'), 'a');
  EXPECT_EQ(FilterFieldKey(p.state, "Text11", '1'), 0);
  EXPECT_EQ(p.dialogs.shown.back().text, "You must correct paper size in the main TAVELO module");
  EXPECT_EQ(NumericKeyFilter('x', "xyz", false), 'x');
  EXPECT_EQ(NumericKeyFilter('X', "xyz", false), 'X');
  EXPECT_EQ(NumericKeyFilter(8, "xyz", false), 0);
}

TEST(FieldRules, LastTraceIsClampedOnKeyRelease) {
  ProgramFixture p;
  p.Start(WriteLine(240));
  Form& f = p.form();
  f.SetText("Text3", "500");
  f.Fire("Text3", FieldEvent::KeyUp);
  EXPECT_EQ(f.Text("Text3"), " 240");
  f.SetText("Text3", "12");
  f.Fire("Text3", FieldEvent::KeyUp);
  EXPECT_EQ(f.Text("Text3"), "12");
}

}  // namespace
}  // namespace tavelo
