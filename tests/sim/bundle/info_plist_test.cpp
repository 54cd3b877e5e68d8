// The information dictionary the helper carries in its executable.
#include "platform/sim/bundle/info_plist.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "helper_client/helper_label.h"
#include "platform/sim/base/file_io.h"
#include "platform/sim/base/property_list.h"
#include "tests/support/temp_dir.h"

namespace brannic::sim {
namespace {

std::optional<PropertyDictionary> embeddedDictionary(const std::string& path) {
  const auto text = readEmbeddedInfoPlist(path);
  if (!text) return std::nullopt;
  const auto value = parseXmlPropertyList(*text);
  if (!value || !value->get<PropertyDictionary>()) return std::nullopt;
  return *value->get<PropertyDictionary>();
}

std::string readAll(const std::string& path) { return readFileToString(path).value_or("<unreadable>"); }

class InfoPlistTest : public ::testing::Test {
 protected:
  void SetUp() override { std::filesystem::copy_file(BRANNIC_TEST_HELPER_EXECUTABLE, copy); }
  testing::TempDir folder;
  std::string copy = folder.path().string() + "/helper";
};

TEST_F(InfoPlistTest, TheBuiltHelperCarriesItsLabelAndVersion) {
  const auto dictionary = embeddedDictionary(BRANNIC_TEST_HELPER_EXECUTABLE);
  ASSERT_TRUE(dictionary);
  EXPECT_EQ(dictionary->at("CFBundleIdentifier"), PropertyValue(std::string(HelperLabel)));
  EXPECT_EQ(dictionary->at("CFBundleShortVersionString"), PropertyValue(std::string(HelperVersion)));
}

TEST_F(InfoPlistTest, OneKeyCanBeRewrittenOrRemovedInPlace) {
  const auto size = std::filesystem::file_size(copy);
  std::string error;
  ASSERT_TRUE(setEmbeddedInfoValue(copy, "CFBundleShortVersionString", PropertyValue("2.0"), &error))
      << error;
  auto dictionary = embeddedDictionary(copy);
  ASSERT_TRUE(dictionary);
  EXPECT_EQ(dictionary->at("CFBundleShortVersionString"), PropertyValue("2.0"));
  EXPECT_EQ(dictionary->at("CFBundleIdentifier"), PropertyValue(std::string(HelperLabel)));

  ASSERT_TRUE(setEmbeddedInfoValue(copy, "CFBundleShortVersionString", std::nullopt, &error)) << error;
  dictionary = embeddedDictionary(copy);
  ASSERT_TRUE(dictionary);
  EXPECT_EQ(dictionary->count("CFBundleShortVersionString"), 0u);
  EXPECT_EQ(std::filesystem::file_size(copy), size);

  const std::string before = readAll(copy);
  EXPECT_FALSE(setEmbeddedInfoValue(copy, "CFBundleShortVersionString", PropertyValue(std::string(8192, 'v')),
                                    &error));
  EXPECT_NE(error.find("does not fit"), std::string::npos) << error;
  EXPECT_EQ(readAll(copy), before);
}

TEST_F(InfoPlistTest, FilesThatAreNotSuchExecutablesAreReadAsCarryingNothing) {
  const std::string helper = readAll(copy);
  std::string badTable = helper;
  badTable[0x28 + 5] = '\x7F';  // the section table lies far beyond the end
  std::string badNames = helper;
  badNames[0x3E] = '\xFF';  // the section-name table index is out of range
  std::string bigEndian = helper;
  bigEndian[5] = 2;
  const struct {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"empty", ""},
      {"text", "<?xml version=\"1.0\"?><plist><dict/></plist>"},
      {"ELF header alone", helper.substr(0, 64)},
      {"cut short", helper.substr(0, helper.size() / 2)},
      {"section table out of the file", badTable},
      {"name table out of range", badNames},
      {"big-endian", bigEndian},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = folder.path().string() + "/case";
    ASSERT_TRUE(writeStringToFile(path, c.bytes));
    EXPECT_FALSE(readEmbeddedInfoPlist(path));
    std::string error;
    EXPECT_FALSE(setEmbeddedInfoValue(path, "CFBundleShortVersionString", PropertyValue("1"), &error));
    EXPECT_EQ(readAll(path), c.bytes);
  }
  EXPECT_FALSE(readEmbeddedInfoPlist(folder.path().string() + "/missing"));
  std::string error;
  EXPECT_FALSE(
      setEmbeddedInfoValue(folder.path().string() + "/missing", "CFBundleShortVersionString", std::nullopt, &error));
  EXPECT_EQ(error, "no file at " + folder.path().string() + "/missing");
}

}  // namespace
}  // namespace brannic::sim
