// Replays the saved fuzz corpus (fuzz/corpus/TARGET) and every input that
// once broke a target (tests/reliability/crashes/TARGET) through the fuzz
// targets' own checks. A broken rule aborts with a line naming it.

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "../../fuzz/targets.h"
#include "support/su_writer.h"

namespace tavelo {
namespace {
namespace fs = std::filesystem;

using Target = int (*)(const uint8_t*, size_t);

// Every input file of a target, saved corpus and past failures.
std::vector<fs::path> Inputs(const std::string& target) {
  std::vector<fs::path> files;
  for (const fs::path& folder : {fs::path(TAVELO_SOURCE_DIR) / "fuzz" / "corpus" / target,
                                 fs::path(TAVELO_SOURCE_DIR) / "tests" / "reliability" / "crashes" / target}) {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec))
      if (entry.is_regular_file()) files.push_back(entry.path());
  }
  return files;
}

void Replay(const std::string& name, Target target) {
  const std::vector<fs::path> files = Inputs(name);
  EXPECT_FALSE(files.empty()) << "no saved corpus for " << name << ": run scripts/fuzz";
  for (const fs::path& file : files) {
    SCOPED_TRACE(file.string());
    const std::string bytes = test::ReadBytes(file.string());
    target(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  }
}

TEST(FuzzCorpus, SuBuild) { Replay("su_build", reliability::FuzzSuBuild); }
TEST(FuzzCorpus, Profile) { Replay("profile", reliability::FuzzProfile); }
TEST(FuzzCorpus, Picks) { Replay("picks", reliability::FuzzPicks); }
TEST(FuzzCorpus, ReplaceAll) { Replay("replace_all", reliability::FuzzReplaceAll); }
TEST(FuzzCorpus, Metafile) { Replay("wmf", reliability::FuzzMetafile); }
TEST(FuzzCorpus, Segy) { Replay("segy", reliability::FuzzSegy); }

}  // namespace
}  // namespace tavelo
