#include "helper_client/helper_authorization.h"

#include <gtest/gtest.h>

#include "helper_client/helper_label.h"
#include "tests/fakes/fake_authorization.h"
#include "tests/fakes/recording_logs.h"

namespace brannic {
namespace {

using testing::FakeAuthorizationServices;
using testing::RecordingSystemLog;

const std::string kRightName = std::string(HelperLabel) + ".runCommandLsWithPath:authData:completion:";
const PropertyDictionary kAppRule{{"class", "user"}, {"group", "admin"}, {"version", 1}};

HelperAuthorizationRight customRow(std::string name, PropertyDictionary rule) {
  return {"cmd:", std::move(name), "prompt", std::move(rule), std::nullopt};
}
HelperAuthorizationRight constantRow(std::string name, std::string rule) {
  return {"cmd:", std::move(name), "prompt", std::nullopt, std::move(rule)};
}
HelperAuthorizationRight bareRow(std::string name) {
  return {"cmd:", std::move(name), "prompt", std::nullopt, std::nullopt};
}

TEST(HelperAuthorizationTable, HoldsTheOneRightForTheAuthorizedRequest) {
  const auto& rights = HelperAuthorization::authorizationRights();
  ASSERT_EQ(rights.size(), 1u);
  EXPECT_EQ(rights[0].command, "runCommandLsWithPath:authData:completion:");
  EXPECT_EQ(rights[0].name, kRightName);
  EXPECT_EQ(rights[0].description, "Brannic Helper is trying to install a new helper tool");
  EXPECT_EQ(rights[0].ruleCustom, kAppRule);
  EXPECT_FALSE(rights[0].ruleConstant.has_value());
  EXPECT_EQ(&HelperAuthorization::authorizationRights(), &rights);
}

struct NeedsUpdateCase {
  const char* what;
  std::optional<PropertyValue> stored;
  HelperAuthorizationRight row;
  bool needsUpdate;
};

void PrintTo(const NeedsUpdateCase& c, std::ostream* out) { *out << c.what; }

class RightNeedsUpdate : public ::testing::TestWithParam<NeedsUpdateCase> {};

TEST_P(RightNeedsUpdate, ComparesTheStoredDefinitionWithTheRow) {
  const auto& c = GetParam();
  EXPECT_EQ(HelperAuthorization::rightNeedsUpdate(c.stored, c.row), c.needsUpdate) << c.what;
}

const HelperAuthorizationRight kAppRow = HelperAuthorization::authorizationRights().at(0);
const HelperAuthorizationRight kAdminRow = constantRow("r", "authenticate-admin");

INSTANTIATE_TEST_SUITE_P(
    Cases, RightNeedsUpdate,
    ::testing::Values(
        // Custom rule: only an equal integer "version" is current.
        NeedsUpdateCase{"same version", PropertyDictionary{kAppRule}, kAppRow, false},
        NeedsUpdateCase{"version alone", PropertyDictionary{{"version", 1}}, kAppRow, false},
        NeedsUpdateCase{"higher version", PropertyDictionary{{"version", 2}}, kAppRow, true},
        NeedsUpdateCase{"lower version", PropertyDictionary{{"version", 0}}, kAppRow, true},
        NeedsUpdateCase{"no version", PropertyDictionary{{"class", "user"}}, kAppRow, true},
        NeedsUpdateCase{"version as text", PropertyDictionary{{"version", "1"}}, kAppRow, true},
        NeedsUpdateCase{"version as real", PropertyDictionary{{"version", 1.0}}, kAppRow, true},
        NeedsUpdateCase{"empty dictionary", PropertyDictionary{}, kAppRow, true},
        NeedsUpdateCase{"not a dictionary", PropertyValue{"version 1"}, kAppRow, true},
        NeedsUpdateCase{"keys not all text", PropertyValue{OpaqueValue{"NSDictionary"}}, kAppRow, true},
        NeedsUpdateCase{"nothing stored", std::nullopt, kAppRow, true},
        NeedsUpdateCase{"row rule empty", PropertyDictionary{{"version", 1}}, customRow("r", {}), true},
        NeedsUpdateCase{"row version as text", PropertyDictionary{{"version", 1}},
                        customRow("r", {{"version", "1"}}), true},
        NeedsUpdateCase{"custom rule wins over constant", PropertyDictionary{{"rule", PropertyArray{"x"}}},
                        HelperAuthorizationRight{"c:", "r", "p", PropertyDictionary{{"version", 1}}, "x"},
                        true},
        // Constant rule: only the one-element list holding it is current.
        NeedsUpdateCase{"same rule list", PropertyDictionary{{"rule", PropertyArray{"authenticate-admin"}}},
                        kAdminRow, false},
        NeedsUpdateCase{"longer rule list",
                        PropertyDictionary{{"rule", PropertyArray{"authenticate-admin", "allow"}}}, kAdminRow,
                        true},
        NeedsUpdateCase{"empty rule list", PropertyDictionary{{"rule", PropertyArray{}}}, kAdminRow, true},
        NeedsUpdateCase{"other rule", PropertyDictionary{{"rule", PropertyArray{"allow"}}}, kAdminRow, true},
        NeedsUpdateCase{"rule as text", PropertyDictionary{{"rule", "authenticate-admin"}}, kAdminRow, true},
        NeedsUpdateCase{"rule list not text", PropertyDictionary{{"rule", PropertyArray{1}}}, kAdminRow,
                        true},
        NeedsUpdateCase{"no rule key", PropertyDictionary{{"version", 1}}, kAdminRow, true},
        NeedsUpdateCase{"nothing stored for constant", std::nullopt, kAdminRow, true},
        // Neither rule: always written.
        NeedsUpdateCase{"neither rule", PropertyDictionary{{"rule", PropertyArray{"authenticate-admin"}}},
                        bareRow("r"), true}),
    [](const ::testing::TestParamInfo<NeedsUpdateCase>& testCase) {
      std::string name = testCase.param.what;
      for (auto& ch : name)
        if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
      return name;
    });

class UpdateAuthorizationRights : public ::testing::Test {
 protected:
  void update() { HelperAuthorization::updateAuthorizationRights(services, systemLog); }
  void update(const std::vector<HelperAuthorizationRight>& rows) {
    HelperAuthorization::updateAuthorizationRights(services, systemLog, rows);
  }
  FakeAuthorizationServices services;
  RecordingSystemLog systemLog;
};

TEST_F(UpdateAuthorizationRights, WritesTheRightOnTheFirstRunOnly) {
  update();
  ASSERT_EQ(services.createCalls.size(), 1u);
  EXPECT_FALSE(services.createCalls[0].rights.has_value());
  EXPECT_FALSE(services.createCalls[0].environmentGiven);
  EXPECT_EQ(services.createCalls[0].flags, kAuthorizationFlagDefaults);
  ASSERT_EQ(services.writes.size(), 1u);
  EXPECT_EQ(services.writes[0].authorization, services.reference(0));
  EXPECT_EQ(services.writes[0].name, kRightName);
  EXPECT_EQ(services.writes[0].rule, PropertyValue{kAppRule});
  EXPECT_EQ(services.writes[0].description, "Brannic Helper is trying to install a new helper tool");

  update();
  EXPECT_EQ(services.reads, (std::vector<std::string>{kRightName, kRightName}));
  EXPECT_EQ(services.writes.size(), 1u);
  EXPECT_TRUE(systemLog.lines.empty());
}

TEST_F(UpdateAuthorizationRights, RewritesAStoredRightOfAnotherVersion) {
  services.database[kRightName] = PropertyDictionary{{"class", "user"}, {"group", "admin"}, {"version", 2}};
  update();
  ASSERT_EQ(services.writes.size(), 1u);
  EXPECT_EQ(services.database[kRightName], PropertyValue{kAppRule});
}

TEST_F(UpdateAuthorizationRights, LogsOneLineWhenTheLastCallForARowFails) {
  struct Case {
    const char* what;
    OSStatus readStatus;
    OSStatus writeStatus;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {"read fails, write succeeds", errAuthorizationInternal, noErr, {}},
      {"read and write fail",
       errAuthorizationInternal,
       errAuthorizationInternal,
       {"AuthorizationRightSet or Get failed with error: Optional(An unrecognized internal error "
        "occurred.)"}},
      {"write fails without a system message",
       noErr,
       -12345,
       {"AuthorizationRightSet or Get failed with error: nil"}},
  };
  for (const auto& c : cases) {
    FakeAuthorizationServices fresh;
    RecordingSystemLog freshLog;
    fresh.readStatus = c.readStatus;
    if (c.writeStatus != noErr) fresh.failingWrites[kRightName] = c.writeStatus;
    EXPECT_NO_THROW(HelperAuthorization::updateAuthorizationRights(fresh, freshLog)) << c.what;
    EXPECT_EQ(fresh.writes.size(), 1u) << c.what;
    EXPECT_EQ(freshLog.lines, c.lines) << c.what;
  }
}

TEST_F(UpdateAuthorizationRights, AFailingRowDoesNotStopTheNextOne) {
  services.failingWrites["first"] = errAuthorizationDenied;
  update({customRow("first", {{"version", 1}}), customRow("second", {{"version", 1}})});
  ASSERT_EQ(services.writes.size(), 2u);
  EXPECT_EQ(services.writes[1].name, "second");
  EXPECT_EQ(systemLog.lines,
            std::vector<std::string>{
                "AuthorizationRightSet or Get failed with error: Optional(The authorization was denied.)"});
  EXPECT_TRUE(services.database.contains("second"));
}

TEST_F(UpdateAuthorizationRights, WritesTheConstantOrTheDefaultRuleAsText) {
  const std::vector rows{constantRow("constant", "allow"), bareRow("bare")};
  update(rows);
  ASSERT_EQ(services.writes.size(), 2u);
  EXPECT_EQ(services.writes[0].rule, PropertyValue{"allow"});
  EXPECT_EQ(services.writes[1].rule, PropertyValue{"authenticate-admin"});

  // The database now holds the constant as its rule list: current. The bare
  // row has nothing to compare and is written again.
  update(rows);
  ASSERT_EQ(services.writes.size(), 3u);
  EXPECT_EQ(services.writes[2].name, "bare");
}

TEST_F(UpdateAuthorizationRights, ThrowsWhenNoReferenceIsMadeAndTouchesNoRight) {
  struct Case {
    FakeAuthorizationServices::CreateResult create;
    std::string thrown;
  };
  const Case cases[] = {
      {{errAuthorizationDenied, false}, "message(\"Optional(The authorization was denied.)\")"},
      {{-4242, false}, "message(\"nil\")"},
      {{noErr, false}, "message(\"Failed to get empty authorization ref\")"},
  };
  for (const auto& c : cases) {
    for (const bool emptyTable : {false, true}) {
      FakeAuthorizationServices fresh;
      RecordingSystemLog freshLog;
      fresh.createResult = c.create;
      try {
        if (emptyTable) {
          HelperAuthorization::updateAuthorizationRights(fresh, freshLog, {});
        } else {
          HelperAuthorization::updateAuthorizationRights(fresh, freshLog);
        }
        ADD_FAILURE() << "nothing thrown for " << c.thrown;
      } catch (const HelperAuthorizationError& error) {
        EXPECT_EQ(error.description(), c.thrown);
      }
      EXPECT_EQ(fresh.createCalls.size(), 1u);
      EXPECT_TRUE(fresh.reads.empty());
      EXPECT_TRUE(fresh.writes.empty());
      EXPECT_TRUE(freshLog.lines.empty());
    }
  }
}

TEST_F(UpdateAuthorizationRights, AnEmptyTableStillMakesTheReference) {
  update({});
  EXPECT_EQ(services.createCalls.size(), 1u);
  EXPECT_TRUE(services.reads.empty());
}

TEST(MakeAuthorizationRef, PassesItsArgumentsAndReportsTheOutcome) {
  FakeAuthorizationServices services;
  const AuthorizationItemSet rights{{"some.right", {}, 0}};
  const AuthorizationItemSet environment{};
  const AuthorizationRef made =
      HelperAuthorization::makeAuthorizationRef(services, &rights, &environment, 0x13);
  EXPECT_EQ(made, services.reference(0));
  ASSERT_EQ(services.createCalls.size(), 1u);
  ASSERT_TRUE(services.createCalls[0].rights.has_value());
  EXPECT_EQ(services.createCalls[0].rights->at(0).name, "some.right");
  EXPECT_TRUE(services.createCalls[0].environmentGiven);
  EXPECT_EQ(services.createCalls[0].flags, 0x13u);

  services.createResult = {noErr, false};
  EXPECT_EQ(HelperAuthorization::makeAuthorizationRef(services, nullptr, nullptr, 0), nullptr);

  services.createResult = {errAuthorizationCanceled, false};
  try {
    HelperAuthorization::makeAuthorizationRef(services, nullptr, nullptr, 0);
    ADD_FAILURE() << "nothing thrown";
  } catch (const HelperAuthorizationError& error) {
    EXPECT_EQ(error.text(), "Optional(The authorization was canceled by the user.)");
  }
}

}  // namespace
}  // namespace brannic
