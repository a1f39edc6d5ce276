// The texts around the section as a user finds them in an exported PDF:
// title, orientation texts, time lines, trace labels and the history.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "support/cli.h"
#include "support/su_writer.h"

namespace tavelo {
namespace {

TEST(AnnotationsCli, TitleOrientationLinesLabelsAndHistoryInThePdf) {
  const std::string dir = test::TempDir();
  const std::string su = dir + "/line.su";
  ASSERT_TRUE(test::WriteSuFile(su, test::MakeTraces(40, 500, 4000, {}, 1000)));
  ASSERT_TRUE(test::WriteBytes(dir + "/line.txt", "SUGAIN AGC=1\r\nSUSTACK KEY=CDP\r\n"));

  test::CliRun r = test::RunTavelo({"--export", dir + "/page.pdf", "--set", "Text1=Profile NORTH 7", "--set",
                        "Text13=SW", "--set", "Text14=NE", "--set", "time=1", "--set",
                        "Text7=500", "--set", "CDP=1", "--set", "Text22=1010", "--set",
                        "Text10=10", "--set", "prn=1", "--set", "Text19=200",
                        // the section well below the title, so no text overlaps
                        "--set", "Text9=40", su},
                       test::TempDir());
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string text = test::PdfText(dir + "/page.pdf");
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
