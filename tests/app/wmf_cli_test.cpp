// Metafiles from the command line: a 1000 mm section on roll paper, far
// wider than 16-bit twips reach, read back by libwmf's wmf2svg.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "support/cli.h"
#include "support/su_writer.h"

namespace tavelo {
namespace {

// First x of every line and polyline of the dump, in drawing order.
std::vector<double> DumpLineStarts(const std::string& dump) {
  std::vector<double> xs;
  std::istringstream in(dump);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string kind;
    fields >> kind;
    if (kind != "line" && kind != "polyline") continue;
    double x;
    if (fields >> x) xs.push_back(x);
  }
  return xs;
}

std::vector<double> SvgPolylineStarts(const std::string& svg) {
  std::vector<double> xs;
  static const std::regex re("<polyline points=\"\\s*([-0-9.]+),");
  for (auto it = std::sregex_iterator(svg.begin(), svg.end(), re); it != std::sregex_iterator(); ++it)
    xs.push_back(std::stod((*it)[1].str()));
  return xs;
}

TEST(WmfCli, WideRollPlotKeepsEveryTraceWhereTheDumpPutsIt) {
  const std::string dir = test::TempDir();
  const std::string su = dir + "/line.su";
  ASSERT_TRUE(test::WriteSuFile(
      su, test::MakeTraces(120, 200, 4000, [](int s, int t) { return float((s + t) % 9 - 4); })));
  const std::string command = "QT_QPA_PLATFORM=offscreen " + test::ShellQuote(TAVELO_BINARY) +
                              " --settings-dir " + test::ShellQuote(dir + "/settings") + " --export " +
                              test::ShellQuote(dir + "/page.wmf") + " --dump " + test::ShellQuote(dir + "/page.txt") +
                              " --paper 1200x800 --set Text4=1000 " + test::ShellQuote(su) +
                              " </dev/null >/dev/null 2>" + test::ShellQuote(dir + "/stderr.txt");
  ASSERT_EQ(test::Shell(command), 0) << test::ReadBytes(dir + "/stderr.txt");
  const std::string wmf = test::ReadBytes(dir + "/page.wmf");
  ASSERT_GT(wmf.size(), 40u);
  EXPECT_EQ(static_cast<unsigned char>(wmf[0]), 0xD7);  // placeable key

  const std::vector<double> dumpX = DumpLineStarts(test::ReadBytes(dir + "/page.txt"));
  ASSERT_GT(dumpX.size(), 120u);
  double widest = 0;
  for (double x : dumpX) widest = std::max(widest, x);
  EXPECT_GT(widest, 40000) << "the traces reach past 16-bit twips";

  if (test::Shell("command -v wmf2svg >/dev/null 2>&1") != 0) GTEST_SKIP() << "no wmf2svg";
  ASSERT_EQ(test::Shell("wmf2svg -o " + test::ShellQuote(dir + "/page.svg") + " " + test::ShellQuote(dir + "/page.wmf") + " 2>" +
                test::ShellQuote(dir + "/complaints.txt")),
            0);
  EXPECT_EQ(test::ReadBytes(dir + "/complaints.txt"), "");
  const std::vector<double> svgX = SvgPolylineStarts(test::ReadBytes(dir + "/page.svg"));
  ASSERT_EQ(svgX.size(), dumpX.size());

  // One affine map from page twips to the picture holds for every mark.
  size_t lo = 0, hi = 0;
  for (size_t i = 0; i < dumpX.size(); ++i) {
    if (dumpX[i] < dumpX[lo]) lo = i;
    if (dumpX[i] > dumpX[hi]) hi = i;
  }
  const double scale = (svgX[hi] - svgX[lo]) / (dumpX[hi] - dumpX[lo]);
  ASSERT_GT(scale, 0);
  const double tolerance = 4 * scale * 1440 / 480 + 0.01;  // a few metafile units
  for (size_t i = 0; i < dumpX.size(); ++i)
    EXPECT_NEAR(svgX[i], svgX[lo] + (dumpX[i] - dumpX[lo]) * scale, tolerance) << i;
}

}  // namespace
}  // namespace tavelo
