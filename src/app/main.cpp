// tavelo: plots an SU file as a seismic-section page, in the window or, with
// --export, without one.

#include <csignal>
#include <iostream>
#include <string>
#include <vector>

#include "app/batch.h"
#include "common/paths.h"
#include "app/window_app.h"

int main(int argc, char** argv) {
  // A file-size limit (ulimit -f, a batch system's quota) would kill us in
  // the middle of a write; ignored, the write fails with EFBIG and is
  // reported like a full disk, the old file kept.
  std::signal(SIGXFSZ, SIG_IGN);
  std::vector<std::string> args(argv + 1, argv + argc);
  tavelo::CommandLine options;
  std::string error;
  if (!tavelo::ParseCommandLine(args, options, error)) {
    std::cerr << "tavelo: " << error << "\n" << tavelo::kUsage;
    return 2;
  }
  if (options.help) {
    std::cout << tavelo::kUsage;
    return 0;
  }
  if (options.version) {
    std::cout << "tavelo " << TAVELO_VERSION << "\n";
    return 0;
  }
  if (!options.exportPath.empty()) return tavelo::RunBatchExport(options);
  return tavelo::RunWindow(argc, argv, tavelo::AbsolutePath(options.suFile), tavelo::AbsolutePath(options.settingsDir));
}
