// Authorization services for the application, which runs in the simulator's
// own process: it asks the machine's authority directly. The script can make
// the calls fail (see the setters), the way a real machine fails them.
#pragma once

#include <mutex>
#include <optional>

#include "platform/authorization.h"
#include "platform/sim/authorization/authority.h"
#include "platform/sim/authorization/refs.h"

namespace brannic::sim {

class SimAuthorizationServices final : public AuthorizationServices {
 public:
  // REQUIRES: `authority` outlives this.
  explicit SimAuthorizationServices(SimAuthorizationAuthority& authority);

  // Every AuthorizationCreate answers `status` without starting a session
  // (noErr then leaves the reference empty); nullopt: calls work. With
  // `times`, only the next that many calls fail, and later ones work.
  void setCreateFailure(std::optional<OSStatus> status, std::optional<int> times = std::nullopt);
  // Every AuthorizationMakeExternalForm answers `status` and leaves the
  // caller's area as it was; nullopt: calls work.
  void setExternalFormFailure(std::optional<OSStatus> status);
  // AuthorizationRightGet / AuthorizationRightSet fail with
  // errAuthorizationInternal.
  void setRightReadsFail(bool fail);
  void setRightWritesFail(bool fail);

  // Whether `authorization` is one of this process's references and its
  // session holds `right` (what SMJobBless checks).
  bool holdsRight(AuthorizationRef authorization, const std::string& right) const;

  OSStatus authorizationCreate(const AuthorizationItemSet* rights, const AuthorizationItemSet* environment,
                               AuthorizationFlags flags, AuthorizationRef* outAuthorization) override;
  OSStatus authorizationMakeExternalForm(AuthorizationRef authorization,
                                         AuthorizationExternalForm* outExternalForm) override;
  OSStatus authorizationCreateFromExternalForm(const AuthorizationExternalForm& externalForm,
                                               AuthorizationRef* outAuthorization) override;
  // Forgets the reference; the session stays, as other references may name
  // it. The flags change nothing here: no right is ever destroyed.
  OSStatus authorizationFree(AuthorizationRef authorization, AuthorizationFlags flags) override;
  OSStatus authorizationCopyRights(AuthorizationRef authorization, const AuthorizationItemSet& rights,
                                   const AuthorizationItemSet* environment, AuthorizationFlags flags) override;
  OSStatus authorizationRightGet(const std::string& rightName, std::optional<PropertyValue>* outDefinition) override;
  OSStatus authorizationRightSet(AuthorizationRef authorization, const std::string& rightName,
                                 const PropertyValue& rule, const std::string& description) override;
  std::optional<std::string> copyErrorMessageString(OSStatus status) override;

 private:
  struct Failures {
    std::optional<OSStatus> create;
    std::optional<int> createsLeft;  // how many calls `create` still fails; none: all
    std::optional<OSStatus> externalForm;
    bool rightReads = false;
    bool rightWrites = false;
  };
  Failures failures() const;
  // The status the next AuthorizationCreate fails with, counting it.
  std::optional<OSStatus> takeCreateFailure();

  SimAuthorizationAuthority& authority_;
  mutable std::mutex mutex_;  // guards failures_
  Failures failures_;
  SimAuthorizationRefs refs_;
};

}  // namespace brannic::sim
