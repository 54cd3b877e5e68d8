// The property lists of the macOS bundle: the application, the helper's
// information dictionary and its launchd job must agree on the helper's
// label, its version and the two signing requirements, or the system refuses
// to bless or start the helper. Checked as this build generates them, and,
// when a macOS cross build is configured, as the built bundle carries them:
// the application's Info.plist and the two sections of the helper executable.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <regex>

#include "helper_client/helper_label.h"
#include "tests/macos/macos_build.h"
#include "tests/macos/mach_o_file.h"
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

// One bundle's three property lists, and the team that both signing
// requirements must name.
struct BundlePlistSet {
  PropertyValue app;
  PropertyValue helper;
  PropertyValue launchd;
  std::optional<std::string> team;  // none: whichever the application's requirement names
};

BundlePlistSet generatedPlists() {
  auto read = [](const char* name) {
    return test::readXmlPropertyListFile(std::string(BRANNIC_TEST_PLISTS_DIR) + "/" + name);
  };
  return {read("Info.plist"), read("helper-Info.plist"), read("helper-launchd.plist"), BRANNIC_TEST_TEAM_ID};
}

// What the system reads: the helper's lists come out of its executable.
BundlePlistSet builtPlists() {
  const auto build = test::MacosBuild::fromEnvironment();
  const test::MachOFile helper = test::readMachOFile(build.helper());
  const test::MachOSlice& slice = helper.slices.front();
  auto section = [&](const char* name) {
    const test::MachOSection* found = slice.section(name);
    if (found == nullptr) throw std::runtime_error(std::string("the helper has no ") + name + " section");
    return test::readXmlPropertyList(slice.contents(*found));
  };
  return {test::readXmlPropertyListFile(build.contents() / "Info.plist"), section("__info_plist"),
          section("__launchd_plist"), std::nullopt};
}

struct PlistSource {
  const char* name;
  BundlePlistSet (*read)();
};
void PrintTo(const PlistSource& source, std::ostream* out) { *out << source.name; }

class BundlePlists : public ::testing::TestWithParam<PlistSource> {
 protected:
  std::string team() {
    if (plists.team) return *plists.team;
    const PropertyValue* privileged = entry(app, "SMPrivilegedExecutables");
    const auto parts = privileged != nullptr ? partsOf(text(*privileged, label)) : std::nullopt;
    return parts ? parts->team : "<no team named by the application>";
  }

  const BundlePlistSet plists = GetParam().read();
  const PropertyValue& app = plists.app;
  const PropertyValue& helper = plists.helper;
  const PropertyValue& launchd = plists.launchd;
  const std::string label{HelperLabel};
};

TEST_P(BundlePlists, NameTheHelperByItsOneLabel) {
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

TEST_P(BundlePlists, GiveTheHelperTheBuildsOneVersion) {
  EXPECT_EQ(text(helper, "CFBundleShortVersionString"), HelperVersion);
  EXPECT_EQ(text(helper, "CFBundleVersion"), HelperVersion);
}

// The application may bless only the helper signed as the label by the
// team; the helper lets only the application of that team bless and call
// it.
TEST_P(BundlePlists, PairTheTwoSigningRequirements) {
  const PropertyValue* privileged = entry(app, "SMPrivilegedExecutables");
  ASSERT_NE(privileged, nullptr);
  const auto helperRequirement = partsOf(text(*privileged, label));
  ASSERT_TRUE(helperRequirement) << text(*privileged, label);
  EXPECT_EQ(*helperRequirement, (RequirementParts{label, team()}));

  const PropertyValue* clients = entry(helper, "SMAuthorizedClients");
  ASSERT_NE(clients, nullptr);
  const auto* clientList = clients->get<PropertyArray>();
  ASSERT_NE(clientList, nullptr);
  ASSERT_EQ(clientList->size(), 1u);
  const auto* clientRequirementText = clientList->front().get<std::string>();
  ASSERT_NE(clientRequirementText, nullptr);
  const auto appRequirement = partsOf(*clientRequirementText);
  ASSERT_TRUE(appRequirement) << *clientRequirementText;
  EXPECT_EQ(*appRequirement, (RequirementParts{text(app, "CFBundleIdentifier"), team()}));
}

// The interface is built in code: a main interface file named here would
// make the application look for a file that is not in the bundle. It lives in
// the status bar, without a Dock icon.
TEST_P(BundlePlists, StartTheApplicationInTheStatusBarWithoutAnInterfaceFile) {
  EXPECT_EQ(text(app, "NSPrincipalClass"), "NSApplication");
  EXPECT_EQ(entry(app, "NSMainNibFile"), nullptr);
  EXPECT_EQ(entry(app, "NSMainStoryboardFile"), nullptr);
  ASSERT_NE(entry(app, "LSUIElement"), nullptr);
  EXPECT_EQ(*entry(app, "LSUIElement"), PropertyValue{true});
}

// The simulated Mac's copy of the helper carries a dictionary of its own;
// it must tell the same identity and version.
TEST_P(BundlePlists, AgreeWithTheSimulatedHelpersDictionary) {
  const std::string simulated = BRANNIC_TEST_SIM_HELPER_PLIST;
  if (!std::filesystem::exists(simulated)) GTEST_SKIP() << "no " << simulated;
  const PropertyValue simHelper = test::readXmlPropertyListFile(simulated);
  EXPECT_EQ(text(simHelper, "CFBundleIdentifier"), text(helper, "CFBundleIdentifier"));
  EXPECT_EQ(text(simHelper, "CFBundleShortVersionString"), text(helper, "CFBundleShortVersionString"));
}

std::string sourceName(const ::testing::TestParamInfo<PlistSource>& info) { return info.param.name; }

INSTANTIATE_TEST_SUITE_P(Generated, BundlePlists,
                         ::testing::Values(PlistSource{"generated", generatedPlists}), sourceName);
// Run only when a cross build is configured (tests/macos/CMakeLists.txt).
INSTANTIATE_TEST_SUITE_P(BuiltBundle, BundlePlists, ::testing::Values(PlistSource{"built", builtPlists}),
                         sourceName);

}  // namespace
}  // namespace brannic
