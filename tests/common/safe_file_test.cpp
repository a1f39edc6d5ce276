#include "common/safe_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <future>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "support/temp_folder.h"

namespace tavelo {
namespace {
namespace fs = std::filesystem;

class SafeFile : public test::TempFolderTest {
 protected:
  std::string Content(const fs::path& path) {
    const std::optional<std::string> bytes = ReadWholeFile(path.string());
    EXPECT_TRUE(bytes);
    return bytes.value_or("");
  }
  // Everything in the folder, so a left-over temporary file is seen.
  size_t EntryCount(const fs::path& folder) {
    size_t count = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder)) ++count;
    return count;
  }
};

TEST_F(SafeFile, WritesAndReplacesLeavingNoTemporary) {
  fs::path target = folder_ / "TAVELO3.ini";
  std::string binary("a\0b\r\n\xFF", 6);
  std::string error;
  ASSERT_TRUE(WriteFileAtomically(target.string(), binary, false, &error)) << error;
  EXPECT_EQ(Content(target), binary);
  ASSERT_TRUE(WriteFileAtomically(target.string(), "second"));
  EXPECT_EQ(Content(target), "second");
  ASSERT_TRUE(WriteFileAtomically(target.string(), ""));
  EXPECT_EQ(Content(target), "");
  EXPECT_EQ(EntryCount(folder_), 1u);
}

