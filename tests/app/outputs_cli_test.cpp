// What the command line writes where: devices, pipes, links and sockets as
// outputs, full disks, FIFOs as inputs, empty names, and files whose
// headers give no sample interval. The real binary, run through the shell.

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "support/cli.h"
#include "support/su_writer.h"

namespace tavelo {
namespace {
namespace fs = std::filesystem;
using test::ShellQuote;

std::string TenTraces(const std::string& dir) {
  const std::string path = dir + "/line.su";
  auto traces = test::MakeTraces(10, 1000, 4000, [](int s, int t) { return float((s + t) % 7 - 3); });
  traces[0].Set(su::kSdel, 100);  // no datum question
  EXPECT_TRUE(test::WriteSuFile(path, traces));
  return path;
}

// Runs `tavelo ARGS` in `dir` through bash, a time limit around it so a
// hang fails instead of stopping the suite; `before` goes in front of the
// command (environment, limits), `after` behind it (redirections). Standard
// error is returned in `err`.
test::CliRun RunIn(const std::string& dir, const std::string& args, const std::string& before = "",
                 const std::string& after = ">/dev/null") {
  const std::string errFile = dir + "/stderr.txt";
  const std::string command = "cd " + ShellQuote(dir) + " && " + before +
                              " QT_QPA_PLATFORM=offscreen timeout 60 " + ShellQuote(TAVELO_BINARY) +
                              " --settings-dir " + ShellQuote(dir + "/settings") + " " + args +
                              " </dev/null " + after + " 2>" + ShellQuote(errFile);
  test::CliRun r;
  r.status = test::Shell("bash -c " + ShellQuote(command));
  r.err = test::ReadBytes(errFile);
  return r;
}

TEST(Outputs, AnEmptyOutputNameIsABadArgument) {
  const std::string dir = test::TempDir();
  const std::string su = TenTraces(dir);
  for (const std::string& args : {"--export '' " + su, "--export p.pdf --dump '' " + su}) {
    test::CliRun r = RunIn(dir, args);
    EXPECT_EQ(r.status, 2) << args << "\n" << r.err;
    EXPECT_NE(r.err.find("needs a file name"), std::string::npos) << r.err;
  }
}

// /dev/stdout streams, to a file or a pipe, and stays the system's link.
TEST(Outputs, StandardOutputStreamsAndIsNeverReplaced) {
  const std::string dir = test::TempDir();
  const std::string su = TenTraces(dir);
  test::CliRun pdf = RunIn(dir, "--export /dev/stdout " + su, "", ">page.pdf");
  ASSERT_EQ(pdf.status, 0) << pdf.err;
  EXPECT_EQ(test::ReadBytes(dir + "/page.pdf").substr(0, 5), "%PDF-");
  EXPECT_NE(test::PdfText(dir + "/page.pdf").find("Elevation (m)"), std::string::npos);

  test::CliRun dump = RunIn(dir, "--export page.svg --dump /dev/stdout " + su, "", "| cat >dump.txt");
  ASSERT_EQ(dump.status, 0) << dump.err;
  EXPECT_EQ(test::ReadBytes(dir + "/dump.txt").substr(0, 5), "page ");
  EXPECT_TRUE(fs::is_symlink("/dev/stdout"));
  EXPECT_FALSE(fs::exists(dir + "/settings"));  // nothing else written
}

// A device named directly or through a link is written in place; a link to
// a regular file replaces that file and stays a link; a socket is refused.
TEST(Outputs, DevicesLinksAndSocketsAsTargets) {
  const std::string dir = test::TempDir();
  const std::string su = TenTraces(dir);
  const std::string device = dir + "/null";
  if (::mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0) GTEST_SKIP() << "cannot make a device";
  fs::create_symlink(device, dir + "/page.wmf");
  fs::create_directory(dir + "/real");
  ASSERT_TRUE(test::WriteBytes(dir + "/real/old.pdf", "OLD"));
  fs::create_symlink("real/old.pdf", dir + "/out.pdf");

  test::CliRun r = RunIn(dir, "--export page.wmf --dump null " + su);
  ASSERT_EQ(r.status, 0) << r.err;
  r = RunIn(dir, "--export out.pdf " + su);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(fs::is_character_file(device));
  EXPECT_TRUE(fs::is_symlink(dir + "/page.wmf"));
  EXPECT_TRUE(fs::is_symlink(dir + "/out.pdf"));
  EXPECT_EQ(test::ReadBytes(dir + "/real/old.pdf").substr(0, 5), "%PDF-");

  const std::string socketPath = dir + "/s.svg";
  const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::snprintf(address.sun_path, sizeof address.sun_path, "%s", socketPath.c_str());
  ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  r = RunIn(dir, "--export s.svg " + su);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("s.svg was not written: cannot write s.svg: not a regular file"), std::string::npos)
      << r.err;
  EXPECT_TRUE(fs::is_socket(socketPath));
  ::close(sock);
  size_t entries = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir)) ++entries;
  EXPECT_EQ(entries, 7u);  // line.su, null, the two links, real, s.svg, stderr.txt
}

