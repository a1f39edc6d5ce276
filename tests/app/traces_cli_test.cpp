// The display type chosen on the command line reaches the trace pass: the
// real binary with --set combo1=N, its dump and its question log.

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "support/cli.h"
#include "support/su_writer.h"

namespace tavelo {
namespace {

TEST(TracesOnTheCommandLine, DisplayTypeAndMaximumAnswer) {
  const std::string su = test::TempFile("line.su");
  ASSERT_TRUE(test::WriteSuFile(
      su, test::MakeTraces(10, 50, 4000, [](int s, int t) { return float((s + t) % 7 - 3); })));
  const std::string dir = test::TempDir();
  const std::string settings = test::TempDir();

  test::CliRun run = test::RunTavelo(
      {"--export", dir + "/c.svg", "--dump", dir + "/c.txt", "--set", "combo1=3", su}, settings);
  ASSERT_EQ(run.status, 0) << run.err;
  std::string err = run.err;
  std::string dump = test::ReadBytes(dir + "/c.txt");
  EXPECT_EQ(test::CountLines(dump, "cells "), 10) << dump;
  EXPECT_NE(err.find("Maximale Amplitude →  3\n"), std::string::npos) << err;

  // The answer sets the maximum (the first answer is the datum's).
  run = test::RunTavelo({"--export", dir + "/w.svg", "--dump", dir + "/w.txt", "--set", "combo1=5",
                         "--answer", "0", "--answer", "6", su},
                        settings);
  ASSERT_EQ(run.status, 0) << run.err;
  err = run.err;
  dump = test::ReadBytes(dir + "/w.txt");
  EXPECT_EQ(test::CountLines(dump, "cells "), 10);
  EXPECT_EQ(test::CountLines(dump, "polyline "), 20);
  EXPECT_NE(err.find("Maximale Amplitude → 6\n"), std::string::npos) << err;
}

}  // namespace
}  // namespace tavelo
