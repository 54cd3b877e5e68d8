#include "platform/sim/authorization/services.h"

#include "platform/sim/authorization/messages.h"

namespace brannic::sim {

SimAuthorizationServices::SimAuthorizationServices(SimAuthorizationAuthority& authority) : authority_(authority) {}

void SimAuthorizationServices::setCreateFailure(std::optional<OSStatus> status, std::optional<int> times) {
  std::lock_guard lock(mutex_);
  failures_.create = status;
  failures_.createsLeft = times;
}

void SimAuthorizationServices::setExternalFormFailure(std::optional<OSStatus> status) {
  std::lock_guard lock(mutex_);
  failures_.externalForm = status;
}

void SimAuthorizationServices::setRightReadsFail(bool fail) {
  std::lock_guard lock(mutex_);
  failures_.rightReads = fail;
}

void SimAuthorizationServices::setRightWritesFail(bool fail) {
  std::lock_guard lock(mutex_);
  failures_.rightWrites = fail;
}

SimAuthorizationServices::Failures SimAuthorizationServices::failures() const {
  std::lock_guard lock(mutex_);
  return failures_;
}

std::optional<OSStatus> SimAuthorizationServices::takeCreateFailure() {
  std::lock_guard lock(mutex_);
  const std::optional<OSStatus> failure = failures_.create;
  if (failures_.createsLeft && --*failures_.createsLeft <= 0) {
    failures_.create.reset();
    failures_.createsLeft.reset();
  }
  return failure;
}

bool SimAuthorizationServices::holdsRight(AuthorizationRef authorization, const std::string& right) const {
  const auto session = refs_.sessionOf(authorization);
  return session && authority_.sessionHoldsRight(*session, right);
}

OSStatus SimAuthorizationServices::authorizationCreate(const AuthorizationItemSet* rights,
                                                       const AuthorizationItemSet* /*environment*/,
                                                       AuthorizationFlags flags,
                                                       AuthorizationRef* outAuthorization) {
  if (!outAuthorization) return errAuthorizationInvalidPointer;
  *outAuthorization = nullptr;
  if (const auto failure = takeCreateFailure()) return *failure;
  AuthorizationExternalForm session{};
  const auto status = authority_.createSession(rights ? *rights : AuthorizationItemSet{}, flags, &session);
  if (status == errAuthorizationSuccess) *outAuthorization = refs_.refFor(session);
  return status;
}

OSStatus SimAuthorizationServices::authorizationMakeExternalForm(AuthorizationRef authorization,
                                                                 AuthorizationExternalForm* outExternalForm) {
  if (const auto failure = failures().externalForm) return *failure;
  if (!outExternalForm) return errAuthorizationInvalidPointer;
  const auto session = refs_.sessionOf(authorization);
  if (!session) return errAuthorizationInvalidRef;
  *outExternalForm = *session;
  return errAuthorizationSuccess;
}

OSStatus SimAuthorizationServices::authorizationCreateFromExternalForm(
    const AuthorizationExternalForm& externalForm, AuthorizationRef* outAuthorization) {
  if (!outAuthorization) return errAuthorizationInvalidPointer;
  *outAuthorization = nullptr;
  if (!authority_.hasSession(externalForm)) return errAuthorizationInvalidRef;
  *outAuthorization = refs_.refFor(externalForm);
  return errAuthorizationSuccess;
}

OSStatus SimAuthorizationServices::authorizationFree(AuthorizationRef authorization,
                                                     AuthorizationFlags /*flags*/) {
  return refs_.free(authorization) ? errAuthorizationSuccess : errAuthorizationInvalidRef;
}

OSStatus SimAuthorizationServices::authorizationCopyRights(AuthorizationRef authorization,
                                                           const AuthorizationItemSet& rights,
                                                           const AuthorizationItemSet* /*environment*/,
                                                           AuthorizationFlags flags) {
  const auto session = refs_.sessionOf(authorization);
  if (!session) return errAuthorizationInvalidRef;
  return authority_.copyRights(*session, rights, flags);
}

OSStatus SimAuthorizationServices::authorizationRightGet(const std::string& rightName,
                                                         std::optional<PropertyValue>* outDefinition) {
  if (failures().rightReads) return errAuthorizationInternal;
  return authority_.rightGet(rightName, outDefinition);
}

OSStatus SimAuthorizationServices::authorizationRightSet(AuthorizationRef authorization,
                                                         const std::string& rightName, const PropertyValue& rule,
                                                         const std::string& description) {
  if (failures().rightWrites) return errAuthorizationInternal;
  const auto session = refs_.sessionOf(authorization);
  if (!session) return errAuthorizationInvalidRef;
  return authority_.rightSet(*session, rightName, rule, description);
}

std::optional<std::string> SimAuthorizationServices::copyErrorMessageString(OSStatus status) {
  return authorizationStatusMessage(status);
}

}  // namespace brannic::sim
