// How the simulated machine's authorization rules decide a request for a
// right. A definition is a dictionary:
//   "class" "allow"  granted
//   "class" "deny"   refused
//   "class" "user"   the administrator must authenticate; "group", when
//                    present, must be "admin" (the one group the simulated
//                    administrator's credentials stand for), else refused
//   "class" "rule"   delegates to the rules named by "rule" (a text or a list
//                    of texts), all of which must grant
// Anything else (another class, a malformed entry, a rule that is missing or
// nested too deep, as in a loop) refuses the right. So does a rule set that
// takes more than kMaxRuleLookups definitions to decide (rules that each
// delegate to many others fan out exponentially with depth): its verdict is
// tooComplex, which the caller reports and treats as a refusal.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "platform/property_list.h"

namespace brannic::sim {

enum class RightVerdict { allow, deny, askAdministrator, tooComplex };

// How many definitions one decision may look up. Real rule sets need a
// handful (the application's right takes two); the bound keeps a hostile or
// broken database to well under a millisecond of work per decision.
inline constexpr int kMaxRuleLookups = 256;

// Finds a stored right or rule definition by name.
using DefinitionLookup = std::function<std::optional<PropertyValue>(const std::string& name)>;

// The rule a right without a stored definition falls back to.
inline constexpr const char* kDefaultRuleName = "authenticate-admin";

// Decides a request for `right` by its stored definition; a right with none
// is decided by the rule kDefaultRuleName (or, when that too is missing, asks
// the administrator).
RightVerdict evaluateRight(const std::string& right, const DefinitionLookup& lookup);

// The definitions a fresh machine's database starts with: the rules "allow",
// "deny", "authenticate-admin" and the right to bless a privileged helper.
PropertyDictionary builtInAuthorizationRules();

}  // namespace brannic::sim
