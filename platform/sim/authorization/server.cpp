#include "platform/sim/authorization/server.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <limits>
#include <list>
#include <optional>
#include <stdexcept>
#include <vector>

#include "platform/sim/authorization/socket.h"
#include "platform/sim/authorization/wire.h"

namespace brannic::sim {

namespace {

// More clients than the helper ever opens; beyond this, new ones are turned away.
constexpr std::size_t kMaxClients = 16;
constexpr int kSendTimeoutMs = 1000;
// While accepting fails for want of descriptors, the listening socket is left
// alone this long (or until a client goes), so that its readiness does not
// make the loop spin.
constexpr auto kAcceptPause = std::chrono::milliseconds(100);

using Clock = std::chrono::steady_clock;

struct Client {
  OwnedFd fd;
  std::vector<std::uint8_t> received;
  Clock::time_point heardFrom;  // accepted, or last sent bytes
};

[[noreturn]] void fail(const std::string& what, const std::filesystem::path& path) {
  throw std::runtime_error("authorization socket " + path.string() + ": " + what);
}

bool peerIsThisUser(int fd) {
  const auto credentials = peerCredentials(fd);
  return credentials && credentials->uid == ::geteuid();
}

AuthResponse answer(SimAuthorizationAuthority& authority, const AuthRequest& request) {
  AuthResponse response;
  switch (request.op) {
    case AuthOp::create: {
      AuthorizationExternalForm session{};
      response.status = authority.createSession(request.rights, request.flags, &session);
      if (response.status == errAuthorizationSuccess) response.session = session;
      break;
    }
    case AuthOp::internalize:
      response.status = authority.hasSession(request.session) ? errAuthorizationSuccess : errAuthorizationInvalidRef;
      break;
    case AuthOp::copyRights:
      response.status = authority.copyRights(request.session, request.rights, request.flags);
      break;
  }
  return response;
}

// Reads what `client` sent and answers every whole request. False when the
// connection is to be dropped: closed by the peer, failed, or malformed.
bool serveClient(SimAuthorizationAuthority& authority, Client& client) {
  std::uint8_t buffer[4096];
  const auto count = ::recv(client.fd.get(), buffer, sizeof(buffer), MSG_DONTWAIT);
  if (count == 0) return false;
  if (count < 0) return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
  client.heardFrom = Clock::now();
  client.received.insert(client.received.end(), buffer, buffer + count);
  std::vector<std::uint8_t> body;
  for (;;) {
    const auto cut = cutAuthFrame(client.received, body);
    if (cut == FrameCut::incomplete) return true;
    if (cut == FrameCut::invalid) return false;
    const auto request = decodeAuthRequest(body);
    if (!request) return false;
    if (!sendAll(client.fd.get(), encodeAuthResponse(answer(authority, *request)), kSendTimeoutMs)) return false;
  }
}

}  // namespace

SimAuthServer::SimAuthServer(SimAuthorizationAuthority& authority, std::filesystem::path socketPath,
                             std::chrono::milliseconds idleTimeout)
    : authority_(authority), socketPath_(std::move(socketPath)), idleTimeout_(idleTimeout) {
  // Without its wake-up pipe the serving thread could never be told to stop.
  if (!stop_.valid()) fail("cannot make a wake-up pipe: " + systemErrorText(stop_.creationError()), socketPath_);
  std::error_code error;
  std::filesystem::create_directories(socketPath_.parent_path(), error);
  if (error) fail("cannot create its folder: " + error.message(), socketPath_);
  std::string why;
  listening_ = listenOnPath(socketPath_.string(), 0600, &why);
  if (!listening_.valid()) fail(why, socketPath_);
  thread_ = std::thread([this] { serve(); });
}

SimAuthServer::~SimAuthServer() {
  stop_.wake();
  thread_.join();
  listening_.reset();
  std::error_code ignored;
  std::filesystem::remove(socketPath_, ignored);
}

void SimAuthServer::serve() {
  std::list<Client> clients;
  std::optional<Clock::time_point> acceptPausedUntil;
  for (;;) {
    if (acceptPausedUntil && Clock::now() >= *acceptPausedUntil) acceptPausedUntil.reset();
    // poll() skips a negative descriptor: the listening socket while accepting is paused.
    std::vector<pollfd> watched{{stop_.readFd(), POLLIN, 0},
                                {acceptPausedUntil ? -1 : listening_.get(), POLLIN, 0}};
    // Wakes for the first client to fall silent for too long, or the end of a pause.
    auto wakeAt = acceptPausedUntil.value_or(Clock::time_point::max());
    for (const auto& client : clients) {
      watched.push_back({client.fd.get(), POLLIN, 0});
      wakeAt = std::min(wakeAt, client.heardFrom + idleTimeout_);
    }
    int timeoutMs = -1;
    if (wakeAt != Clock::time_point::max()) {
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(wakeAt - Clock::now()).count();
      timeoutMs = static_cast<int>(std::clamp<std::int64_t>(left, 0, std::numeric_limits<int>::max()));
    }
    if (::poll(watched.data(), watched.size(), timeoutMs) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (watched[0].revents) return;
    const auto now = Clock::now();
    auto client = clients.begin();
    for (std::size_t i = 2; i < watched.size(); ++i) {
      const bool keep = watched[i].revents ? serveClient(authority_, *client)
                                           : now - client->heardFrom < idleTimeout_;
      if (keep) {
        ++client;
      } else {
        client = clients.erase(client);
        acceptPausedUntil.reset();  // a descriptor was freed
      }
    }
    if (watched[1].revents & POLLIN) {
      OwnedFd accepted = acceptConnection(listening_.get());
      if (!accepted.valid() && isOutOfDescriptors(errno)) {
        acceptPausedUntil = Clock::now() + kAcceptPause;
      } else if (accepted.valid() && clients.size() < kMaxClients && peerIsThisUser(accepted.get())) {
        clients.push_back(Client{std::move(accepted), {}, Clock::now()});
      }
    }
  }
}

}  // namespace brannic::sim
