// Authorization services for the helper process: every question goes to the
// simulated machine's authority over the authorization socket
// (authorizationSocketPath in sim_auth_server.h). The connection is made on
// first use and made again after it failed or the server closed it; a call
// whose exchange fails answers errAuthorizationInternal.
//
// The helper checks rights; it never edits the rights database, so
// authorizationRightGet and authorizationRightSet answer
// errAuthorizationInternal here.
#pragma once

#include <chrono>
#include <filesystem>
#include <mutex>

#include "platform/authorization.h"
#include "platform/sim/authorization/refs.h"
#include "platform/sim/authorization/wire.h"
#include "platform/sim/base/unix_socket.h"

namespace brannic::sim {

class SimAuthorizationClient final : public AuthorizationServices {
 public:
  // The authority answers at once; the bound only keeps a wedged server (one
  // that takes no connection, or sends no answer) from hanging the helper.
  static constexpr std::chrono::milliseconds kExchangeTimeout{10'000};

  explicit SimAuthorizationClient(std::filesystem::path socketPath,
                                  std::chrono::milliseconds exchangeTimeout = kExchangeTimeout);

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

  // How many references this process holds (made and not yet freed).
  std::size_t heldReferences() const { return refs_.count(); }

 private:
  // One request and its response; nullopt when the exchange failed.
  std::optional<AuthResponse> exchange(const AuthRequest& request);
  bool connectLocked();

  const std::filesystem::path socketPath_;
  const int exchangeTimeoutMs_;
  std::mutex mutex_;  // one exchange at a time on the connection
  OwnedFd connection_;
  SimAuthorizationRefs refs_;
};

}  // namespace brannic::sim
