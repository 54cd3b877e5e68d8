#include "platform/sim/authorization/authority.h"

#include <algorithm>
#include <string>

#include "platform/sim/authorization/rules.h"

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
  Session session;
  if (flags & kAuthorizationFlagExtendRights) {
    if (const auto status = obtainRights(session, rights, flags); status != errAuthorizationSuccess) return status;
  }
  const auto name = newSessionName();
  sessions_.emplace(name, session);
  *outSession = name;
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
  if (found == sessions_.end()) return false;
  const auto verdict = evaluateRight(right, [this](const std::string& name) { return database_.definition(name); });
  return verdict == RightVerdict::allow ||
         (verdict == RightVerdict::askAdministrator && found->second.administratorCredential);
}

OSStatus SimAuthorizationAuthority::obtainRights(Session& session, const AuthorizationItemSet& rights,
                                                 AuthorizationFlags flags) {
  for (const auto& item : rights)
    if (item.name.empty()) return errAuthorizationInvalidSet;
  for (const auto& item : rights) {
    const auto status = obtainRight(session, item.name, flags);
    if (status == errAuthorizationSuccess) continue;
    if (!(flags & kAuthorizationFlagPartialRights) || status == errAuthorizationCanceled) return status;
  }
  return errAuthorizationSuccess;
}

OSStatus SimAuthorizationAuthority::obtainRight(Session& session, const std::string& right,
                                                AuthorizationFlags flags) {
  switch (evaluateRight(right, [this](const std::string& name) { return database_.definition(name); })) {
    case RightVerdict::allow: return errAuthorizationSuccess;
    case RightVerdict::deny: return errAuthorizationDenied;
    case RightVerdict::tooComplex:
      if (transcript_)
        transcript_->emit("auth", "refused " + escapeText(right) + ": its rules need more than " +
                                      std::to_string(kMaxRuleLookups) + " lookups");
      return errAuthorizationDenied;
    case RightVerdict::askAdministrator: break;
  }
  if (session.administratorCredential) return errAuthorizationSuccess;
  if (!(flags & kAuthorizationFlagExtendRights)) return errAuthorizationDenied;
  if (!(flags & kAuthorizationFlagInteractionAllowed)) return errAuthorizationInteractionNotAllowed;
  if (transcript_)
    transcript_->emit("auth", "prompt " + escapeText(right) + " -> " + std::string(adminAnswerName(adminAnswer_)));
  const auto status = answerStatus(adminAnswer_);
  // The administrator's credential stays with the session, whatever else the call asks for.
  if (status == errAuthorizationSuccess) session.administratorCredential = true;
  return status;
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
