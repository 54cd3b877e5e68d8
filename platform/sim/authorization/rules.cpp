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

// The lookups of one decision, counted against kMaxRuleLookups.
class BoundedLookup {
 public:
  explicit BoundedLookup(const DefinitionLookup& lookup) : lookup_(lookup) {}
  // REQUIRES: !exhausted().
  std::optional<PropertyValue> operator()(const std::string& name) {
    ++made_;
    return lookup_(name);
  }
  bool exhausted() const { return made_ >= kMaxRuleLookups; }

 private:
  const DefinitionLookup& lookup_;
  int made_ = 0;
};

RightVerdict evaluateDefinition(const PropertyValue& definition, BoundedLookup& lookup, int depth);

RightVerdict evaluateNamedRule(const std::string& name, BoundedLookup& lookup, int depth) {
  if (depth > kMaxRuleDepth) return RightVerdict::deny;
  if (lookup.exhausted()) return RightVerdict::tooComplex;
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

RightVerdict evaluateDefinition(const PropertyValue& definition, BoundedLookup& lookup, int depth) {
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
      if (part == RightVerdict::deny || part == RightVerdict::tooComplex) return part;
      if (part == RightVerdict::askAdministrator) verdict = RightVerdict::askAdministrator;
    }
    return verdict;
  }
  return RightVerdict::deny;  // "deny" and every class this machine does not know
}

}  // namespace

RightVerdict evaluateRight(const std::string& right, const DefinitionLookup& lookup) {
  BoundedLookup bounded(lookup);
  if (const auto definition = bounded(right)) return evaluateDefinition(*definition, bounded, 0);
  if (const auto fallback = bounded(kDefaultRuleName)) return evaluateDefinition(*fallback, bounded, 1);
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
