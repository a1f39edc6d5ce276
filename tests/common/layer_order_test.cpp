// The folders under src/ are layers: a file may include its own folder's
// headers and those of the layers below it, never one above. This reads
// every #include under src/ and names each that points the wrong way, so a
// dependency against the order fails here rather than in a later cycle.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <string>
#include <vector>

namespace tavelo {
namespace {
namespace fs = std::filesystem;

// Lowest first. Folders of one rank (editor, settings) do not include each other.
const std::map<std::string, int>& Ranks() {
  static const std::map<std::string, int> ranks = {
      {"common", 0}, {"editor", 1},   {"settings", 1}, {"data", 2}, {"page", 3},  {"program", 4},
      {"overlays", 5}, {"render", 6}, {"output", 7},   {"ui", 8},   {"app", 9}};
  return ranks;
}

struct Include {
  std::string file;
  int line = 0;
  std::string target;  // the folder named by the include
};

std::vector<Include> ProjectIncludes(const fs::path& folder) {
  static const std::regex include(R"(^\s*#\s*include\s*"([a-z_]+)/[^"]+")");
  std::vector<Include> found;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (!entry.is_regular_file()) continue;
    std::ifstream in(entry.path());
    std::string text;
    for (int line = 1; std::getline(in, text); ++line) {
      std::smatch match;
      if (std::regex_search(text, match, include))
        found.push_back({entry.path().filename().string(), line, match[1]});
    }
  }
  return found;
}

TEST(LayerOrder, EveryIncludeUnderSrcPointsDownOrIntoItsOwnFolder) {
  const fs::path src = fs::path(TAVELO_SOURCE_DIR) / "src";
  int folders = 0;
  for (const auto& entry : fs::directory_iterator(src)) {
    if (!entry.is_directory()) continue;
    const std::string layer = entry.path().filename().string();
    const auto own = Ranks().find(layer);
    ASSERT_NE(own, Ranks().end()) << "src/" << layer << " has no place in the layer order";
    ++folders;
    for (const Include& inc : ProjectIncludes(entry.path())) {
      if (inc.target == layer) continue;
      const auto target = Ranks().find(inc.target);
      ASSERT_NE(target, Ranks().end()) << "src/" << layer << "/" << inc.file << ":" << inc.line
                                       << " includes the unknown folder " << inc.target;
      EXPECT_LT(target->second, own->second)
          << "src/" << layer << "/" << inc.file << ":" << inc.line << " includes " << inc.target
          << "/, which lies above (or beside) " << layer << "/ in the layer order";
    }
  }
  EXPECT_EQ(folders, static_cast<int>(Ranks().size()));
}

}  // namespace
}  // namespace tavelo
