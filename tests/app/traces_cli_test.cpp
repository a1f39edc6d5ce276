// The display type chosen on the command line reaches the trace pass: the
// real binary with --set combo1=N, its dump and its question log.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "support/su_writer.h"

namespace tavelo {
namespace {

std::string Quoted(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

// Runs the binary; returns its exit status and fills `err` with its
// standard error.
int RunTavelo(const std::vector<std::string>& args, std::string& err) {
  std::string cmd = "QT_QPA_PLATFORM=offscreen " + Quoted(TAVELO_BINARY);
  for (const auto& a : args) cmd += " " + Quoted(a);
  const std::string errFile = test::TempFile("stderr.txt");
  cmd += " </dev/null >/dev/null 2>" + Quoted(errFile);
  const int raw = std::system(cmd.c_str());
  err = test::ReadBytes(errFile);
  return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

int CountLines(const std::string& text, const std::string& prefix) {
  std::istringstream in(text);
  int n = 0;
  for (std::string line; std::getline(in, line);)
    if (line.rfind(prefix, 0) == 0) ++n;
  return n;
}

TEST(TracesOnTheCommandLine, DisplayTypeAndMaximumAnswer) {
  const std::string su = test::TempFile("line.su");
  ASSERT_TRUE(test::WriteSuFile(
      su, test::MakeTraces(10, 50, 4000, [](int s, int t) { return float((s + t) % 7 - 3); })));
  const std::string dir = test::TempDir();
  const std::string settings = test::TempDir();

  std::string err;
  ASSERT_EQ(RunTavelo({"--settings-dir", settings, "--export", dir + "/c.svg", "--dump",
                       dir + "/c.txt", "--set", "combo1=3", su},
                      err),
            0)
      << err;
  std::string dump = test::ReadBytes(dir + "/c.txt");
  EXPECT_EQ(CountLines(dump, "cells "), 10) << dump;
  EXPECT_NE(err.find("Maximale Amplitude →  3\n"), std::string::npos) << err;

  // The answer sets the maximum (the first answer is the datum's).
  ASSERT_EQ(RunTavelo({"--settings-dir", settings, "--export", dir + "/w.svg", "--dump",
                       dir + "/w.txt", "--set", "combo1=5", "--answer", "0", "--answer", "6",
                       su},
                      err),
            0)
      << err;
  dump = test::ReadBytes(dir + "/w.txt");
  EXPECT_EQ(CountLines(dump, "cells "), 10);
  EXPECT_EQ(CountLines(dump, "polyline "), 20);
  EXPECT_NE(err.find("Maximale Amplitude → 6\n"), std::string::npos) << err;
}

}  // namespace
}  // namespace tavelo
