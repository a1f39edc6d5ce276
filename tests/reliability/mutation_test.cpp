// Mutated copies of the sample line built through the core as the command
// line builds them: every run ends with a page or a clear failure, soon.
// (scripts/fuzz --mutate runs ten thousand of them on the whole line.)

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>

#include "../../fuzz/core_run.h"
#include "../../fuzz/mutate.h"
#include "overlays/nmo_conversion.h"
#include "support/su_writer.h"

namespace tavelo {
namespace {
namespace fs = std::filesystem;
using namespace reliability;

TEST(MutatedSampleLine, EveryBuildEndsWithAPageOrAClearFailure) {
  const std::string folder = test::TempDir();
  const fs::path gen = fs::path(TAVELO_BINARY).parent_path().parent_path() / "bench" / "tavelo_gen";
  ASSERT_TRUE(fs::exists(gen)) << gen << " missing: build the tavelo_gen target";
  ASSERT_EQ(std::system(("'" + gen.string() + "' --sample '" + folder + "/line.su'").c_str()), 0);
  // The first 40 traces (of 1000 samples each) keep a run short.
  const std::string sample = test::ReadBytes(folder + "/line.su").substr(0, 40 * 4240);
  ASSERT_EQ(sample.size(), 40u * 4240);
  const std::string settings = folder + "/settings";
  fs::create_directories(settings);
  for (const char* name : {"TAVELO3.ini", "Korvane.ini"})
    fs::copy_file(fs::path(TAVELO_SOURCE_DIR) / "sample" / name, fs::path(settings) / name);
  const std::string velocity = folder + "/line.VEL";
  ASSERT_TRUE(test::WriteBytes(velocity, VelocityTableText(ParsePickLine(
                                             "cdp=101,120 tnmo=0.1,0.5 vnmo=1500,1800 tnmo=0.2 vnmo=0"))));

  std::map<Outcome, int> endings;
  const std::string mutant = folder + "/mutant.su";
  for (uint64_t i = 0; i < 250; ++i) {
    MutationRandom random(7000 + i);
    std::string bytes = sample;
    Mutate(bytes, random);
    BuildOptions options = OptionsFromBits(static_cast<uint16_t>(random.Next()));
    options.velocityFile = velocity;
    ASSERT_TRUE(test::WriteBytes(mutant, bytes));
    const auto start = std::chrono::steady_clock::now();
    const BuildResult result = BuildPage(mutant, settings, options);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ASSERT_LT(seconds, 10.0) << "mutation " << i;
    ASSERT_NE(result.outcome, Outcome::NoPage) << "mutation " << i;
    if (result.outcome != Outcome::Page) {
      ASSERT_FALSE(result.message.empty()) << "mutation " << i;
    }
    if (result.outcome == Outcome::Refused) {
      ASSERT_TRUE(bytes.empty()) << result.message;
    }
    endings[result.outcome]++;
  }
  // Most mutants still make a page; the refusals are the emptied files.
  EXPECT_GT(endings[Outcome::Page], 200);
}

}  // namespace
}  // namespace tavelo
