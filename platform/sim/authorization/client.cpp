#include "platform/sim/authorization/client.h"

#include <poll.h>

#include "platform/sim/authorization/messages.h"
#include "platform/sim/authorization/socket.h"

namespace brannic::sim {

SimAuthorizationClient::SimAuthorizationClient(std::filesystem::path socketPath,
                                               std::chrono::milliseconds exchangeTimeout)
    : socketPath_(std::move(socketPath)), exchangeTimeoutMs_(static_cast<int>(exchangeTimeout.count())) {}

bool SimAuthorizationClient::connectLocked() {
  // The server never speaks unasked: a kept connection that reads as ready
  // was closed by it (it drops clients that stay silent too long).
  pollfd kept{connection_.get(), POLLIN, 0};
  if (connection_.valid() && ::poll(&kept, 1, 0) != 0) connection_.reset();
  // Bounded too: a server whose queue is full must not hang the helper's request.
  if (!connection_.valid())
    connection_ = connectToPathWithin(socketPath_.string(), std::chrono::milliseconds(exchangeTimeoutMs_),
                                      nullptr, nullptr);
  return connection_.valid();
}

std::optional<AuthResponse> SimAuthorizationClient::exchange(const AuthRequest& request) {
  const auto frame = encodeAuthRequest(request);
  if (!frame) return std::nullopt;
  std::lock_guard lock(mutex_);
  if (!connectLocked()) return std::nullopt;
  std::vector<std::uint8_t> body;
  std::optional<AuthResponse> response;
  if (sendAll(connection_.get(), *frame, exchangeTimeoutMs_) &&
      receiveAuthFrame(connection_.get(), body, exchangeTimeoutMs_))
    response = decodeAuthResponse(body);
  // After a failed exchange the stream's position is unknown: start afresh next time.
  if (!response) connection_.reset();
  return response;
}

OSStatus SimAuthorizationClient::authorizationCreate(const AuthorizationItemSet* rights,
                                                     const AuthorizationItemSet* /*environment*/,
                                                     AuthorizationFlags flags, AuthorizationRef* outAuthorization) {
  if (!outAuthorization) return errAuthorizationInvalidPointer;
  *outAuthorization = nullptr;
  AuthRequest request;
  request.op = AuthOp::create;
  request.flags = flags;
  if (rights) request.rights = *rights;
  const auto response = exchange(request);
  if (!response) return errAuthorizationInternal;
  if (response->status != errAuthorizationSuccess) return response->status;
  if (!response->session) return errAuthorizationInternal;
  *outAuthorization = refs_.refFor(*response->session);
  return errAuthorizationSuccess;
}

OSStatus SimAuthorizationClient::authorizationMakeExternalForm(AuthorizationRef authorization,
                                                               AuthorizationExternalForm* outExternalForm) {
  if (!outExternalForm) return errAuthorizationInvalidPointer;
  const auto session = refs_.sessionOf(authorization);
  if (!session) return errAuthorizationInvalidRef;
  *outExternalForm = *session;
  return errAuthorizationSuccess;
}

OSStatus SimAuthorizationClient::authorizationCreateFromExternalForm(const AuthorizationExternalForm& externalForm,
                                                                     AuthorizationRef* outAuthorization) {
  if (!outAuthorization) return errAuthorizationInvalidPointer;
  *outAuthorization = nullptr;
  AuthRequest request;
  request.op = AuthOp::internalize;
  request.session = externalForm;
  const auto response = exchange(request);
  if (!response) return errAuthorizationInternal;
  if (response->status != errAuthorizationSuccess) return response->status;
  *outAuthorization = refs_.refFor(externalForm);
  return errAuthorizationSuccess;
}

OSStatus SimAuthorizationClient::authorizationFree(AuthorizationRef authorization,
                                                   AuthorizationFlags /*flags*/) {
  return refs_.free(authorization) ? errAuthorizationSuccess : errAuthorizationInvalidRef;
}

OSStatus SimAuthorizationClient::authorizationCopyRights(AuthorizationRef authorization,
                                                         const AuthorizationItemSet& rights,
                                                         const AuthorizationItemSet* /*environment*/,
                                                         AuthorizationFlags flags) {
  const auto session = refs_.sessionOf(authorization);
  if (!session) return errAuthorizationInvalidRef;
  const auto response = exchange({.op = AuthOp::copyRights, .session = *session, .flags = flags, .rights = rights});
  return response ? response->status : errAuthorizationInternal;
}

OSStatus SimAuthorizationClient::authorizationRightGet(const std::string&, std::optional<PropertyValue>*) {
  return errAuthorizationInternal;
}

OSStatus SimAuthorizationClient::authorizationRightSet(AuthorizationRef, const std::string&, const PropertyValue&,
                                                       const std::string&) {
  return errAuthorizationInternal;
}

std::optional<std::string> SimAuthorizationClient::copyErrorMessageString(OSStatus status) {
  return authorizationStatusMessage(status);
}

}  // namespace brannic::sim
