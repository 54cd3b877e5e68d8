// The property lists of the macOS bundle, as the build generates them: the
// application, the helper's information dictionary and its launchd job must
// agree on the helper's label, its version and the two signing
// requirements, or the system refuses to bless or start the helper.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "helper_client/helper_label.h"
#include "tests/macos/xml_property_list.h"

namespace brannic {
namespace {

const PropertyValue* entry(const PropertyValue& dictionary, const std::string& key) {
  const auto* entries = dictionary.get<PropertyDictionary>();
  if (entries == nullptr) return nullptr;
  const auto found = entries->find(key);
  return found == entries->end() ? nullptr : &found->second;
}

std::string text(const PropertyValue& dictionary, const std::string& key) {
  const PropertyValue* value = entry(dictionary, key);
  const auto* string = value != nullptr ? value->get<std::string>() : nullptr;
  return string != nullptr ? *string : "<no text under " + key + ">";
}

// What a requirement names: the signing identifier and the team.
struct RequirementParts {
  std::string identifier;
  std::string team;
  bool operator==(const RequirementParts&) const = default;
};

std::optional<RequirementParts> partsOf(const std::string& requirement) {
  static const std::regex kShape(
      R"re(^anchor apple generic and identifier "([^"]+)" )re"
      R"re(and certificate leaf\[subject\.OU\] = "([^"]+)"$)re");
  std::smatch match;
  if (!std::regex_match(requirement, match, kShape)) return std::nullopt;
  return RequirementParts{match[1], match[2]};
}

class BundlePlists : public ::testing::Test {
 protected:
  static std::string generated(const char* name) { return std::string(BRANNIC_TEST_PLISTS_DIR) + "/" + name; }

  const PropertyValue app = test::readXmlPropertyListFile(generated("Info.plist"));
  const PropertyValue helper = test::readXmlPropertyListFile(generated("helper-Info.plist"));
  const PropertyValue launchd = test::readXmlPropertyListFile(generated("helper-launchd.plist"));
  const std::string label{HelperLabel};
};

TEST_F(BundlePlists, NameTheHelperByItsOneLabel) {
  EXPECT_EQ(text(helper, "CFBundleIdentifier"), label);
  EXPECT_EQ(text(launchd, "Label"), label);
  const PropertyValue onlyTheLabel{PropertyDictionary{{label, PropertyValue{true}}}};
  ASSERT_NE(entry(launchd, "MachServices"), nullptr);
  EXPECT_EQ(*entry(launchd, "MachServices"), onlyTheLabel);

  const PropertyValue* privileged = entry(app, "SMPrivilegedExecutables");
  ASSERT_NE(privileged, nullptr);
  ASSERT_NE(privileged->get<PropertyDictionary>(), nullptr);
  ASSERT_EQ(privileged->get<PropertyDictionary>()->size(), 1u);
  EXPECT_EQ(privileged->get<PropertyDictionary>()->begin()->first, label);
}

TEST_F(BundlePlists, GiveTheHelperTheBuildsOneVersion) {
  EXPECT_EQ(text(helper, "CFBundleShortVersionString"), HelperVersion);
  EXPECT_EQ(text(helper, "CFBundleVersion"), HelperVersion);
}

// The application may bless only the helper signed as the label by the
// team; the helper lets only the application of that team bless and call
// it.
TEST_F(BundlePlists, PairTheTwoSigningRequirements) {
  const PropertyValue* privileged = entry(app, "SMPrivilegedExecutables");
  ASSERT_NE(privileged, nullptr);
  const auto helperRequirement = partsOf(text(*privileged, label));
  ASSERT_TRUE(helperRequirement) << text(*privileged, label);
  EXPECT_EQ(*helperRequirement, (RequirementParts{label, BRANNIC_TEST_TEAM_ID}));

  const PropertyValue* clients = entry(helper, "SMAuthorizedClients");
  ASSERT_NE(clients, nullptr);
  const auto* clientList = clients->get<PropertyArray>();
  ASSERT_NE(clientList, nullptr);
  ASSERT_EQ(clientList->size(), 1u);
  const auto* clientRequirementText = clientList->front().get<std::string>();
  ASSERT_NE(clientRequirementText, nullptr);
  const auto appRequirement = partsOf(*clientRequirementText);
  ASSERT_TRUE(appRequirement) << *clientRequirementText;
  EXPECT_EQ(*appRequirement, (RequirementParts{text(app, "CFBundleIdentifier"), BRANNIC_TEST_TEAM_ID}));
}

// The interface is built in code: a main interface file named here would
// make the application look for a file that is not in the bundle.
TEST_F(BundlePlists, StartTheApplicationWithoutAnInterfaceFile) {
  EXPECT_EQ(text(app, "NSPrincipalClass"), "NSApplication");
  EXPECT_EQ(entry(app, "NSMainNibFile"), nullptr);
  EXPECT_EQ(entry(app, "NSMainStoryboardFile"), nullptr);
}

// The simulated Mac's copy of the helper carries a dictionary of its own;
// it must tell the same identity and version.
TEST_F(BundlePlists, AgreeWithTheSimulatedHelpersDictionary) {
  const std::string simulated = BRANNIC_TEST_SIM_HELPER_PLIST;
  if (!std::filesystem::exists(simulated)) GTEST_SKIP() << "no " << simulated;
  const PropertyValue simHelper = test::readXmlPropertyListFile(simulated);
  EXPECT_EQ(text(simHelper, "CFBundleIdentifier"), text(helper, "CFBundleIdentifier"));
  EXPECT_EQ(text(simHelper, "CFBundleShortVersionString"), text(helper, "CFBundleShortVersionString"));
}

}  // namespace
}  // namespace brannic
