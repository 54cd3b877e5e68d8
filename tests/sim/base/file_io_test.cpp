// Whole-file reads and writes, and the atomic write's promise that a failed
// write leaves the old file and no staged file behind.
#include "platform/sim/base/file_io.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/support/temp_dir.h"

namespace brannic::sim {
namespace {

namespace fs = std::filesystem;

TEST(FileIoTest, WrittenBytesReadBackExactly) {
  testing::TempDir folder;
  const std::string bytes("line\n\0\xff end", 11);
  for (const bool atomically : {false, true}) {
    const fs::path path = folder.path() / (atomically ? "atomic" : "plain");
    ASSERT_TRUE(atomically ? writeStringToFileAtomically(path, bytes) : writeStringToFile(path, bytes));
    EXPECT_EQ(readFileToString(path), bytes);
    ASSERT_TRUE(writeStringToFile(path, "short"));
    EXPECT_EQ(readFileToString(path), "short") << "a shorter write replaces the whole file";
  }
}

TEST(FileIoTest, AFileThatCannotBeReadSaysWhy) {
  testing::TempDir folder;
  std::error_code error;
  EXPECT_EQ(readFileToString(folder.path() / "missing", &error), std::nullopt);
  EXPECT_EQ(error, std::errc::no_such_file_or_directory);
  EXPECT_EQ(readFileToString(folder.path(), &error), std::nullopt) << "a folder is no file";
  EXPECT_TRUE(error);
}

TEST(FileIoTest, AFailedAtomicWriteLeavesTheOldFileAndNoStagedFile) {
  testing::TempDir folder;
  // The rename fails: a non-empty folder stands where the file would go.
  const fs::path inTheWay = folder.path() / "database";
  fs::create_directories(inTheWay / "inside");
  std::error_code error;
  EXPECT_FALSE(writeStringToFileAtomically(inTheWay, "new", &error));
  EXPECT_TRUE(error);
  EXPECT_TRUE(fs::is_directory(inTheWay / "inside"));
  EXPECT_FALSE(fs::exists(folder.path() / "database.new"));
  // The staged file cannot be made: nothing changes.
  EXPECT_FALSE(writeStringToFileAtomically(folder.path() / "no" / "such" / "folder", "new", &error));
  EXPECT_EQ(error, std::errc::no_such_file_or_directory);
}

}  // namespace
}  // namespace brannic::sim
