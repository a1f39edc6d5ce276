// tavelo_mutate: builds mutated copies of an SU file and tells how each run
// ended. Each in-process run is a forked child of this program (so one bad
// input cannot hide the next) with a watchdog alarm; command-line runs
// start the tavelo binary on the mutant.
//
//   tavelo_mutate --sample LINE.su --settings DIR [--runs N] [--seed S]
//                 [--timeout SECONDS] [--cli TAVELO --cli-runs M] [--keep DIR]
//
// A run ends well with a page, or with a clear failure: the file refused
// with its message, or a question that came back stopped with a line (in
// the command line: exit 1 and a line on standard error). A signal, a
// timeout or any other end is a failure: its input is kept in --keep
// (default ./tavelo_mutate_kept) and the exit status is 1.

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "core_run.h"
#include "mutate.h"
#include "targets.h"

namespace {

using namespace tavelo::reliability;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct Options {
  std::string sample, settings, cli, keep;
  long runs = 10000, cliRuns = 0;
  unsigned long long seed = 1;
  int timeout = 10;
};

struct Tally {
  std::map<std::string, long> endings;
  long failures = 0;
  double slowest = 0, total = 0;
  long runs = 0;
};

void Keep(const Options& o, const std::string& mutant, const std::string& name) {
  std::error_code ec;
  fs::create_directories(o.keep, ec);
  fs::copy_file(mutant, fs::path(o.keep) / name, fs::copy_options::overwrite_existing, ec);
}

void Report(const char* title, const Tally& t) {
  std::printf("%s: %ld runs, %.1f s, mean %.3f s, slowest %.3f s, failures %ld\n", title, t.runs,
              t.total, t.runs ? t.total / static_cast<double>(t.runs) : 0.0, t.slowest, t.failures);
  for (const auto& [ending, count] : t.endings) std::printf("  %-60s %ld\n", ending.c_str(), count);
  std::fflush(stdout);
}

// The in-process build of one mutant, in a child with a watchdog.
std::string InProcessRun(const Options& o, const std::string& mutant, uint16_t bits,
                         const std::string& velocity) {
  std::fflush(nullptr);
  const pid_t child = ::fork();
  if (child < 0) return "fork failed";
  if (child == 0) {
    ::alarm(static_cast<unsigned>(o.timeout));
    BuildOptions options = OptionsFromBits(bits);
    options.velocityFile = velocity;
    const BuildResult r = BuildPage(mutant, o.settings, options);
    std::_Exit(10 + static_cast<int>(r.outcome));
  }
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFSIGNALED(status)) {
    const int sig = WTERMSIG(status);
    return sig == SIGALRM ? "FAIL: over the time limit" : std::string("FAIL: signal ") + strsignal(sig);
  }
  const int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  switch (code - 10) {
    case static_cast<int>(Outcome::Page): return "page";
    case static_cast<int>(Outcome::Refused): return "refused with a message";
    case static_cast<int>(Outcome::Stopped): return "stopped with a line (question came back)";
    case static_cast<int>(Outcome::NoPage): return "FAIL: no page and no reason";
  }
  return "FAIL: exit " + std::to_string(code) + " (a sanitizer report?)";
}

// The batch command line on one mutant.
std::string CommandLineRun(const Options& o, const std::string& mutant, const std::string& out,
                           const std::string& errors) {
  std::error_code ec;
  fs::remove(out, ec);
  std::fflush(nullptr);
  const pid_t child = ::fork();
  if (child < 0) return "fork failed";
  if (child == 0) {
    const int fd = ::open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd >= 0) {
      ::dup2(fd, 2);
      ::dup2(fd, 1);
    }
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // Qt starts slower than the core builds, above all under the sanitizers.
    ::alarm(static_cast<unsigned>(o.timeout * 3));
    ::execl(o.cli.c_str(), o.cli.c_str(), "--export", out.c_str(), "--settings-dir",
            o.settings.c_str(), mutant.c_str(), static_cast<char*>(nullptr));
    std::_Exit(127);
  }
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFSIGNALED(status)) {
    const int sig = WTERMSIG(status);
    return sig == SIGALRM ? "FAIL: over the time limit" : std::string("FAIL: signal ") + strsignal(sig);
  }
  const int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  std::string log = ReadPlain(errors);
  while (!log.empty() && log.back() == '\n') log.pop_back();
  const std::string last = log.substr(log.rfind('\n') == std::string::npos ? 0 : log.rfind('\n') + 1);
  if (code == 0) {
    return fs::file_size(out, ec) > 0 && !ec ? "exit 0 with the page written" : "FAIL: exit 0 without a file";
  }
  if (code == 1 && !last.empty()) {
    // The kind of reason, not the path: "tavelo: the question ..." etc.
    std::string kind = last.substr(0, 48);
    if (last.find(" is empty !") != std::string::npos) kind = "exit 1: input file is empty";
    else if (last.rfind("tavelo: the question", 0) == 0) kind = "exit 1: a question came back";
    return kind.rfind("exit 1", 0) == 0 ? kind : "exit 1: " + kind;
  }
  return "FAIL: exit " + std::to_string(code) + ": " + last.substr(0, 80);
}

