// Velocity panels from the command line: the bundled sample's pick file
// converted and drawn, the table found beside the SU file, and the panel's
// messages on standard error while the export still finishes.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "support/su_writer.h"

namespace tavelo {
namespace {

namespace fs = std::filesystem;

struct RunResult {
  int status = -1;
  std::string err;
};

std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) {
    if (c == '\'') q += "'\\''";
    else q += c;
  }
  return q + "'";
}

int Run(const std::string& cmd) {
  const int raw = std::system(cmd.c_str());
  return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

// Runs tavelo with the arguments; standard error is captured, standard
// input is empty so no question can wait on it.
RunResult Tavelo(const std::vector<std::string>& args, const std::string& settingsDir) {
  std::string cmd = "QT_QPA_PLATFORM=offscreen " + Quote(TAVELO_BINARY);
  if (!settingsDir.empty()) cmd += " --settings-dir " + Quote(settingsDir);
  for (const auto& a : args) cmd += " " + Quote(a);
  const std::string errFile = test::TempFile("stderr.txt");
  cmd += " </dev/null >/dev/null 2>" + Quote(errFile);
  RunResult r;
  r.status = Run(cmd);
  r.err = test::ReadBytes(errFile);
  return r;
}

std::string Pdftotext(const std::string& pdf) {
  const std::string txt = test::TempFile("page.txt");
  if (Run("pdftotext " + Quote(pdf) + " " + Quote(txt) + " 2>/dev/null") != 0) return {};
  return test::ReadBytes(txt);
}

size_t Count(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = 0; (at = text.find(part, at)) != std::string::npos; at += part.size()) ++n;
  return n;
}

// The sample line (and its line.NMO) in a fresh folder, with the sample's
// settings in another.
struct Sample {
  std::string dir = test::TempDir();
  std::string settings = test::TempDir();
  std::string su = dir + "/line.su";

  Sample() {
    const fs::path gen = fs::path(TAVELO_BINARY).parent_path().parent_path() / "bench" / "tavelo_gen";
    EXPECT_TRUE(fs::exists(gen)) << gen << " missing: build the tavelo_gen target";
    EXPECT_EQ(Run(Quote(gen.string()) + " --sample " + Quote(su) + " >/dev/null 2>&1"), 0);
    for (const char* ini : {"TAVELO3.ini", "Korvane.ini"})
      fs::copy_file(fs::path(TAVELO_SOURCE_DIR) / "sample" / ini, fs::path(settings) / ini);
  }
};

TEST(VelocityCli, TheSamplePicksAreConvertedAndDrawn) {
  Sample s;
  const std::string nmo = test::ReadBytes(s.dir + "/line.NMO");
  ASSERT_EQ(nmo.rfind("sunmo cdp=130,190,250,310,370 tnmo=", 0), 0u) << nmo;

  RunResult r = Tavelo({"--export", s.dir + "/page.pdf", "--dump", s.dir + "/page.txt", "--set",
                        "velocity=1", "--set", "Text21=" + s.dir + "/line.NMO", s.su},
                       s.settings);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err.find("You must locate"), std::string::npos) << r.err;
  const std::string table = test::ReadBytes(s.dir + "/line.VEL");
  EXPECT_EQ(Count(table, "\r\n"), 20u);
  EXPECT_EQ(table.rfind(" 130  100  400  750  1000  1400  1850  0 ", 0), 0u) << table;

  const std::string dump = test::ReadBytes(s.dir + "/page.txt");
  EXPECT_EQ(Count(dump, "  ms Vnmo  Vint \n"), 5u) << dump;
  EXPECT_NE(dump.find("    100  1590  1590\n"), std::string::npos);
  EXPECT_NE(dump.find("    400  1900  1992\n"), std::string::npos);
  EXPECT_NE(dump.find("  1850  3370  4510\n"), std::string::npos);
  const std::string text = Pdftotext(s.dir + "/page.pdf");
  EXPECT_NE(text.find("Vnmo"), std::string::npos) << text;
  EXPECT_NE(text.find("1992"), std::string::npos);

  // Without Text21 the table beside the SU file is drawn, whatever the case
  // of its extension.
  Sample t;
  fs::copy_file(s.dir + "/line.VEL", t.dir + "/line.VEL");
  fs::remove(t.dir + "/line.NMO");
  r = Tavelo({"--export", t.dir + "/page.svg", "--dump", t.dir + "/page.txt", "--set", "velocity=1",
              t.su},
             t.settings);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err.find("You must locate"), std::string::npos) << r.err;
  EXPECT_EQ(Count(test::ReadBytes(t.dir + "/page.txt"), "  ms Vnmo  Vint \n"), 5u);
}

TEST(VelocityCli, MessagesGoToStandardErrorAndTheExportFinishes) {
  Sample s;
  ASSERT_TRUE(test::WriteBytes(s.dir + "/bad.nmo",
                               "sunmo cdp=130,190 tnmo=0.1,0.5,0.3 vnmo=1500,1800,2000 "
                               "tnmo=0.1,0.5 vnmo=3000,1000\r\n"));
  RunResult r = Tavelo({"--export", s.dir + "/page.png", "--dpi", "30", "--set", "velocity=1",
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
  r = Tavelo({"--export", s.dir + "/page.png", "--dpi", "30", "--dump", s.dir + "/page.txt",
              "--set", "velocity=1", s.su},
             s.settings);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("You must locate your velocity model file\n"), std::string::npos) << r.err;
  EXPECT_FALSE(test::ReadBytes(s.dir + "/page.png").empty());
  EXPECT_EQ(test::ReadBytes(s.dir + "/page.txt").find("Vnmo"), std::string::npos);
}

}  // namespace
}  // namespace tavelo
