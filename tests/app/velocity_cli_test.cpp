// Velocity panels from the command line: the bundled sample's pick file
// converted and drawn, the table found beside the SU file, and the panel's
// messages on standard error while the export still finishes.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "support/cli.h"
#include "support/su_writer.h"

namespace tavelo {
namespace {

namespace fs = std::filesystem;

// The sample line (and its line.NMO) in a fresh folder, with the sample's
// settings in another.
struct Sample {
  std::string dir = test::TempDir();
  std::string settings = test::TempDir();
  std::string su = dir + "/line.su";

  Sample() {
    const fs::path gen = test::GeneratorPath();
    EXPECT_TRUE(fs::exists(gen)) << gen << " missing: build the tavelo_gen target";
    EXPECT_EQ(test::Shell(test::ShellQuote(gen.string()) + " --sample " + test::ShellQuote(su) + " >/dev/null 2>&1"), 0);
    for (const char* ini : {"TAVELO3.ini", "Korvane.ini"})
      fs::copy_file(fs::path(TAVELO_SOURCE_DIR) / "sample" / ini, fs::path(settings) / ini);
  }
};

TEST(VelocityCli, TheSamplePicksAreConvertedAndDrawn) {
  Sample s;
  const std::string nmo = test::ReadBytes(s.dir + "/line.NMO");
  ASSERT_EQ(nmo.rfind("sunmo cdp=130,190,250,310,370 tnmo=", 0), 0u) << nmo;

  test::CliRun r = test::RunTavelo({"--export", s.dir + "/page.pdf", "--dump", s.dir + "/page.txt", "--set",
                        "velocity=1", "--set", "Text21=" + s.dir + "/line.NMO", s.su},
                       s.settings);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err.find("You must locate"), std::string::npos) << r.err;
  const std::string table = test::ReadBytes(s.dir + "/line.VEL");
  EXPECT_EQ(test::CountOf(table, "\r\n"), 20u);
  EXPECT_EQ(table.rfind(" 130  100  400  750  1000  1400  1850  0 ", 0), 0u) << table;

  const std::string dump = test::ReadBytes(s.dir + "/page.txt");
  EXPECT_EQ(test::CountOf(dump, "  ms Vnmo  Vint \n"), 5u) << dump;
  EXPECT_NE(dump.find("    100  1590  1590\n"), std::string::npos);
  EXPECT_NE(dump.find("    400  1900  1992\n"), std::string::npos);
  EXPECT_NE(dump.find("  1850  3370  4510\n"), std::string::npos);
  const std::string text = test::PdfText(s.dir + "/page.pdf");
  EXPECT_NE(text.find("Vnmo"), std::string::npos) << text;
  EXPECT_NE(text.find("1992"), std::string::npos);

  // Without Text21 the table beside the SU file is drawn, whatever the case
  // of its extension.
  Sample t;
  fs::copy_file(s.dir + "/line.VEL", t.dir + "/line.VEL");
  fs::remove(t.dir + "/line.NMO");
  r = test::RunTavelo({"--export", t.dir + "/page.svg", "--dump", t.dir + "/page.txt", "--set", "velocity=1",
              t.su},
             t.settings);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err.find("You must locate"), std::string::npos) << r.err;
  EXPECT_EQ(test::CountOf(test::ReadBytes(t.dir + "/page.txt"), "  ms Vnmo  Vint \n"), 5u);
}

TEST(VelocityCli, MessagesGoToStandardErrorAndTheExportFinishes) {
  Sample s;
  ASSERT_TRUE(test::WriteBytes(s.dir + "/bad.nmo",
                               "sunmo cdp=130,190 tnmo=0.1,0.5,0.3 vnmo=1500,1800,2000 "
                               "tnmo=0.1,0.5 vnmo=3000,1000\r\n"));
  test::CliRun r = test::RunTavelo({"--export", s.dir + "/page.png", "--dpi", "30", "--set", "velocity=1",
                        "--set", "Text21=" + s.dir + "/bad.nmo", s.su},
                       s.settings);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find(" Times interval must be increasing...\n"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find(" This low velocity is impossible...\n"), std::string::npos) << r.err;
  EXPECT_FALSE(test::ReadBytes(s.dir + "/page.png").empty());
  EXPECT_FALSE(test::ReadBytes(s.dir + "/bad.VEL").empty());

  // No velocity file anywhere: the locate message, a cancelled chooser, and
  // a page without panels.
  fs::remove(s.dir + "/page.png");
  r = test::RunTavelo({"--export", s.dir + "/page.png", "--dpi", "30", "--dump", s.dir + "/page.txt",
              "--set", "velocity=1", s.su},
             s.settings);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("You must locate your velocity model file\n"), std::string::npos) << r.err;
  EXPECT_FALSE(test::ReadBytes(s.dir + "/page.png").empty());
  EXPECT_EQ(test::ReadBytes(s.dir + "/page.txt").find("Vnmo"), std::string::npos);
}

}  // namespace
}  // namespace tavelo
