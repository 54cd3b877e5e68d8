#include "platform/sim/authorization/rules.h"
#include "tests/support/case_name.h"

#include <gtest/gtest.h>

#include "platform/service_management.h"

namespace brannic::sim {
namespace {

struct RuleCase {
  const char* what;
  PropertyDictionary database;  // added to the built-in rules
  std::string right;
  RightVerdict expected;
};

PropertyDictionary userClass(const char* group) {
  PropertyDictionary rule{{"class", "user"}};
  if (group) rule["group"] = group;
  return rule;
}

PropertyDictionary delegation(PropertyValue names) { return {{"class", "rule"}, {"rule", std::move(names)}}; }

class RuleEvaluationTest : public ::testing::TestWithParam<RuleCase> {};

TEST_P(RuleEvaluationTest, DecidesByTheStoredDefinition) {
  auto database = builtInAuthorizationRules();
  for (const auto& [name, definition] : GetParam().database) database[name] = definition;
  const auto lookup = [&](const std::string& name) -> std::optional<PropertyValue> {
    const auto found = database.find(name);
    if (found == database.end()) return std::nullopt;
    return found->second;
  };
  EXPECT_EQ(evaluateRight(GetParam().right, lookup), GetParam().expected) << GetParam().what;
}

const PropertyDictionary appRight{{"class", "user"}, {"group", "admin"}, {"version", 1}};

INSTANTIATE_TEST_SUITE_P(
    Rules, RuleEvaluationTest,
    ::testing::Values(
        RuleCase{"the app's right asks the administrator", {{"app", appRight}}, "app", RightVerdict::askAdministrator},
        RuleCase{"class allow", {{"r", PropertyDictionary{{"class", "allow"}}}}, "r", RightVerdict::allow},
        RuleCase{"class deny", {{"r", PropertyDictionary{{"class", "deny"}}}}, "r", RightVerdict::deny},
        RuleCase{"class user without a group", {{"r", userClass(nullptr)}}, "r", RightVerdict::askAdministrator},
        RuleCase{"class user of another group", {{"r", userClass("wheel")}}, "r", RightVerdict::deny},
        RuleCase{"group that is not text", {{"r", PropertyDictionary{{"class", "user"}, {"group", 80}}}}, "r",
                 RightVerdict::deny},
        RuleCase{"unknown class", {{"r", PropertyDictionary{{"class", "evaluate-mechanisms"}}}}, "r",
                 RightVerdict::deny},
        RuleCase{"no class", {{"r", PropertyDictionary{{"version", 1}}}}, "r", RightVerdict::deny},
        RuleCase{"definition that is not a dictionary", {{"r", "allow"}}, "r", RightVerdict::deny},
        RuleCase{"missing right falls back to authenticate-admin", {}, "missing", RightVerdict::askAdministrator},
        RuleCase{"missing right with a permissive default rule",
                 {{kDefaultRuleName, PropertyDictionary{{"class", "allow"}}}}, "missing", RightVerdict::allow},
        RuleCase{"delegation by a text", {{"r", delegation("allow")}}, "r", RightVerdict::allow},
        RuleCase{"delegation by a list, all granted", {{"r", delegation(PropertyArray{"allow", "allow"})}}, "r",
                 RightVerdict::allow},
        RuleCase{"delegation: one asks", {{"r", delegation(PropertyArray{"allow", kDefaultRuleName})}}, "r",
                 RightVerdict::askAdministrator},
        RuleCase{"delegation: one denies, even after one that asks",
                 {{"r", delegation(PropertyArray{kDefaultRuleName, "deny"})}}, "r", RightVerdict::deny},
        RuleCase{"delegation to a missing rule", {{"r", delegation("nowhere")}}, "r", RightVerdict::deny},
        RuleCase{"delegation by an empty list", {{"r", delegation(PropertyArray{})}}, "r", RightVerdict::deny},
        RuleCase{"delegation list with a number", {{"r", delegation(PropertyArray{"allow", 3})}}, "r",
                 RightVerdict::deny},
        RuleCase{"delegation loop ends refused", {{"a", delegation("b")}, {"b", delegation("a")}}, "a",
                 RightVerdict::deny},
        RuleCase{"blessing right asks the administrator", {}, kSMRightBlessPrivilegedHelper,
                 RightVerdict::askAdministrator}),
    brannic::testing::CaseWhat());

TEST(RuleEvaluationWithoutDefaultTest, MissingRightOnAnEmptyDatabaseAsksTheAdministrator) {
  const auto nothing = [](const std::string&) -> std::optional<PropertyValue> { return std::nullopt; };
  EXPECT_EQ(evaluateRight("anything", nothing), RightVerdict::askAdministrator);
}

}  // namespace
}  // namespace brannic::sim
