// The command line as a user runs it: the real binary on small files, with
// its exit status, its messages on standard error and the files it writes.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "support/cli.h"
#include "support/su_writer.h"

namespace tavelo {
namespace {

std::string TenTraces() {
  const std::string path = test::TempFile("line.su");
  auto traces =
      test::MakeTraces(10, 1000, 4000, [](int s, int t) { return float((s + t) % 7 - 3); });
  EXPECT_TRUE(test::WriteSuFile(path, traces));
  return path;
}

TEST(BatchExport, TenTracesWithNoSettingsFiles) {
  const std::string su = TenTraces();
  const std::string dir = test::TempDir();
  const std::string settings = test::TempDir() + "/none";
  test::CliRun r = test::RunTavelo({"--export", dir + "/page.pdf", "--dump", dir + "/page.txt", su}, settings);
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string dump = test::ReadBytes(dir + "/page.txt");
  EXPECT_NE(dump.find("polygon  1417.5 1553 3401.5 1553 3401.5 3537 1417.5 3537\n"),
            std::string::npos)
      << dump;
  EXPECT_NE(dump.find("Depth (m)"), std::string::npos);
  EXPECT_NE(test::PdfText(dir + "/page.pdf").find("Depth (m)"), std::string::npos);
  EXPECT_NE(r.err.find("Datum elevation ? →  0\n"), std::string::npos) << r.err;
  // A run does not save settings unless asked.
  EXPECT_TRUE(test::ReadBytes(settings + "/TAVELO3.ini").empty());
}

TEST(BatchExport, SetsRunTheFieldHandlersInOrder) {
  const std::string su = TenTraces();
  const std::string dir = test::TempDir();
  const std::string settings = test::TempDir();
  test::CliRun r = test::RunTavelo({"--export", dir + "/page.svg", "--dump", dir + "/page.txt", "--set",
                  "Text4=400", "--set", "time=1", "--set", "Combo2=sx", "--save-settings", su},
                 settings);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find(" Your plot width is too large, correct size page or profile width"),
            std::string::npos);
  const std::string dump = test::ReadBytes(dir + "/page.txt");
  EXPECT_NE(dump.find("Time x 2 (ms)"), std::string::npos);
  EXPECT_NE(test::ReadBytes(dir + "/page.svg").find("Time x 2 (ms)"), std::string::npos);
  const std::string ini = test::ReadBytes(settings + "/TAVELO3.ini");
  EXPECT_NE(ini.find("Large_plot=22680\r\n"), std::string::npos) << ini;
  EXPECT_NE(ini.find("time=1\r\n"), std::string::npos);
}

TEST(BatchExport, BadArgumentsAndBadFiles) {
  const std::string su = TenTraces();
  const std::string dir = test::TempDir();
  EXPECT_EQ(test::RunTavelo({"--export", dir + "/p.pdf", "--set", "Nope=1", su}, dir).status, 2);
  EXPECT_EQ(test::RunTavelo({"--export", dir + "/p.pdf", "--set", "fold=3", su}, dir).status, 2);
  EXPECT_EQ(test::RunTavelo({"--export", dir + "/p.pdf", "--set", "combo1=6", su}, dir).status, 2);
  EXPECT_EQ(test::RunTavelo({"--export", dir + "/p.doc", su}, dir).status, 2);
  EXPECT_EQ(test::RunTavelo({"--export", dir + "/p.pdf", "--paper", "B52", su}, dir).status, 2);
  EXPECT_TRUE(test::ReadBytes(dir + "/p.pdf").empty());

  test::CliRun missing = test::RunTavelo({"--export", dir + "/p.pdf", dir + "/gone.su"}, dir);
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("does not exist !"), std::string::npos) << missing.err;
  ASSERT_TRUE(test::WriteBytes(dir + "/empty.su", ""));
  test::CliRun empty = test::RunTavelo({"--export", dir + "/p.pdf", dir + "/empty.su"}, dir);
  EXPECT_EQ(empty.status, 1);
  EXPECT_NE(empty.err.find("Input file " + dir + "/empty.su is empty !"), std::string::npos);

  EXPECT_EQ(test::RunTavelo({"--help"}, "").status, 0);
  EXPECT_EQ(test::RunTavelo({"--version"}, "").status, 0);
}

TEST(BatchExport, ShortFileTakesTheAnswersInOrder) {
  const std::string dir = test::TempDir();
  auto traces = test::MakeTraces(1, 1000, 2000);
  const std::string bytes = test::SuFileBytes(traces).substr(0, 1500);  // under half a trace
  ASSERT_TRUE(test::WriteBytes(dir + "/short.su", bytes));
  test::CliRun r = test::RunTavelo({"--export", dir + "/p.png", "--dpi", "30", "--paper", "300x200", "--answer",
                  "5", "--answer", "3", dir + "/short.su"},
                 dir);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("Datum elevation ? → 5"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("Traces number to print ? → 3"), std::string::npos) << r.err;
  EXPECT_FALSE(test::ReadBytes(dir + "/p.png").empty());
}

}  // namespace
}  // namespace tavelo