TEST_F(SafeFile, KeepsThePermissionsOfTheReplacedFile) {
  fs::path target = folder_ / "keep.vel";
  ASSERT_TRUE(WriteFileAtomically(target.string(), "one"));
  fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  ASSERT_TRUE(WriteFileAtomically(target.string(), "two"));
  EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST_F(SafeFile, WritesThroughALink) {
  fs::path real = folder_ / "real.ini";
  fs::path link = folder_ / "link.ini";
  ASSERT_TRUE(WriteFileAtomically(real.string(), "old"));
  fs::create_symlink(real, link);
  ASSERT_TRUE(WriteFileAtomically(link.string(), "new"));
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(Content(real), "new");
}

TEST_F(SafeFile, CreatesFoldersOnlyWhenAsked) {
  fs::path target = folder_ / "a" / "b" / "Korvane.ini";
  std::string error;
  EXPECT_FALSE(WriteFileAtomically(target.string(), "x", false, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(fs::exists(folder_ / "a"));
  ASSERT_TRUE(WriteFileAtomically(target.string(), "x", true, &error)) << error;
  EXPECT_EQ(Content(target), "x");
}

TEST_F(SafeFile, FailuresKeepWhatWasThere) {
  std::string error;
  // The target is a folder.
  fs::create_directory(folder_ / "dir.wmf");
  EXPECT_FALSE(WriteFileAtomically((folder_ / "dir.wmf").string(), "x", true, &error));
  EXPECT_TRUE(fs::is_directory(folder_ / "dir.wmf"));
  // The folder part is a file.
  fs::path file = folder_ / "plain";
  ASSERT_TRUE(WriteFileAtomically(file.string(), "keep me"));
  EXPECT_FALSE(WriteFileAtomically((file / "x.ini").string(), "x", true, &error));
  EXPECT_FALSE(WriteFileAtomically((file / "x.ini").string(), "x", false, &error));
  EXPECT_EQ(Content(file), "keep me");
  // No name at all.
  EXPECT_FALSE(WriteFileAtomically("", "x", true, &error));
  EXPECT_FALSE(WriteFileAtomically((folder_ / "").string(), "x", true, &error));
  EXPECT_EQ(EntryCount(folder_), 2u);
}

TEST_F(SafeFile, UnwritableFolderKeepsTheOldFile) {
  if (geteuid() == 0) GTEST_SKIP() << "permissions do not bind the superuser";
  fs::path locked = folder_ / "locked";
  fs::create_directory(locked);
  fs::path target = locked / "TAVELO3.ini";
  ASSERT_TRUE(WriteFileAtomically(target.string(), "old"));
  fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec);
  std::string error;
  EXPECT_FALSE(WriteFileAtomically(target.string(), "new", false, &error));
  EXPECT_FALSE(error.empty());
  fs::permissions(locked, fs::perms::owner_all);
  EXPECT_EQ(Content(target), "old");
  EXPECT_EQ(EntryCount(locked), 1u);
}

TEST_F(SafeFile, ReadWholeFileRefusesWhatIsNotAFile) {
  EXPECT_FALSE(ReadWholeFile((folder_ / "missing").string()));
  EXPECT_FALSE(ReadWholeFile(folder_.string()));
  EXPECT_FALSE(ReadWholeFile(""));
  ASSERT_TRUE(WriteFileAtomically((folder_ / "empty").string(), ""));
  EXPECT_EQ(ReadWholeFile((folder_ / "empty").string()), std::string());  // empty, yet read

  std::string big(200000, 'q');
  big[123456] = '\0';
  ASSERT_TRUE(WriteFileAtomically((folder_ / "big").string(), big));
  EXPECT_EQ(Content(folder_ / "big"), big);
}

// The streaming writer: pieces below and above its buffer, a header patched
// at the end (still buffered, and after it reached the disk), the old file
// kept until the commit.
TEST_F(SafeFile, StreamingWriterPutsTheFileInPlaceOnlyOnCommit) {
  const fs::path target = folder_ / "page.wmf";
  ASSERT_TRUE(WriteFileAtomically(target.string(), "old"));
  std::string expected;
  {
    AtomicFileWriter file;
    std::string error;
    ASSERT_TRUE(file.Open(target.string(), false, &error)) << error;
    EXPECT_TRUE(file.IsOpen());
    ASSERT_TRUE(file.Write("HEADER"));
    expected = "HEADER";
    // Patched while still in the buffer.
    ASSERT_TRUE(file.Overwrite(1, "ea"));
    expected.replace(1, 2, "ea");
    std::string big(3 << 20, '\0');
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7 + i / 4096);
    for (int piece = 0; piece < 5000; ++piece) {
      const std::string small = "piece " + std::to_string(piece) + "\r\n";
      ASSERT_TRUE(file.Write(small));
      expected += small;
    }
    ASSERT_TRUE(file.Write(big));  // larger than the buffer: straight to the file
    expected += big;
    ASSERT_TRUE(file.Write(""));
    EXPECT_EQ(file.Size(), expected.size());
    // Patched once on the disk, and across the end of what reached it.
    ASSERT_TRUE(file.Overwrite(0, "h"));
    expected[0] = 'h';
    ASSERT_TRUE(file.Write("tail"));
    expected += "tail";
    ASSERT_TRUE(file.Overwrite(expected.size() - 6, "ENDS"));
    expected.replace(expected.size() - 6, 4, "ENDS");
    // Nothing past the end is patched.
    EXPECT_FALSE(file.Overwrite(expected.size() - 1, "xy"));
    EXPECT_FALSE(file.Overwrite(expected.size() + 1, ""));
    EXPECT_FALSE(file.Failed());
    // Until the commit the old file is there, beside one temporary file.
    EXPECT_EQ(Content(target), "old");
    EXPECT_EQ(EntryCount(folder_), 2u);
    ASSERT_TRUE(file.Commit(&error)) << error;
    EXPECT_FALSE(file.IsOpen());
    EXPECT_FALSE(file.Write("late"));
  }
  EXPECT_TRUE(Content(target) == expected);  // megabytes: no listing of them on failure
  EXPECT_EQ(EntryCount(folder_), 1u);

  // Given up (or dropped) before the commit: the old file stays, no temporary.
  {
    AtomicFileWriter file;
    ASSERT_TRUE(file.Open(target.string()));
    ASSERT_TRUE(file.Write("new"));
    file.Abandon();
    EXPECT_FALSE(file.Commit());
  }
  {
    AtomicFileWriter file;
    ASSERT_TRUE(file.Open(target.string()));
    ASSERT_TRUE(file.Write(std::string(5 << 20, 'n')));
  }
  EXPECT_TRUE(Content(target) == expected);
  EXPECT_EQ(EntryCount(folder_), 1u);

  // A writer that never opened, or could not open, commits nothing.
  std::string error;
  AtomicFileWriter idle;
  EXPECT_FALSE(idle.Write("x"));
  EXPECT_FALSE(idle.Commit(&error));
  EXPECT_FALSE(idle.Open((folder_ / "no" / "such.wmf").string(), false, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(idle.Open("", false, &error));
  fs::create_directory(folder_ / "dir.wmf");
  EXPECT_FALSE(idle.Open((folder_ / "dir.wmf").string(), true, &error));
  EXPECT_TRUE(fs::is_directory(folder_ / "dir.wmf"));
  EXPECT_EQ(EntryCount(folder_), 2u);
}

// The test seam fails the streaming writer at each stage as it fails
// WriteFileAtomically: false with a reason naming the file, the old file
// whole, no temporary left.
TEST_F(SafeFile, StreamingWriterFaultsKeepTheOldFile) {
  const fs::path target = folder_ / "line.wmf";
  ASSERT_TRUE(WriteFileAtomically(target.string(), "old metafile"));
  for (const char* fault : {"open:line.wmf", "write:line.wmf", "sync:*", "rename:line.wmf"}) {
    for (size_t size : {size_t{100}, size_t{3} << 20}) {
      const std::string context = std::string(fault) + " " + std::to_string(size);
      setenv(kWriteFaultVariable, fault, 1);
      std::string error;
      bool committed = false;
      {
        AtomicFileWriter file;
        if (file.Open(target.string(), false, &error)) {
          for (size_t written = 0; written < size; written += 1000) file.Write(std::string(1000, 'w'));
          file.Overwrite(0, "W");
          committed = file.Commit(&error);
        }
      }
      unsetenv(kWriteFaultVariable);
      EXPECT_FALSE(committed) << context;
      EXPECT_NE(error.find(std::string(fault).rfind("open", 0) == 0 ? folder_.string() : target.string()),
                std::string::npos)
          << context << ": " << error;
      EXPECT_EQ(Content(target), "old metafile") << context;
      EXPECT_EQ(EntryCount(folder_), 1u) << context;
    }
  }
  // Another file's fault does not touch this one.
  setenv(kWriteFaultVariable, "write:other.wmf", 1);
  AtomicFileWriter file;
  ASSERT_TRUE(file.Open(target.string()));
  ASSERT_TRUE(file.Write("new"));
  EXPECT_TRUE(file.Commit());
  unsetenv(kWriteFaultVariable);
  EXPECT_EQ(Content(target), "new");
}


// Where a write lands when the target is not a plain new or regular file.
// The device is a null device made in the test folder (root may make one),
// so nothing of the system's own /dev is at stake.
TEST_F(SafeFile, DevicesArePassedThroughOnlyWhenNamedAndNeverReplaced) {
  const fs::path device = folder_ / "null";
  if (::mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0) GTEST_SKIP() << "cannot make a device";
  const fs::path link = folder_ / "page.wmf";
  fs::create_symlink(device, link);
  std::string error;
  for (const fs::path& target : {device, link}) {
    EXPECT_FALSE(WriteFileAtomically(target.string(), "settings", false, &error)) << target;
    EXPECT_NE(error.find("not a regular file"), std::string::npos) << error;
    EXPECT_TRUE(WriteFileAtomically(target.string(), std::string(3 << 20, 'x'), false, &error,
                                    DeviceTargets::WriteInPlace))
        << error;
    EXPECT_TRUE(fs::is_character_file(device));
    EXPECT_TRUE(fs::is_symlink(link));
  }
  EXPECT_EQ(EntryCount(folder_), 2u);  // no temporary file left beside either

  // A socket is never written, whoever names it.
  const fs::path socketPath = folder_ / "s.pdf";
  const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::snprintf(address.sun_path, sizeof address.sun_path, "%s", socketPath.c_str());
  ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  EXPECT_FALSE(WriteFileAtomically(socketPath.string(), "x", false, &error, DeviceTargets::WriteInPlace));
  EXPECT_NE(error.find(socketPath.string() + ": not a regular file"), std::string::npos) << error;
  EXPECT_TRUE(fs::is_socket(socketPath));
  ::close(sock);
}

TEST_F(SafeFile, AFifoIsWrittenInPlaceAndNeverReadFrom) {
  const fs::path fifo = folder_ / "pipe.svg";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::string error;
  EXPECT_FALSE(WriteFileAtomically(fifo.string(), "x", false, &error));  // refused without opening
  auto reader = std::async(std::launch::async, [&] {
    std::string got;
    std::ifstream in(fifo, std::ios::binary);
    for (char c; in.get(c);) got += c;
    return got;
  });
  EXPECT_TRUE(WriteFileAtomically(fifo.string(), "streamed", false, &error, DeviceTargets::WriteInPlace))
      << error;
  EXPECT_EQ(reader.get(), "streamed");
  EXPECT_TRUE(fs::is_fifo(fifo));

  // Readers refuse it at once instead of waiting for a writer.
  EXPECT_FALSE(ReadWholeFile(fifo.string()));
  EXPECT_EQ(OpenRegularFile(fifo.string()), nullptr);
  EXPECT_TRUE(IsSpecialFile(fifo.string()));
  EXPECT_FALSE(IsSpecialFile((folder_ / "missing").string()));
  EXPECT_FALSE(IsSpecialFile(folder_.string()));
}

// Links are followed to the file they name, through a chain and to a file
// not made yet; the links themselves stay links.
TEST_F(SafeFile, LinkChainsReplaceTheFileAtTheirEnd) {
  fs::create_directory(folder_ / "real");
  const fs::path real = folder_ / "real" / "TAVELO3.ini";
  ASSERT_TRUE(WriteFileAtomically(real.string(), "old"));
  fs::create_symlink("real/TAVELO3.ini", folder_ / "one");
  fs::create_symlink(folder_ / "one", folder_ / "two");
  ASSERT_TRUE(WriteFileAtomically((folder_ / "two").string(), "new"));
  EXPECT_EQ(Content(real), "new");
  EXPECT_TRUE(fs::is_symlink(folder_ / "one"));
  EXPECT_TRUE(fs::is_symlink(folder_ / "two"));

  fs::create_symlink("real/later.vel", folder_ / "dangling");
  ASSERT_TRUE(WriteFileAtomically((folder_ / "dangling").string(), "table"));
  EXPECT_TRUE(fs::is_symlink(folder_ / "dangling"));
  EXPECT_EQ(Content(folder_ / "real" / "later.vel"), "table");

  fs::create_symlink(folder_ / "loop", folder_ / "loop");
  std::string error;
  EXPECT_FALSE(WriteFileAtomically((folder_ / "loop").string(), "x", false, &error));
  EXPECT_TRUE(fs::is_symlink(folder_ / "loop"));
}

// /dev/stdout, /dev/fd/N and /proc/self/fd/N name a descriptor we hold: the
// bytes go to it where it stands, as a shell redirection (even >>) expects.
TEST_F(SafeFile, OwnDescriptorsAreWrittenWhereTheyStand) {
  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  std::string error;
  ASSERT_TRUE(WriteFileAtomically("/dev/fd/" + std::to_string(ends[1]), "through a pipe", false, &error,
                                  DeviceTargets::WriteInPlace))
      << error;
  ::close(ends[1]);
  char buffer[64] = {};
  EXPECT_EQ(std::string(buffer, static_cast<size_t>(::read(ends[0], buffer, sizeof buffer))), "through a pipe");
  ::close(ends[0]);

  const fs::path log = folder_ / "run.log";
  ASSERT_TRUE(WriteFileAtomically(log.string(), "head\n"));
  const int appending = ::open(log.c_str(), O_WRONLY | O_APPEND);
  struct stat before {};
  ::stat(log.c_str(), &before);
  ASSERT_TRUE(WriteFileAtomically("/proc/self/fd/" + std::to_string(appending), "tail\n", false, &error,
                                  DeviceTargets::WriteInPlace))
      << error;
  ::close(appending);
  struct stat after {};
  ::stat(log.c_str(), &after);
  EXPECT_EQ(Content(log), "head\ntail\n");
  EXPECT_EQ(before.st_ino, after.st_ino);
  EXPECT_TRUE(fs::is_symlink("/dev/stdout"));
}

}  // namespace
}  // namespace tavelo