int Usage() {
  std::fputs("usage: tavelo_mutate --sample LINE.su --settings DIR [--runs N] [--seed S]\n"
             "                     [--timeout SECONDS] [--cli TAVELO --cli-runs M] [--keep DIR]\n",
             stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (i + 1 >= argc) return Usage();
    const std::string v = argv[++i];
    if (a == "--sample") o.sample = v;
    else if (a == "--settings") o.settings = v;
    else if (a == "--runs") o.runs = std::atol(v.c_str());
    else if (a == "--seed") o.seed = std::strtoull(v.c_str(), nullptr, 10);
    else if (a == "--timeout") o.timeout = std::atoi(v.c_str());
    else if (a == "--cli") o.cli = v;
    else if (a == "--cli-runs") o.cliRuns = std::atol(v.c_str());
    else if (a == "--keep") o.keep = v;
    else return Usage();
  }
  if (o.sample.empty() || o.settings.empty() || o.timeout < 1) return Usage();
  const std::string sample = ReadPlain(o.sample);
  if (sample.empty()) {
    std::fprintf(stderr, "tavelo_mutate: cannot read %s\n", o.sample.c_str());
    return 2;
  }
  const std::string work = WorkFolder();
  if (o.keep.empty()) o.keep = (fs::current_path() / "tavelo_mutate_kept").string();
  const std::string mutant = work + "/mutant.su";
  const std::string velocity = work + "/line.VEL";
  WritePlain(velocity, tavelo::VelocityTableText(tavelo::ParsePickLine(
      "cdp=1,101,150,250 tnmo=0.1,0.5 vnmo=1500,1800 tnmo=0.2,0.6,1.2 vnmo=1550,1900,2600")));

  Tally inProcess;
  for (long i = 0; i < o.runs; ++i) {
    MutationRandom r(o.seed * 1000003ull + static_cast<unsigned long long>(i));
    std::string bytes = sample;
    Mutate(bytes, r);
    const auto bits = static_cast<uint16_t>(r.Next());
    WritePlain(mutant, bytes);
    const auto start = Clock::now();
    const std::string ending = InProcessRun(o, mutant, bits, velocity);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    inProcess.runs++;
    inProcess.total += seconds;
    inProcess.slowest = std::max(inProcess.slowest, seconds);
    inProcess.endings[ending]++;
    if (ending.rfind("FAIL", 0) == 0) {
      inProcess.failures++;
      Keep(o, mutant, "in-process-" + std::to_string(i) + "-options-" + std::to_string(bits) + ".su");
      std::printf("run %ld (options %u): %s\n", i, bits, ending.c_str());
    }
    if ((i + 1) % 1000 == 0) std::fprintf(stderr, "%ld / %ld in-process runs\n", i + 1, o.runs);
  }
  Report("in-process builds", inProcess);

  Tally commandLine;
  if (!o.cli.empty()) {
    const std::string out = work + "/out.pdf", errors = work + "/stderr.txt";
    for (long i = 0; i < o.cliRuns; ++i) {
      MutationRandom r(~(o.seed * 1000003ull + static_cast<unsigned long long>(i)));
      std::string bytes = sample;
      Mutate(bytes, r);
      WritePlain(mutant, bytes);
      const auto start = Clock::now();
      const std::string ending = CommandLineRun(o, mutant, out, errors);
      const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
      commandLine.runs++;
      commandLine.total += seconds;
      commandLine.slowest = std::max(commandLine.slowest, seconds);
      commandLine.endings[ending]++;
      if (ending.rfind("FAIL", 0) == 0) {
        commandLine.failures++;
        Keep(o, mutant, "command-line-" + std::to_string(i) + ".su");
        std::printf("command-line run %ld: %s\n", i, ending.c_str());
      }
      if ((i + 1) % 50 == 0) std::fprintf(stderr, "%ld / %ld command-line runs\n", i + 1, o.cliRuns);
    }
    Report("command-line exports", commandLine);
  }
  if (inProcess.failures + commandLine.failures > 0) {
    std::printf("failing inputs kept in %s\n", o.keep.c_str());
    return 1;
  }
  return 0;
}
