// Stand-ins for facilities the simulated machine does not offer (yet): each
// fails cleanly, as a machine without it would answer.
#pragma once

#include <memory>
#include <string>

#include "platform/authorization.h"
#include "platform/run_loop.h"
#include "platform/service_management.h"
#include "platform/xpc.h"

namespace brannic::sim {

// No service can be looked up: every connection is invalidated when it is
// used. Each message ends in its error handler with the platform's lookup
// failure, then the invalidation handler runs once; all of it on a
// background queue, never on the main thread.
class UnavailableXpcConnections final : public XpcConnections {
 public:
  // REQUIRES: `runLoop` outlives every connection made here.
  explicit UnavailableXpcConnections(RunLoop& runLoop) : runLoop_(runLoop) {}
  std::shared_ptr<XpcConnection> connectionWithMachServiceName(const std::string& name,
                                                               std::uint64_t options) override;

 private:
  RunLoop& runLoop_;
};

// The administrator always refuses: creating an authorization answers
// errAuthorizationDenied, the database holds no rights, and no status has a
// message.
class UnavailableAuthorizationServices final : public AuthorizationServices {
 public:
  OSStatus authorizationCreate(const AuthorizationItemSet* rights, const AuthorizationItemSet* environment,
                               AuthorizationFlags flags, AuthorizationRef* outAuthorization) override;
  OSStatus authorizationMakeExternalForm(AuthorizationRef authorization,
                                         AuthorizationExternalForm* outExternalForm) override;
  OSStatus authorizationCreateFromExternalForm(const AuthorizationExternalForm& externalForm,
                                               AuthorizationRef* outAuthorization) override;
  OSStatus authorizationCopyRights(AuthorizationRef authorization, const AuthorizationItemSet& rights,
                                   const AuthorizationItemSet* environment,
                                   AuthorizationFlags flags) override;
  OSStatus authorizationRightGet(const std::string& rightName,
                                 std::optional<PropertyValue>* outDefinition) override;
  OSStatus authorizationRightSet(AuthorizationRef authorization, const std::string& rightName,
                                 const PropertyValue& rule, const std::string& description) override;
  std::optional<std::string> copyErrorMessageString(OSStatus status) override;
};

// Blessing always fails, without an error.
class UnavailableServiceManagement final : public ServiceManagement {
 public:
  bool jobBless(const std::string& domain, const std::string& executableLabel, AuthorizationRef authorization,
                std::optional<PlatformError>* outError) override;
};

}  // namespace brannic::sim
