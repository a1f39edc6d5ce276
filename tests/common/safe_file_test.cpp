#include "common/safe_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace tavelo {
namespace {
namespace fs = std::filesystem;

class SafeFile : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "tavelo-safe-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
  }
  void TearDown() override {
    std::error_code ec;
    fs::permissions(folder_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(folder_, ec);
  }
  std::string Content(const fs::path& path) {
    std::string bytes;
    EXPECT_TRUE(ReadWholeFile(path.string(), bytes));
    return bytes;
  }
  // Everything in the folder, so a left-over temporary file is seen.
  size_t EntryCount(const fs::path& folder) {
    size_t count = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder)) ++count;
    return count;
  }
  fs::path folder_;
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
  std::string bytes = "stale";
  EXPECT_FALSE(ReadWholeFile((folder_ / "missing").string(), bytes));
  EXPECT_TRUE(bytes.empty());
  EXPECT_FALSE(ReadWholeFile(folder_.string(), bytes));
  EXPECT_FALSE(ReadWholeFile("", bytes));

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

}  // namespace
}  // namespace tavelo
