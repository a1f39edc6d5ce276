// Peak memory of the PNG and SVG exports of a long line, measured on the
// real program in a child process, and the compact op boxes that keep the
// PNG's replay index small.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cmath>
#include <limits>
#include <span>
#include <string>
#include <vector>

#include "output/replay_index.h"
#include "page/page_document.h"
#include "support/cli.h"
#include "support/su_writer.h"

extern char** environ;

namespace tavelo {
namespace {

struct ChildRun {
  int status = -1;
  long peakKilobytes = 0;  // the child's largest resident set (its VmHWM at exit)
};

// Runs a program with its output discarded and reports its exit status and
// peak resident memory as the kernel accounted it when it ended.
ChildRun RunMeasured(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  ChildRun run;
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return run;
  int raw = 0;
  rusage usage{};
  if (wait4(pid, &raw, 0, &usage) != pid) return run;
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  run.peakKilobytes = usage.ru_maxrss;
  return run;
}

long long FileSize(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : 0;
}

#if defined(__SANITIZE_ADDRESS__)
#define TAVELO_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TAVELO_UNDER_ASAN 1
#endif
#endif

// The benchmark's long line: 10,000 traces of 2,000 samples (82 MB) on a
// 1100 x 800 mm section, wiggle + area, PNG at 150 dpi. A smaller file would
// measure the program's fixed part instead: Qt and its fonts (18 MB), the
// PNG's two 16 MB band images and the pixel writer's 16 MB scratch make
// about 70 MB whatever the line. What grows with the line, the display list
// and the PNG's index of op boxes, must stay within three times the file.
TEST(ExportMemoryTest, PngAndSvgOfTheLongLineStayUnderThreeTimesTheFile) {
#if defined(TAVELO_UNDER_ASAN)
  // Under AddressSanitizer every allocation carries its shadow and red zones,
  // and the export takes minutes: the peak says nothing of the program's own.
  GTEST_SKIP() << "peak memory is not the program's under AddressSanitizer";
#endif
  const std::string dir = test::TempDir();
  const std::string su = dir + "/line.su";
  ASSERT_EQ(test::Shell(test::ShellQuote(test::GeneratorPath()) + " --traces 10000 --samples 2000 --dt 2000 " +
                        test::ShellQuote(su) + " >/dev/null 2>&1"),
            0);
  const long long fileBytes = FileSize(su);
  ASSERT_GT(fileBytes, 80'000'000);
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  for (const char* format : {"png", "svg"}) {
    const std::string out = dir + "/line." + format;
    const ChildRun run = RunMeasured({TAVELO_BINARY, "--settings-dir", dir + "/settings", "--export", out, "--paper",
                                      "1200x900", "--set", "Text4=1100", "--set", "Text5=800", "--set", "combo1=0",
                                      "--dpi", "150", su});
    ASSERT_EQ(run.status, 0) << format;
    EXPECT_GT(FileSize(out), 1'000'000) << format;
    const double peakBytes = 1024.0 * static_cast<double>(run.peakKilobytes);
    EXPECT_LT(peakBytes, 3.0 * static_cast<double>(fileBytes))
        << format << ": peak " << peakBytes / 1048576 << " MB for a file of " << fileBytes / 1048576 << " MB";
    std::remove(out.c_str());
  }
}

}  // namespace
}  // namespace tavelo
