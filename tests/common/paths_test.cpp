#include "common/paths.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "support/temp_folder.h"

namespace tavelo {
namespace {
namespace fs = std::filesystem;

class PathsInFolder : public test::TempFolderTest {
 protected:
  std::string Make(const std::string& name, const std::string& content = "x") {
    std::string path = (folder_ / name).string();
    std::ofstream(path, std::ios::binary) << content;
    return path;
  }
};

TEST_F(PathsInFolder, FileExistsForFilesOnly) {
  std::string file = Make("LINE1.SU", "abc");
  EXPECT_EQ(FileExists(file), 1);
  EXPECT_EQ(FileExists(folder_.string()), 0);
  EXPECT_EQ(FileExists(folder_.string() + "/"), 0);
  EXPECT_EQ(FileExists((folder_ / "missing.su").string()), 0);
  EXPECT_EQ(FileExists(""), 0);
  EXPECT_EQ(FileExists(std::string("a\0b", 3)), 0);
  EXPECT_EQ(FileExists(file + "/more"), 0);  // a file used as a folder
}

TEST_F(PathsInFolder, WildcardsAreNotExpanded) {
  Make("LINE1.SU");
  EXPECT_EQ(FileExists((folder_ / "*.SU").string()), 0);
  EXPECT_EQ(FileExists((folder_ / "LINE?.SU").string()), 0);
  EXPECT_EQ(FindFileIgnoringCase((folder_ / "*.su").string()), "");
}

TEST_F(PathsInFolder, FileLengthOfRegularFiles) {
  EXPECT_EQ(FileLength(Make("a.su", "12345")), int64_t{5});
  EXPECT_EQ(FileLength(Make("empty.su", "")), int64_t{0});
  EXPECT_EQ(FileLength(folder_.string()), std::nullopt);
  EXPECT_EQ(FileLength((folder_ / "missing").string()), std::nullopt);
  EXPECT_EQ(FileLength(""), std::nullopt);
}

TEST_F(PathsInFolder, FindFileIgnoringCase) {
  std::string exact = Make("line1.txt");
  EXPECT_EQ(FindFileIgnoringCase(exact), exact);
  std::string prefix = folder_.string() + "/";
  EXPECT_EQ(FindFileIgnoringCase(prefix + "LINE1.TXT"), prefix + "line1.txt");
  EXPECT_EQ(FindFileIgnoringCase(prefix + "Line1.Txt"), prefix + "line1.txt");
  EXPECT_EQ(FindFileIgnoringCase(prefix + "line2.txt"), "");
  EXPECT_EQ(FindFileIgnoringCase(prefix + "line1.tx"), "");
  EXPECT_EQ(FindFileIgnoringCase(""), "");

  // Two spellings on disk: the exact one wins, else always the same one.
  Make("LINE1.TXT");
  EXPECT_EQ(FindFileIgnoringCase(prefix + "LINE1.TXT"), prefix + "LINE1.TXT");
  EXPECT_EQ(FindFileIgnoringCase(prefix + "Line1.txt"), prefix + "LINE1.TXT");

  // A folder of that name is not the file.
  fs::create_directory(folder_ / "DATA.VEL");
  EXPECT_EQ(FindFileIgnoringCase(prefix + "data.vel"), "");
  EXPECT_EQ(FindFileIgnoringCase(prefix + "nofolder/a.txt"), "");
}

TEST_F(PathsInFolder, FindFileInTheCurrentFolder) {
  Make("Shot.WMF");
  std::error_code ec;
  fs::path before = fs::current_path();
  fs::current_path(folder_);
  std::string found = FindFileIgnoringCase("shot.wmf");
  std::string absolute = AbsolutePath("./sub/../Shot.WMF");
  fs::current_path(before, ec);
  EXPECT_EQ(found, "Shot.WMF");
  EXPECT_EQ(absolute, (fs::canonical(folder_) / "Shot.WMF").string());
}

TEST(PathText, SeparatorsOfBothKinds) {
  EXPECT_EQ(LastSeparator("C:\\data\\line1.su"), 7u);
  EXPECT_EQ(LastSeparator("/data\\x/line1.su"), 7u);
  EXPECT_EQ(LastSeparator("line1.su"), std::string_view::npos);

  EXPECT_EQ(FolderOf("C:\\data\\line1.su"), "C:\\data\\");
  EXPECT_EQ(FolderOf("/home/u/line1.su"), "/home/u/");
  EXPECT_EQ(FolderOf("line1.su"), "li");
  EXPECT_EQ(FolderOf("x"), "x");
  EXPECT_EQ(FolderOf(""), "");
  EXPECT_EQ(FolderOf("\xC3\xA9t\xC3\xA9.su"), "\xC3\xA9t");  // two characters, not bytes

  EXPECT_EQ(FileNameOf("C:\\data\\line1.su"), "line1.su");
  EXPECT_EQ(FileNameOf("/a/b/"), "");
  EXPECT_EQ(FileNameOf("line1.su"), "line1.su");

  EXPECT_EQ(AbsolutePath(""), "");
  EXPECT_EQ(AbsolutePath("/a/./b/../c.su"), "/a/c.su");
}

}  // namespace
}  // namespace tavelo
