// The installed bundle: its resources and the information dictionaries of
// bundles, property lists and tools.
#include "platform/sim/bundle/bundle.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "platform/sim/base/file_io.h"
#include "platform/sim/base/property_list.h"
#include "tests/support/temp_dir.h"

namespace brannic::sim {
namespace {

namespace fs = std::filesystem;

void writeFile(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  ASSERT_TRUE(writeStringToFile(path, bytes, nullptr));
}

class BundleTest : public ::testing::Test {
 protected:
  testing::TempDir temp;
  const std::string folder = temp.path().string();
  fs::path bundlePath = fs::path(folder) / "Brannic.app";
  SimBundle bundle{bundlePath.string()};
};

TEST_F(BundleTest, FindsOnlyResourcesThatExist) {
  writeFile(bundlePath / "Contents/Resources/Final.mp3", "ID3");
  writeFile(bundlePath / "Contents/Resources/README", "plain");
  fs::create_directories(bundlePath / "Contents/Resources/Folder.png");
  EXPECT_EQ(bundle.bundleURL(), bundlePath.string());
  EXPECT_EQ(bundle.urlForResource("Final", "mp3"), (bundlePath / "Contents/Resources/Final.mp3").string());
  EXPECT_EQ(bundle.urlForResource("README", ""), (bundlePath / "Contents/Resources/README").string());
  EXPECT_EQ(bundle.urlForResource("Final", "wav"), std::nullopt);
  EXPECT_EQ(bundle.urlForResource("Folder", "png"), std::nullopt) << "a folder is not a resource file";
  EXPECT_EQ(bundle.urlForResource("", ""), std::nullopt);
}

TEST_F(BundleTest, ReadsInformationDictionariesOfBundlesPlistsAndTools) {
  const PropertyValue info = PropertyDictionary{{"CFBundleShortVersionString", "1.0.0"}};
  writeFile(bundlePath / "Contents/Info.plist", xmlPropertyListText(info));
  writeFile(fs::path(folder) / "Info.plist",
            xmlPropertyListText(PropertyArray{"not", "a dictionary"}));
  writeFile(fs::path(folder) / "tool", std::string("\x7F"
                                                          "ELF and so on"));
  writeFile(fs::path(folder) / "broken.plist", "<?xml version=\"1.0\"?><plist><dict><key>a</key>");

  EXPECT_EQ(bundle.copyInfoDictionaryForURL(bundlePath.string()), info);
  EXPECT_EQ(bundle.copyInfoDictionaryForURL(folder + "/Info.plist"),
            PropertyValue(PropertyArray{"not", "a dictionary"}))
      << "whatever the file holds comes back";
  EXPECT_EQ(bundle.copyInfoDictionaryForURL(folder + "/broken.plist"), std::nullopt);
  EXPECT_EQ(bundle.copyInfoDictionaryForURL(folder + "/missing"), std::nullopt);
  EXPECT_EQ(bundle.copyInfoDictionaryForURL(folder), std::nullopt)
      << "a folder without Contents/Info.plist";

  std::string askedFor;
  bundle.setEmbeddedInfoReader([&askedFor, &info](const std::string& path) -> std::optional<std::string> {
    askedFor = path;
    return xmlPropertyListText(info);
  });
  EXPECT_EQ(bundle.copyInfoDictionaryForURL(folder + "/tool"), info);
  EXPECT_EQ(askedFor, folder + "/tool");
  bundle.setEmbeddedInfoReader([](const std::string&) -> std::optional<std::string> { return std::nullopt; });
  EXPECT_EQ(bundle.copyInfoDictionaryForURL(folder + "/tool"), std::nullopt);
}

}  // namespace
}  // namespace brannic::sim
