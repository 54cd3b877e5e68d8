#include "platform/sim/authorization/rules.h"

#include <vector>

#include "platform/service_management.h"

namespace brannic::sim {

namespace {

// Deeper delegation than any real rule needs: a loop ends here.
constexpr int kMaxRuleDepth = 8;

const std::string* textEntry(const PropertyDictionary& definition, const std::string& key) {
  const auto found = definition.find(key);
  return found == definition.end() ? nullptr : found->second.get<std::string>();
}

RightVerdict evaluateDefinition(const PropertyValue& definition, const DefinitionLookup& lookup, int depth);

RightVerdict evaluateNamedRule(const std::string& name, const DefinitionLookup& lookup, int depth) {
  if (depth > kMaxRuleDepth) return RightVerdict::deny;
  const auto definition = lookup(name);
  if (!definition) return RightVerdict::deny;
  return evaluateDefinition(*definition, lookup, depth + 1);
}

std::optional<std::vector<std::string>> delegatedRuleNames(const PropertyDictionary& definition) {
  const auto found = definition.find("rule");
  if (found == definition.end()) return std::nullopt;
  if (const auto* single = found->second.get<std::string>()) return std::vector<std::string>{*single};
  const auto* list = found->second.get<PropertyArray>();
  if (!list || list->empty()) return std::nullopt;
  std::vector<std::string> names;
  for (const auto& item : *list) {
    const auto* name = item.get<std::string>();
    if (!name) return std::nullopt;
    names.push_back(*name);
  }
  return names;
}

RightVerdict evaluateDefinition(const PropertyValue& definition, const DefinitionLookup& lookup, int depth) {
  const auto* dictionary = definition.get<PropertyDictionary>();
  if (!dictionary) return RightVerdict::deny;
  const auto* ruleClass = textEntry(*dictionary, "class");
  if (!ruleClass) return RightVerdict::deny;
  if (*ruleClass == "allow") return RightVerdict::allow;
  if (*ruleClass == "user") {
    if (!dictionary->contains("group")) return RightVerdict::askAdministrator;
    const auto* group = textEntry(*dictionary, "group");
    return group && *group == "admin" ? RightVerdict::askAdministrator : RightVerdict::deny;
  }
  if (*ruleClass == "rule") {
    const auto names = delegatedRuleNames(*dictionary);
    if (!names) return RightVerdict::deny;
    auto verdict = RightVerdict::allow;
    for (const auto& name : *names) {
      const auto part = evaluateNamedRule(name, lookup, depth);
      if (part == RightVerdict::deny) return RightVerdict::deny;
      if (part == RightVerdict::askAdministrator) verdict = RightVerdict::askAdministrator;
    }
    return verdict;
  }
  return RightVerdict::deny;  // "deny" and every class this machine does not know
}

}  // namespace

RightVerdict evaluateRight(const std::string& right, const DefinitionLookup& lookup) {
  if (const auto definition = lookup(right)) return evaluateDefinition(*definition, lookup, 0);
  if (const auto fallback = lookup(kDefaultRuleName)) return evaluateDefinition(*fallback, lookup, 1);
  return RightVerdict::askAdministrator;
}

PropertyDictionary builtInAuthorizationRules() {
  return {
      {"allow", PropertyDictionary{{"class", "allow"}, {"comment", "Allow anyone."}}},
      {"deny", PropertyDictionary{{"class", "deny"}, {"comment", "Deny everyone."}}},
      {kDefaultRuleName, PropertyDictionary{{"class", "user"},
                                            {"group", "admin"},
                                            {"comment", "Authenticate as an administrator."}}},
      {kSMRightBlessPrivilegedHelper,
       PropertyDictionary{{"class", "rule"},
                          {"rule", PropertyArray{kDefaultRuleName}},
                          {"comment", "Used by ServiceManagement to bless a privileged helper."}}},
  };
}

}  // namespace brannic::sim
