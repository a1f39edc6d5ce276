// The folders under src/ are layers: a file may include its own folder's
// headers and those of the layers its folder is built on (directly or
// through another layer), never one above or beside it. This reads every
// #include under src/ and names each that points the wrong way, so a
// dependency against the order fails here rather than in a later cycle.
// A few headers of a lower layer are closed to a layer that must not use
// them (data shows no messages, so it has no Dialogs).

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "support/su_writer.h"

namespace tavelo {
namespace {
namespace fs = std::filesystem;

// Each folder and the folders it is built on, as src/CMakeLists.txt links
// them. data reads files and knows nothing of the window's fields, so it
// stands on common alone, beside settings and editor.
const std::map<std::string, std::vector<std::string>>& BuiltOn() {
  static const std::map<std::string, std::vector<std::string>> layers = {
      {"common", {}},
      {"editor", {"common"}},
      {"settings", {"common"}},
      {"data", {"common"}},
      {"page", {"data"}},
      {"program", {"page", "editor", "settings"}},
      {"overlays", {"program"}},
      {"render", {"overlays"}},
      {"output", {"render"}},
      {"ui", {"output"}},
      {"app", {"ui"}}};
  return layers;
}

// Headers a layer may not include although it is built on their folder.
// data tells what it found and leaves the messages to program/.
const std::map<std::string, std::set<std::string>>& ClosedHeaders() {
  static const std::map<std::string, std::set<std::string>> closed = {
      {"data", {"common/dialogs.h", "common/batch_dialogs.h"}}};
  return closed;
}

bool IsClosedTo(const std::string& layer, const std::string& header) {
  const auto closed = ClosedHeaders().find(layer);
  return closed != ClosedHeaders().end() && closed->second.count(header) > 0;
}

// True when `from` is built on `to`, directly or through other layers.
bool MayInclude(const std::string& from, const std::string& to) {
  std::vector<std::string> pending = {from};
  std::set<std::string> seen;
  while (!pending.empty()) {
    const std::string layer = pending.back();
    pending.pop_back();
    if (!seen.insert(layer).second) continue;
    const auto below = BuiltOn().find(layer);
    if (below == BuiltOn().end()) continue;
    for (const std::string& next : below->second) {
      if (next == to) return true;
      pending.push_back(next);
    }
  }
  return false;
}

// Every include under `src` that points against the layer order, and every
// folder or included folder the order does not know, one message each.
std::vector<std::string> LayerViolations(const fs::path& src) {
  static const std::regex include(R"re(^\s*#\s*include\s*"(([a-z_]+)/[^"]+)")re");
  std::vector<std::string> problems;
  for (const auto& folder : fs::directory_iterator(src)) {
    if (!folder.is_directory()) continue;
    const std::string layer = folder.path().filename().string();
    if (!BuiltOn().count(layer)) {
      problems.push_back("src/" + layer + " has no place in the layer order");
      continue;
    }
    for (const auto& entry : fs::directory_iterator(folder.path())) {
      if (!entry.is_regular_file()) continue;
      std::ifstream in(entry.path());
      std::string text;
      for (int line = 1; std::getline(in, text); ++line) {
        std::smatch match;
        if (!std::regex_search(text, match, include)) continue;
        const std::string header = match[1];
        const std::string target = match[2];
        const std::string where =
            "src/" + layer + "/" + entry.path().filename().string() + ":" + std::to_string(line);
        if (IsClosedTo(layer, header))
          problems.push_back(where + " includes " + header + ", which " + layer + "/ may not use");
        if (target == layer) continue;
        if (!BuiltOn().count(target))
          problems.push_back(where + " includes the unknown folder " + target);
        else if (!MayInclude(layer, target))
          problems.push_back(where + " includes " + target + "/, which " + layer +
                             "/ is not built on");
      }
    }
  }
  return problems;
}

TEST(LayerOrder, EveryIncludeUnderSrcPointsDownOrIntoItsOwnFolder) {
  const fs::path src = fs::path(TAVELO_SOURCE_DIR) / "src";
  int folders = 0;
  for (const auto& entry : fs::directory_iterator(src)) folders += entry.is_directory() ? 1 : 0;
  EXPECT_EQ(folders, static_cast<int>(BuiltOn().size()));
  for (const std::string& problem : LayerViolations(src)) ADD_FAILURE() << problem;
}

// The check itself, on a made-up tree: each wrong way is named, the right
// ways (also through another layer) pass.
TEST(LayerOrder, WrongWaysInAMadeUpTreeAreNamed) {
  const fs::path src = test::TempDir();
  auto write = [&src](const std::string& file, const std::string& text) {
    fs::create_directories((src / file).parent_path());
    std::ofstream(src / file) << text;
  };
  write("data/reader.cpp", "#include \"data/reader.h\"\n#include \"common/paths.h\"\n"
                           "  #  include \"settings/form.h\"\n#include \"common/dialogs.h\"\n");
  write("program/fields.cpp", "#include \"common/dialogs.h\"\n");
  write("settings/form.cpp", "#include \"editor/text.h\"\n");
  write("program/state.h", "#include \"data/reader.h\"\n#include <vector>\n#include \"ui/window.h\"\n");
  write("ui/window.cpp", "#include \"common/paths.h\"\n#include \"gadgets/x.h\"\n");
  write("tools/x.cpp", "");

  std::vector<std::string> problems = LayerViolations(src);
  std::sort(problems.begin(), problems.end());
  const std::vector<std::string> expected = {
      "src/data/reader.cpp:3 includes settings/, which data/ is not built on",
      "src/data/reader.cpp:4 includes common/dialogs.h, which data/ may not use",
      "src/program/state.h:3 includes ui/, which program/ is not built on",
      "src/settings/form.cpp:1 includes editor/, which settings/ is not built on",
      "src/tools has no place in the layer order",
      "src/ui/window.cpp:2 includes the unknown folder gadgets",
  };
  EXPECT_EQ(problems, expected);
}

}  // namespace
}  // namespace tavelo
