#include "platform/sim/sim_auth_server.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <list>
#include <stdexcept>
#include <vector>

#include "platform/sim/sim_authorization_socket.h"
#include "platform/sim/sim_authorization_wire.h"

namespace brannic::sim {

namespace {

// More clients than the helper ever opens; beyond this, new ones are turned away.
constexpr std::size_t kMaxClients = 16;
constexpr int kSendTimeoutMs = 1000;

struct Client {
  UniqueFd fd;
  std::vector<std::uint8_t> received;
};

[[noreturn]] void fail(const std::string& what, const std::filesystem::path& path) {
  throw std::runtime_error("authorization socket " + path.string() + ": " + what);
}

bool peerIsThisUser(int fd) {
  ucred credentials{};
  socklen_t length = sizeof(credentials);
  return ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &length) == 0 && credentials.uid == ::geteuid();
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

std::filesystem::path authorizationSocketPath(const std::filesystem::path& machineRoot) {
  return machineRoot / "var" / "run" / "authorization.socket";
}

SimAuthServer::SimAuthServer(SimAuthorizationAuthority& authority, std::filesystem::path socketPath)
    : authority_(authority), socketPath_(std::move(socketPath)) {
  const auto address = unixSocketAddress(socketPath_.string());
  if (!address) fail("the path is too long for a socket address", socketPath_);
  std::error_code error;
  std::filesystem::create_directories(socketPath_.parent_path(), error);
  if (error) fail("cannot create its folder: " + error.message(), socketPath_);
  std::filesystem::remove(socketPath_, error);

  UniqueFd listening(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!listening) fail(std::strerror(errno), socketPath_);
  // Only this user may connect: the socket is private before anyone can reach it.
  const auto oldMask = ::umask(0077);
  const int bound = ::bind(listening.get(), reinterpret_cast<const sockaddr*>(&*address), sizeof(*address));
  const int bindError = errno;
  ::umask(oldMask);
  if (bound != 0) fail(std::strerror(bindError), socketPath_);
  if (::chmod(socketPath_.c_str(), 0600) != 0 || ::listen(listening.get(), 8) != 0)
    fail(std::strerror(errno), socketPath_);

  int wake[2];
  if (::pipe2(wake, O_CLOEXEC) != 0) fail(std::strerror(errno), socketPath_);
  listenFd_ = listening.release();
  wakeRead_ = wake[0];
  wakeWrite_ = wake[1];
  thread_ = std::thread([this] { serve(); });
}

SimAuthServer::~SimAuthServer() {
  const char stop = 's';
  while (::write(wakeWrite_, &stop, 1) < 0 && errno == EINTR) {
  }
  thread_.join();
  ::close(listenFd_);
  ::close(wakeRead_);
  ::close(wakeWrite_);
  std::error_code ignored;
  std::filesystem::remove(socketPath_, ignored);
}

void SimAuthServer::serve() {
  std::list<Client> clients;
  for (;;) {
    std::vector<pollfd> watched{{wakeRead_, POLLIN, 0}, {listenFd_, POLLIN, 0}};
    for (const auto& client : clients) watched.push_back({client.fd.get(), POLLIN, 0});
    if (::poll(watched.data(), watched.size(), -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (watched[0].revents) return;
    auto client = clients.begin();
    for (std::size_t i = 2; i < watched.size(); ++i) {
      const bool keep = !watched[i].revents || serveClient(authority_, *client);
      client = keep ? std::next(client) : clients.erase(client);
    }
    if (watched[1].revents & POLLIN) {
      UniqueFd accepted(::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC));
      if (accepted && clients.size() < kMaxClients && peerIsThisUser(accepted.get()))
        clients.push_back(Client{std::move(accepted), {}});
    }
  }
}

}  // namespace brannic::sim
