#include "common/safe_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

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

}  // namespace
}  // namespace tavelo
