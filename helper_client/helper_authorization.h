// The authorization right that guards the helper's authorized request, and
// the small layer that writes it into the system's rights database.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "helper_client/helper_authorization_error.h"
#include "platform/authorization.h"
#include "platform/property_list.h"
#include "platform/system_log.h"

namespace brannic {

// One right in the rights database, and the helper request it guards.
struct HelperAuthorizationRight {
  std::string command;                           // the guarded selector's name
  std::string name;                              // the right's name: the helper label, ".", the selector
  std::string description;                       // the prompt text shown when the right is asked for
  std::optional<PropertyDictionary> ruleCustom;  // a complete rule; written when present
  std::optional<std::string> ruleConstant;       // an existing rule's name; used without ruleCustom
};

// Stateless functions, called qualified (HelperAuthorization::...).
namespace HelperAuthorization {

// The rule written for a row that has neither a custom nor a constant rule.
inline constexpr const char* defaultRule = "authenticate-admin";

// The rights this application registers, in order. Built once on first
// use (safe from several threads) and kept for the process's life.
const std::vector<HelperAuthorizationRight>& authorizationRights();

// Writes every right of `authorizationRights()` that is missing or out of
// date. A row whose read or write fails costs one line in `systemLog`
// and the loop goes on. Throws HelperAuthorizationError when no
// authorization reference can be made.
void updateAuthorizationRights(AuthorizationServices& services, SystemLog& systemLog);
// The same for a given table (an empty one still makes the reference).
void updateAuthorizationRights(AuthorizationServices& services, SystemLog& systemLog,
                               const std::vector<HelperAuthorizationRight>& rights);

// True when the right must be written: false only when `storedDefinition`
// carries the same rule version (custom rule) or the same one-element rule
// list (constant rule) as `right`.
bool rightNeedsUpdate(const std::optional<PropertyValue>& storedDefinition, const HelperAuthorizationRight& right);

// AuthorizationCreate with the arguments unchanged. Returns the reference,
// or null when the call succeeded without one; throws
// HelperAuthorizationError (the status text) when it fails. The reference
// is never freed.
AuthorizationRef makeAuthorizationRef(AuthorizationServices& services, const AuthorizationItemSet* rights,
                                      const AuthorizationItemSet* environment, AuthorizationFlags flags);

// A status as the application writes it: "Optional(<system message>)", or
// "nil" when the system has no message for it.
std::string statusText(AuthorizationServices& services, OSStatus status);

}  // namespace HelperAuthorization

}  // namespace brannic