// Every format under a file-size limit and on a (simulated) full disk:
// exit 1 with the reason, the old file whole, no library's own complaint.
TEST(Outputs, FullDisksKeepTheOldFileInEveryFormat) {
  const std::string dir = test::TempDir();
  const std::string su = TenTraces(dir);
  for (const char* name : {"old.svg", "old.pdf", "old.png", "old.wmf"}) {
    ASSERT_TRUE(test::WriteBytes(dir + "/" + name, "OLD"));
    test::CliRun limited = RunIn(dir, std::string("--export ") + name + " " + su, "ulimit -f 4 &&");
    EXPECT_EQ(limited.status, 1) << name << "\n" << limited.err;
    EXPECT_NE(limited.err.find(std::string(name) + ": File too large"), std::string::npos)
        << limited.err;
    test::CliRun full =
        RunIn(dir, std::string("--export ") + name + " " + su, std::string("TAVELO_TEST_WRITE_FAULT=write:") + name);
    EXPECT_EQ(full.status, 1) << name << "\n" << full.err;
    EXPECT_NE(full.err.find("No space left on device"), std::string::npos) << full.err;
    EXPECT_EQ(full.err.find("libpng"), std::string::npos) << full.err;
    EXPECT_EQ(test::ReadBytes(dir + "/" + name), "OLD");
  }
  size_t entries = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir)) ++entries;
  EXPECT_EQ(entries, 6u);  // no temporary file left behind
}

// A FIFO as the pick file or the table file does not hang the run; no table
// is made beside the pick FIFO.
TEST(Outputs, FifosAsVelocityFilesAreUnreadable) {
  const std::string dir = test::TempDir();
  const std::string su = TenTraces(dir);
  ASSERT_EQ(::mkfifo((dir + "/picks.NMO").c_str(), 0600), 0);
  ASSERT_EQ(::mkfifo((dir + "/table.VEL").c_str(), 0600), 0);
  for (const char* file : {"picks.NMO", "table.VEL"}) {
    test::CliRun r =
        RunIn(dir, "--export p.pdf --set velocity=1 --set Text21=" + dir + "/" + file + " " + su);
    EXPECT_EQ(r.status, 0) << file << "\n" << r.err;
  }
  EXPECT_FALSE(fs::exists(dir + "/picks.VEL"));
  EXPECT_TRUE(fs::is_fifo(dir + "/picks.NMO"));
}

// dt 0 and d1 0: the run asks for the sample interval; without an answer
// it stops with a line saying so, with one it draws.
TEST(Outputs, AFileWithoutSampleIntervalAsksForIt) {
  const std::string dir = test::TempDir();
  auto traces = test::MakeTraces(4, 200, 0);
  traces[0].Set(su::kSdel, 100);
  ASSERT_TRUE(test::WriteSuFile(dir + "/nodt.su", traces));
  test::CliRun r = RunIn(dir, "--export p.pdf nodt.su");
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_NE(r.err.find("no sample interval"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(dir + "/p.pdf"));
  r = RunIn(dir, "--export p.pdf --dump p.txt --answer 2000 nodt.su");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err.find("Nothing is drawn"), std::string::npos) << r.err;
  EXPECT_NE(test::ReadBytes(dir + "/p.txt").find("polyline"), std::string::npos);
}

}  // namespace
}  // namespace tavelo
