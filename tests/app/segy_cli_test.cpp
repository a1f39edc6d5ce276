// SEG-Y files on the command line: the pages of the files segyio wrote
// (tests/data/segy) are the pages of the SU file holding the same traces,
// in every display type the geophysicist picks, with labels and diagrams;
// the textual header is the history; broken files stop with one line.

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "support/cli.h"
#include "support/su_writer.h"

namespace tavelo {
namespace {

std::string SegyPath(const std::string& name) {
  return std::string(TAVELO_SOURCE_DIR) + "/tests/data/segy/" + name;
}

// Standard error less Qt's own notices about the environment (a missing
// XDG_RUNTIME_DIR on a bare machine).
std::string OwnLines(const std::string& err) {
  std::istringstream in(err);
  std::string out;
  for (std::string line; std::getline(in, line);)
    if (line.rfind("QStandardPaths: ", 0) != 0) out += line + "\n";
  return out;
}

// The dump of one page: the same title, trace spacing, CDP labels and the
// fold, elevation and statics diagrams for every file.
std::string PageDump(const std::string& file, int displayType, const std::string& settings,
                     std::vector<std::string> extra = {}) {
  const std::string dir = test::TempDir();
  std::vector<std::string> args = {"--export", dir + "/page.pdf", "--dump", dir + "/page.txt",
                                   "--set", "Text1=LINE SEGY-1", "--set", "Text32=12.5",
                                   "--set", "CDP=1", "--set", "fold=1", "--set", "Alti=1",
                                   "--set", "Statik=1", "--set", "combo1=" + std::to_string(displayType)};
  args.insert(args.end(), extra.begin(), extra.end());
  args.push_back(file);
  const test::CliRun run = test::RunTavelo(args, settings);
  EXPECT_EQ(run.status, 0) << file << "\n" << run.err;
  return test::ReadBytes(dir + "/page.txt");
}

TEST(SegyCli, PagesOfEveryFormatAndByteOrderAreThoseOfTheSameTracesInSu) {
  const std::string settings = test::TempDir();
  // Wiggle + area, wiggle, amplitude colour.
  for (int type : {0, 1, 3}) {
    const std::string reference = PageDump(SegyPath("reference.su"), type, settings);
    ASSERT_FALSE(reference.empty());
    for (const char* name : {"f1-be.sgy", "f1-le.sgy", "f2-be.sgy", "f2-le.sgy", "f3-be.sgy",
                             "f3-le.sgy", "f5-be.sgy", "f5-le.sgy", "f8-be.sgy", "f8-le.sgy"})
      EXPECT_EQ(PageDump(SegyPath(name), type, settings), reference) << name << ", display type " << type;
  }
  const std::string wiggle = PageDump(SegyPath("reference.su"), 1, settings);
  for (const char* name : {"f6-be.sgy", "f7-be.sgy", "f9-be.sgy", "rev1-exthead.sgy", "trace-ns.sgy"})
    EXPECT_EQ(PageDump(SegyPath(name), 1, settings), wiggle) << name;
  const std::string unsignedWiggle = PageDump(SegyPath("reference-unsigned.su"), 1, settings);
  for (const char* name : {"f10-be.sgy", "f11-be.sgy", "f12-be.sgy", "f15-be.sgy", "f16-be.sgy"})
    EXPECT_EQ(PageDump(SegyPath(name), 1, settings), unsignedWiggle) << name;

  // Every trace drawn, labelled from its cdp word (above 32767), with the
  // three diagrams' strips.
  EXPECT_EQ(test::CountLines(wiggle, "polyline "), 12 + 3) << wiggle;
  EXPECT_NE(wiggle.find(" 40001\n"), std::string::npos) << wiggle;
  EXPECT_NE(wiggle.find(" 40011\n"), std::string::npos) << wiggle;
  const std::string colour = PageDump(SegyPath("f1-le.sgy"), 3, settings);
  EXPECT_EQ(test::CountLines(colour, "cells "), 12);
}

TEST(SegyCli, TextualHeaderPrintedAsTheHistory) {
  const std::string settings = test::TempDir();
  const std::string dump = PageDump(SegyPath("f1-be.sgy"), 1, settings, {"--set", "prn=1"});
  EXPECT_NE(dump.find("c 1 client tavelo test data    line segy-1\\nc 2 written by segyio"),
            std::string::npos)
      << dump;

  // A history file beside it comes first, as for SU files.
  const std::string dir = test::TempDir();
  ASSERT_TRUE(test::WriteBytes(dir + "/line.sgy", test::ReadBytes(SegyPath("f1-be.sgy"))));
  ASSERT_TRUE(test::WriteBytes(dir + "/line.stxt", "SUSTACK KEY=CDP\r\n"));
  const std::string withFile = PageDump(dir + "/line.sgy", 1, settings, {"--set", "prn=1"});
  EXPECT_NE(withFile.find("sustack key=cdp"), std::string::npos) << withFile;
  EXPECT_EQ(withFile.find("client tavelo"), std::string::npos);
}

TEST(SegyCli, BrokenFilesStopWithOneLine) {
  const std::string settings = test::TempDir();
  const std::string dir = test::TempDir();
  for (const auto& [name, reason] : std::vector<std::pair<std::string, std::string>>{
           {"broken-truncated.sgy", "is truncated: it holds no whole trace"},
           {"broken-text-only.sgy", "has a textual header only"},
           {"broken-format.sgy", "has an unknown sample format code 4"},
           {"broken-negative-ns.sgy", "has -48 samples per trace"},
           {"broken-zero-ns.sgy", "has 0 samples per trace"}}) {
    const test::CliRun run = test::RunTavelo({"--export", dir + "/x.pdf", SegyPath(name)}, settings);
    EXPECT_EQ(run.status, 1) << name;
    EXPECT_EQ(OwnLines(run.err), "SEG-Y file " + SegyPath(name) + " " + reason + " !\n") << name;
  }
}

}  // namespace
}  // namespace tavelo
