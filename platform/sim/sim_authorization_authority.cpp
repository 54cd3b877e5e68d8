#include "platform/sim/sim_authorization_authority.h"

#include <algorithm>

#include "platform/sim/sim_authorization_rules.h"

namespace brannic::sim {

namespace {

constexpr AuthorizationFlags kKnownFlags = kAuthorizationFlagInteractionAllowed | kAuthorizationFlagExtendRights |
                                           kAuthorizationFlagPartialRights | kAuthorizationFlagDestroyRights |
                                           kAuthorizationFlagPreAuthorize;

OSStatus answerStatus(AdminAnswer answer) {
  switch (answer) {
    case AdminAnswer::allow: return errAuthorizationSuccess;
    case AdminAnswer::deny: return errAuthorizationDenied;
    case AdminAnswer::cancel: return errAuthorizationCanceled;
  }
  return errAuthorizationInternal;
}

}  // namespace

std::string_view adminAnswerName(AdminAnswer answer) {
  switch (answer) {
    case AdminAnswer::allow: return "allow";
    case AdminAnswer::deny: return "deny";
    case AdminAnswer::cancel: return "cancel";
  }
  return "?";
}

SimAuthorizationAuthority::SimAuthorizationAuthority(SimAuthorizationDatabase& database, Transcript* transcript)
    : database_(database), transcript_(transcript) {}

void SimAuthorizationAuthority::setAdminAnswer(AdminAnswer answer) {
  std::lock_guard lock(mutex_);
  adminAnswer_ = answer;
}

AdminAnswer SimAuthorizationAuthority::adminAnswer() const {
  std::lock_guard lock(mutex_);
  return adminAnswer_;
}

OSStatus SimAuthorizationAuthority::createSession(const AuthorizationItemSet& rights, AuthorizationFlags flags,
                                                  AuthorizationExternalForm* outSession) {
  if (!outSession) return errAuthorizationInvalidPointer;
  std::lock_guard lock(mutex_);
  if (flags & ~kKnownFlags) return errAuthorizationInvalidFlags;
  GrantedRights granted;
  if (flags & kAuthorizationFlagExtendRights) {
    if (const auto status = obtainRights(granted, rights, flags); status != errAuthorizationSuccess) return status;
  }
  const auto session = newSessionName();
  sessions_.emplace(session, std::move(granted));
  *outSession = session;
  return errAuthorizationSuccess;
}

bool SimAuthorizationAuthority::hasSession(const AuthorizationExternalForm& session) const {
  std::lock_guard lock(mutex_);
  return sessions_.contains(session);
}

OSStatus SimAuthorizationAuthority::copyRights(const AuthorizationExternalForm& session,
                                               const AuthorizationItemSet& rights, AuthorizationFlags flags) {
  std::lock_guard lock(mutex_);
  const auto found = sessions_.find(session);
  if (found == sessions_.end()) return errAuthorizationInvalidRef;
  if (flags & ~kKnownFlags) return errAuthorizationInvalidFlags;
  return obtainRights(found->second, rights, flags);
}

bool SimAuthorizationAuthority::sessionHoldsRight(const AuthorizationExternalForm& session,
                                                  const std::string& right) const {
  std::lock_guard lock(mutex_);
  const auto found = sessions_.find(session);
  return found != sessions_.end() && found->second.contains(right);
}

OSStatus SimAuthorizationAuthority::obtainRights(GrantedRights& granted, const AuthorizationItemSet& rights,
                                                 AuthorizationFlags flags) {
  // Rights obtained by a failing call are not kept.
  GrantedRights obtained;
  const bool partial = flags & kAuthorizationFlagPartialRights;
  for (const auto& item : rights) {
    if (item.name.empty()) return errAuthorizationInvalidSet;
    if (granted.contains(item.name) || obtained.contains(item.name)) continue;
    const auto verdict =
        evaluateRight(item.name, [this](const std::string& name) { return database_.definition(name); });
    OSStatus status = errAuthorizationSuccess;
    if (verdict == RightVerdict::deny) {
      status = errAuthorizationDenied;
    } else if (verdict == RightVerdict::askAdministrator) {
      if (!(flags & kAuthorizationFlagExtendRights)) {
        status = errAuthorizationDenied;
      } else if (!(flags & kAuthorizationFlagInteractionAllowed)) {
        status = errAuthorizationInteractionNotAllowed;
      } else {
        if (transcript_)
          transcript_->emit("auth", "prompt " + escapeText(item.name) + " -> " +
                                        std::string(adminAnswerName(adminAnswer_)));
        status = answerStatus(adminAnswer_);
      }
    }
    if (status == errAuthorizationSuccess) {
      obtained.insert(item.name);
    } else if (!partial || status == errAuthorizationCanceled) {
      return status;
    }
  }
  granted.merge(obtained);
  return errAuthorizationSuccess;
}

AuthorizationExternalForm SimAuthorizationAuthority::newSessionName() {
  AuthorizationExternalForm name{};
  do {
    for (std::size_t i = 0; i < name.size(); i += sizeof(unsigned)) {
      const unsigned word = randomSource_();
      for (std::size_t b = 0; b < sizeof(unsigned) && i + b < name.size(); ++b)
        name[i + b] = static_cast<std::uint8_t>(word >> (8 * b));
    }
    // All zero bytes is what a caller's untouched buffer holds: never a name.
  } while (sessions_.contains(name) ||
           std::all_of(name.begin(), name.end(), [](std::uint8_t byte) { return byte == 0; }));
  return name;
}

OSStatus SimAuthorizationAuthority::rightGet(const std::string& name,
                                             std::optional<PropertyValue>* outDefinition) const {
  auto definition = database_.definition(name);
  if (!definition) return errAuthorizationDenied;
  if (outDefinition) *outDefinition = std::move(definition);
  return errAuthorizationSuccess;
}

OSStatus SimAuthorizationAuthority::rightSet(const AuthorizationExternalForm& session, const std::string& name,
                                             const PropertyValue& rule, const std::string& description) {
  if (!hasSession(session)) return errAuthorizationInvalidRef;
  if (name.empty()) return errAuthorizationInvalidSet;
  PropertyDictionary definition;
  if (const auto* dictionary = rule.get<PropertyDictionary>()) {
    definition = *dictionary;
  } else if (const auto* ruleName = rule.get<std::string>(); ruleName && !ruleName->empty()) {
    definition = {{"class", "rule"}, {"rule", PropertyArray{*ruleName}}};
  } else {
    return errAuthorizationInvalidSet;
  }
  if (!description.empty()) definition["default-prompt"] = PropertyDictionary{{"", description}};
  if (!database_.store(name, std::move(definition))) return errAuthorizationInternal;
  if (transcript_) transcript_->emit("auth", "right written " + escapeText(name));
  return errAuthorizationSuccess;
}

}  // namespace brannic::sim
