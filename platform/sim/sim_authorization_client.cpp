#include "platform/sim/sim_authorization_client.h"

#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <chrono>

#include "platform/sim/sim_authorization_messages.h"

namespace brannic::sim {

namespace {

// The authority answers at once; this only keeps a wedged peer from hanging the helper.
constexpr int kExchangeTimeoutMs = 10'000;

// Reads one whole response frame. False on error, end of stream, timeout or a
// malformed frame.
bool receiveFrame(int fd, std::vector<std::uint8_t>& body) {
  std::vector<std::uint8_t> stream;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kExchangeTimeoutMs);
  for (;;) {
    switch (cutAuthFrame(stream, body)) {
      case FrameCut::frame: return stream.empty();  // nothing may follow an answer unasked
      case FrameCut::invalid: return false;
      case FrameCut::incomplete: break;
    }
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
    if (left <= 0) return false;
    pollfd waiting{fd, POLLIN, 0};
    const int ready = ::poll(&waiting, 1, static_cast<int>(left));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return false;
    std::uint8_t buffer[256];
    const auto count = ::recv(fd, buffer, sizeof(buffer), MSG_DONTWAIT);
    if (count < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) continue;
    if (count <= 0) return false;
    stream.insert(stream.end(), buffer, buffer + count);
  }
}

}  // namespace

SimAuthorizationClient::SimAuthorizationClient(std::filesystem::path socketPath)
    : socketPath_(std::move(socketPath)) {}

bool SimAuthorizationClient::connectLocked() {
  if (connection_) return true;
  const auto address = unixSocketAddress(socketPath_.string());
  if (!address) return false;
  UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!fd) return false;
  int connected = 0;
  do connected = ::connect(fd.get(), reinterpret_cast<const sockaddr*>(&*address), sizeof(*address));
  while (connected != 0 && errno == EINTR);
  if (connected != 0) return false;
  connection_ = std::move(fd);
  return true;
}

std::optional<AuthResponse> SimAuthorizationClient::exchange(const AuthRequest& request) {
  const auto frame = encodeAuthRequest(request);
  if (!frame) return std::nullopt;
  std::lock_guard lock(mutex_);
  if (!connectLocked()) return std::nullopt;
  std::vector<std::uint8_t> body;
  std::optional<AuthResponse> response;
  if (sendAll(connection_.get(), *frame, kExchangeTimeoutMs) && receiveFrame(connection_.get(), body))
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
