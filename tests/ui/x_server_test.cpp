// The program itself under a real X server (Xvfb): opened on the sample
// line it shows its window, builds the page on "OK  Display" (F5), shows
// each tab and closes cleanly with its settings saved. Skipped where Xvfb,
// xdotool or ImageMagick's import are missing.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/su_writer.h"

namespace tavelo {
namespace {

namespace fs = std::filesystem;

bool Have(const char* tool) {
  return std::system(("command -v " + std::string(tool) + " >/dev/null 2>&1").c_str()) == 0;
}

TEST(XServer, TheProgramShowsBuildsAndClosesOnTheSampleLine) {
  for (const char* tool : {"Xvfb", "xdotool", "import"})
    if (!Have(tool)) GTEST_SKIP() << tool << " is not installed (Debian xvfb, xdotool, imagemagick)";
  const fs::path build = fs::path(TAVELO_BINARY).parent_path().parent_path();
  if (!fs::exists(build / "bench" / "tavelo_gen")) GTEST_SKIP() << "tavelo_gen is not built";
  const std::string shots = test::TempDir();
  const std::string script = std::string(TAVELO_SOURCE_DIR) + "/docs/screenshots/make-screenshots.sh";
  const std::string command = "'" + script + "' '" + build.string() + "' '" + shots + "' >/dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0);
  for (const char* name : {"tab1-plot-parameters.png", "tab2-virtual-plot.png", "tab3-tools.png"})
    EXPECT_GT(fs::file_size(fs::path(shots) / name), 10000u) << name;
}

}  // namespace
}  // namespace tavelo
