#pragma once
// A test fixture with a fresh, empty folder of its own for every test,
// removed (with whatever the test left in it, read-only or not) when the
// test ends.
//
//   class SavedFiles : public tavelo::test::TempFolderTest {};
//   TEST_F(SavedFiles, ...) { ... folder_ / "TAVELO3.ini" ... }

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <system_error>

namespace tavelo::test {

class TempFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "tavelo-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
  }
  void TearDown() override {
    std::error_code ignored;
    // A test may take away the folder's own permissions.
    std::filesystem::permissions(folder_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add,
                                 ignored);
    std::filesystem::remove_all(folder_, ignored);
  }

  std::filesystem::path folder_;
};

}  // namespace tavelo::test
