// The rights database file: what stands at its path when it is not a
// readable database, and a save that fails.
#include "platform/sim/authorization/database.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>

#include "platform/sim/base/file_io.h"
#include "tests/support/call_within.h"
#include "tests/support/case_name.h"
#include "tests/support/temp_dir.h"

namespace brannic::sim {
namespace {

namespace fs = std::filesystem;

// Why opening the database at `path` fails ("" when it opens), within 10 s:
// a database that hangs its reader fails the test program.
std::string openingError(const fs::path& path) {
  return testing::callWithin(std::chrono::seconds(10), "opening the database at " + path.string(),
                             [&path]() -> std::string {
                               try {
                                 SimAuthorizationDatabase database(path);
                                 return "";
                               } catch (const std::exception& failure) {
                                 return failure.what();
                               }
                             });
}

struct UnreadableCase {
  std::string name;
  std::function<void(const fs::path&)> makeAt;
  std::string why;  // part of the error
};

class UnreadableDatabaseTest : public ::testing::TestWithParam<UnreadableCase> {};

TEST_P(UnreadableDatabaseTest, IsReportedAndLeftAsItIs) {
  testing::TempDir folder;
  const fs::path path = folder.path() / "auth.db";
  GetParam().makeAt(path);
  const auto before = fs::symlink_status(path).type();

  const std::string error = openingError(path);
  EXPECT_NE(error.find(path.string()), std::string::npos) << error;
  EXPECT_NE(error.find(GetParam().why), std::string::npos) << error;
  EXPECT_EQ(fs::symlink_status(path).type(), before) << "replaced what could not be read";
  EXPECT_FALSE(fs::exists(fs::symlink_status(path.string() + ".new")));
}

INSTANTIATE_TEST_SUITE_P(
    AtThePath, UnreadableDatabaseTest,
    ::testing::Values(
        UnreadableCase{"Folder", [](const fs::path& at) { fs::create_directories(at / "inside"); },
                       "is a folder"},
        UnreadableCase{"Fifo", [](const fs::path& at) { ASSERT_EQ(::mkfifo(at.c_str(), 0600), 0); },
                       "is a FIFO"},
        UnreadableCase{"LinkToDevZero", [](const fs::path& at) { fs::create_symlink("/dev/zero", at); },
                       "is a device"},
        UnreadableCase{"LinkLoop", [](const fs::path& at) { fs::create_symlink(at.filename(), at); },
                       "cannot be read: Too many levels of symbolic links"},
        UnreadableCase{"LinkToNothing", [](const fs::path& at) { fs::create_symlink("missing", at); },
                       "is a link to nothing"},
        UnreadableCase{"TooLarge",
                       [](const fs::path& at) {
                         ASSERT_TRUE(writeStringToFile(at, std::string(5 << 20, ' ')));
                       },
                       "is larger than"}),
    testing::CaseName());

TEST(SimAuthorizationDatabaseSaveTest, FailedSaveKeepsTheRightsAndLeavesNoStagedFile) {
  testing::TempDir folder;
  const fs::path path = folder.path() / "auth.db";
  SimAuthorizationDatabase database(path);
  // The rename over the database fails: a folder that is not empty has taken its place.
  fs::remove(path);
  fs::create_directories(path / "inside");

  EXPECT_FALSE(database.store("new-right", PropertyDictionary{{"class", "allow"}}));
  EXPECT_FALSE(database.definition("new-right").has_value());
  EXPECT_TRUE(database.definition("authenticate-admin").has_value());
  EXPECT_FALSE(fs::exists(path.string() + ".new"));
}

TEST(SimAuthorizationDatabaseSaveTest, LinkAtTheStagedNameIsNotFollowed) {
  testing::TempDir folder;
  const fs::path path = folder.path() / "auth.db";
  const fs::path elsewhere = folder.path() / "elsewhere";
  ASSERT_TRUE(writeStringToFile(elsewhere, "untouched"));
  SimAuthorizationDatabase database(path);
  fs::create_symlink(elsewhere, path.string() + ".new");

  EXPECT_TRUE(database.store("new-right", PropertyDictionary{{"class", "allow"}}));
  EXPECT_EQ(readFileToString(elsewhere), "untouched");
  EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(path)));
  EXPECT_TRUE(SimAuthorizationDatabase(path).definition("new-right").has_value());
}

}  // namespace
}  // namespace brannic::sim
