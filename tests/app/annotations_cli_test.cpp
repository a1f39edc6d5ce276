// The texts around the section as a user finds them in an exported PDF:
// title, orientation texts, time lines, trace labels and the history.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "support/su_writer.h"

namespace tavelo {
namespace {

std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) {
    if (c == '\'') q += "'\\''";
    else q += c;
  }
  return q + "'";
}

struct RunResult {
  int status = -1;
  std::string err;
};

// Runs tavelo with the arguments; standard input is empty so no question
// can wait on it.
RunResult Tavelo(const std::vector<std::string>& args, const std::string& settingsDir) {
  std::string cmd = "QT_QPA_PLATFORM=offscreen " + Quote(TAVELO_BINARY);
  cmd += " --settings-dir " + Quote(settingsDir);
  for (const auto& a : args) cmd += " " + Quote(a);
  const std::string errFile = test::TempFile("stderr.txt");
  cmd += " </dev/null >/dev/null 2>" + Quote(errFile);
  RunResult r;
  const int raw = std::system(cmd.c_str());
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  r.err = test::ReadBytes(errFile);
  return r;
}

std::string Pdftotext(const std::string& pdf) {
  const std::string txt = test::TempFile("page.txt");
  const std::string cmd = "pdftotext " + Quote(pdf) + " " + Quote(txt) + " 2>/dev/null";
  if (std::system(cmd.c_str()) != 0) return {};
  return test::ReadBytes(txt);
}

TEST(AnnotationsCli, TitleOrientationLinesLabelsAndHistoryInThePdf) {
  const std::string dir = test::TempDir();
  const std::string su = dir + "/line.su";
  ASSERT_TRUE(test::WriteSuFile(su, test::MakeTraces(40, 500, 4000, {}, 1000)));
  ASSERT_TRUE(test::WriteBytes(dir + "/line.txt", "SUGAIN AGC=1\r\nSUSTACK KEY=CDP\r\n"));

  RunResult r = Tavelo({"--export", dir + "/page.pdf", "--set", "Text1=Profile NORTH 7", "--set",
                        "Text13=SW", "--set", "Text14=NE", "--set", "time=1", "--set",
                        "Text7=500", "--set", "CDP=1", "--set", "Text22=1010", "--set",
                        "Text10=10", "--set", "prn=1", "--set", "Text19=200",
                        // the section well below the title, so no text overlaps
                        "--set", "Text9=40", su},
                       test::TempDir());
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string text = Pdftotext(dir + "/page.pdf");
  ASSERT_FALSE(text.empty());
  for (const char* expected : {"Profile NORTH 7", "SW", "NE", "500 ms", "1000 ms", "2000 ms", "CDP",
                               "1010", "1020", "1030", "sugain agc=1", "sustack key=cdp"})
    EXPECT_NE(text.find(expected), std::string::npos) << expected << " not in\n" << text;
  // Before the first label nothing is labelled; the history is lower case.
  EXPECT_EQ(text.find("1000\n"), std::string::npos) << text;
  EXPECT_EQ(text.find("SUGAIN"), std::string::npos);
}

}  // namespace
}  // namespace tavelo
