#include "helper_client/helper_authorization.h"

#include "helper_client/helper_protocol.h"

namespace brannic {

namespace {

const PropertyValue* entry(const PropertyDictionary& dictionary, const std::string& key) {
  const auto found = dictionary.find(key);
  return found == dictionary.end() ? nullptr : &found->second;
}

// The stored definition as a dictionary worth comparing: present, a
// dictionary with text keys, and not empty.
const PropertyDictionary* usableDefinition(const std::optional<PropertyValue>& stored) {
  const PropertyDictionary* definition = stored ? stored->get<PropertyDictionary>() : nullptr;
  return definition != nullptr && !definition->empty() ? definition : nullptr;
}

bool customRuleIsCurrent(const PropertyDictionary& stored, const PropertyDictionary& rule) {
  const PropertyValue* storedVersion = entry(stored, "version");
  const PropertyValue* ruleVersion = entry(rule, "version");
  if (storedVersion == nullptr || ruleVersion == nullptr) return false;
  const auto* storedNumber = storedVersion->get<std::int64_t>();
  const auto* ruleNumber = ruleVersion->get<std::int64_t>();
  return storedNumber != nullptr && ruleNumber != nullptr && *storedNumber == *ruleNumber;
}

bool constantRuleIsCurrent(const PropertyDictionary& stored, const std::string& ruleName) {
  const PropertyValue* rule = entry(stored, "rule");
  const PropertyArray* list = rule != nullptr ? rule->get<PropertyArray>() : nullptr;
  if (list == nullptr || list->size() != 1) return false;
  const std::string* only = list->front().get<std::string>();
  return only != nullptr && *only == ruleName;
}

PropertyValue ruleToWrite(const HelperAuthorizationRight& right) {
  if (right.ruleCustom) return PropertyValue{*right.ruleCustom};
  if (right.ruleConstant) return PropertyValue{*right.ruleConstant};
  return PropertyValue{HelperAuthorization::defaultRule};
}

HelperAuthorizationRight makeRight(const std::string& command, std::string description,
                                   std::optional<PropertyDictionary> ruleCustom,
                                   std::optional<std::string> ruleConstant) {
  return HelperAuthorizationRight{command, authorizationRightName(command), std::move(description),
                                  std::move(ruleCustom), std::move(ruleConstant)};
}

}  // namespace

const std::vector<HelperAuthorizationRight>& HelperAuthorization::authorizationRights() {
  static const std::vector<HelperAuthorizationRight> rights{
      makeRight(selectors::runCommandLsWithPathAuthDataCompletion,
                "Brannic Helper is trying to install a new helper tool",
                PropertyDictionary{{"class", "user"}, {"group", "admin"}, {"version", 1}}, std::nullopt),
  };
  return rights;
}

void HelperAuthorization::updateAuthorizationRights(AuthorizationServices& services, SystemLog& systemLog) {
  updateAuthorizationRights(services, systemLog, authorizationRights());
}

void HelperAuthorization::updateAuthorizationRights(AuthorizationServices& services, SystemLog& systemLog,
                                                    const std::vector<HelperAuthorizationRight>& rights) {
  AuthorizationRef authorization = nullptr;
  const OSStatus created =
      services.authorizationCreate(nullptr, nullptr, kAuthorizationFlagDefaults, &authorization);
  if (created != noErr) throw HelperAuthorizationError::message(statusText(services, created));
  if (authorization == nullptr)
    throw HelperAuthorizationError::message("Failed to get empty authorization ref");

  for (const auto& right : rights) {
    std::optional<PropertyValue> stored;
    OSStatus status = services.authorizationRightGet(right.name, &stored);
    // Only a successful read has a definition; a failed one compares as none
    // and so leads to a write.
    if (status != noErr) stored.reset();
    if (status == errAuthorizationDenied || rightNeedsUpdate(stored, right)) {
      status =
          services.authorizationRightSet(authorization, right.name, ruleToWrite(right), right.description);
    }
    if (status != noErr) {
      systemLog.log("AuthorizationRightSet or Get failed with error: " + statusText(services, status));
    }
  }
}

bool HelperAuthorization::rightNeedsUpdate(const std::optional<PropertyValue>& storedDefinition,
                                           const HelperAuthorizationRight& right) {
  const PropertyDictionary* stored = usableDefinition(storedDefinition);
  if (stored == nullptr) return true;
  if (right.ruleCustom) return !customRuleIsCurrent(*stored, *right.ruleCustom);
  if (right.ruleConstant) return !constantRuleIsCurrent(*stored, *right.ruleConstant);
  return true;
}

AuthorizationRef HelperAuthorization::makeAuthorizationRef(AuthorizationServices& services,
                                                           const AuthorizationItemSet* rights,
                                                           const AuthorizationItemSet* environment,
                                                           AuthorizationFlags flags) {
  AuthorizationRef authorization = nullptr;
  const OSStatus status = services.authorizationCreate(rights, environment, flags, &authorization);
  if (status != noErr) throw HelperAuthorizationError::message(statusText(services, status));
  return authorization;
}

std::string HelperAuthorization::statusText(AuthorizationServices& services, OSStatus status) {
  const std::optional<std::string> message = services.copyErrorMessageString(status);
  return message ? "Optional(" + *message + ")" : "nil";
}

}  // namespace brannic
