#include "platform/sim/xpc/listener.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/sim/xpc/connection.h"
#include "platform/sim/xpc/wire.h"

namespace brannic::sim {

namespace {

constexpr unsigned kRequiredMode = 0600;
// While accepting fails for want of descriptors and none is in reserve, the
// listening socket is left alone this long (or until a connection ends), so
// that its readiness does not make the loop spin.
constexpr auto kAcceptPause = std::chrono::milliseconds(100);
// Without a wake-up pipe the loop looks for a stop request this often.
constexpr auto kUnwakeablePoll = std::chrono::milliseconds(10);

OwnedFd reserveDescriptor() { return OwnedFd(::open("/dev/null", O_RDONLY | O_CLOEXEC)); }

std::string octal(unsigned mode) {
  char text[8];
  std::snprintf(text, sizeof text, "%04o", mode);
  return text;
}

std::optional<ServiceSocketFile> statSocketFile(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return std::nullopt;
  return ServiceSocketFile{S_ISSOCK(status.st_mode), static_cast<unsigned>(status.st_mode & 07777),
                           status.st_uid};
}

// Tells a client it is refused, in a goodbye frame, and closes.
void turnAway(OwnedFd socket, const std::string& why) {
  const auto frame = wire::encode(wire::Goodbye{"the connection (" + why + ")"});
  [[maybe_unused]] const ssize_t written =
      ::send(socket.get(), frame.data(), frame.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
}

}  // namespace

std::optional<std::string> entitlementViolation(const std::optional<ServiceSocketFile>& socketFile,
                                                std::uint32_t serviceUid,
                                                const std::optional<PeerCredentials>& peer) {
  if (!socketFile) return "the service's socket file is missing";
  if (!socketFile->isSocket) return "the service's socket file is not a socket";
  if (socketFile->ownerUid != serviceUid)
    return "the service's socket is owned by uid " + std::to_string(socketFile->ownerUid) + ", not " +
           std::to_string(serviceUid);
  if (socketFile->mode != kRequiredMode)
    return "the service's socket has mode " + octal(socketFile->mode) + ", not " + octal(kRequiredMode);
  if (!peer) return "the client's credentials cannot be read";
  if (peer->uid != socketFile->ownerUid)
    return "the client runs as uid " + std::to_string(peer->uid) + ", not " +
           std::to_string(socketFile->ownerUid);
  return std::nullopt;
}

SimXpcListener::SimXpcListener(OwnedFd listeningSocket, std::string socketPath, Options options)
    : listening_(std::move(listeningSocket)),
      socketPath_(std::move(socketPath)),
      options_(options),
      reserve_(reserveDescriptor()) {
  // Accepting must never block the loop when a client gave up meanwhile.
  const int flags = ::fcntl(listening_.get(), F_GETFL);
  if (flags >= 0) ::fcntl(listening_.get(), F_SETFL, flags | O_NONBLOCK);
}

SimXpcListener::~SimXpcListener() { endAll(); }

void SimXpcListener::setShouldAcceptNewConnection(
    std::function<bool(std::shared_ptr<XpcConnection>)> decide) {
  std::lock_guard lock(mutex_);
  decide_ = std::move(decide);
}

std::size_t SimXpcListener::rejectedClients() const {
  std::lock_guard lock(mutex_);
  return rejected_;
}

void SimXpcListener::resume() {
  auto idleSince = Clock::now();
  while (!stopRequested_.load()) {
    if (reapEnded()) acceptPausedUntil_.reset();  // descriptors were freed
    if (!connections_.empty()) idleSince = Clock::now();
    std::optional<std::chrono::milliseconds> timeout;
    if (!wake_->valid()) timeout = kUnwakeablePoll;
    if (options_.idleExit && connections_.empty()) {
      const auto left = *options_.idleExit -
                        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - idleSince);
      if (left.count() <= 0) {
        endedIdle_ = true;
        break;
      }
      timeout = timeout ? std::min(*timeout, left) : left;
    }
    bool accepting = true;
    if (acceptPausedUntil_) {
      const auto left =
          std::chrono::ceil<std::chrono::milliseconds>(*acceptPausedUntil_ - Clock::now());
      if (left.count() > 0) {
        accepting = false;
        timeout = timeout ? std::min(*timeout, left) : left;
      } else {
        acceptPausedUntil_.reset();
      }
    }
    pollfd fds[2] = {{wake_->readFd(), POLLIN, 0}, {accepting ? listening_.get() : -1, POLLIN, 0}};
    if (::poll(fds, 2, timeout ? static_cast<int>(timeout->count()) : -1) < 0 && errno != EINTR) break;
    if (fds[0].revents != 0) wake_->drain();
    if (fds[1].revents & (POLLNVAL | POLLERR)) break;  // not a listening socket: nothing to serve
    if (fds[1].revents != 0) acceptPending();
  }
  endAll();
}

void SimXpcListener::endAll() {
  // As the process exits: its connections close, but it runs no more
  // handlers (a connection whose client had already gone may still be
  // running its own).
  for (const auto& connection : connections_) {
    connection->setInvalidationHandler({});
    connection->invalidate();
  }
  for (reapEnded(); !connections_.empty(); reapEnded()) {
    pollfd woken{wake_->readFd(), POLLIN, 0};
    const int timeout = wake_->valid() ? -1 : static_cast<int>(kUnwakeablePoll.count());
    if (::poll(&woken, 1, timeout) > 0) wake_->drain();
  }
}

void SimXpcListener::acceptPending() {
  for (;;) {
    OwnedFd socket = acceptConnection(listening_.get());
    if (socket.valid()) {
      admit(std::move(socket));
      continue;
    }
    if (isOutOfDescriptors(errno)) turnAwayForWantOfDescriptors(errno);
    return;
  }
}

void SimXpcListener::turnAwayForWantOfDescriptors(int error) {
  // The descriptor kept in reserve makes room to take the client and tell it
  // why it cannot be served, rather than leave it waiting; without one, the
  // listening socket rests for a while.
  if (reserve_.valid()) {
    reserve_.reset();
    OwnedFd socket = acceptConnection(listening_.get());
    if (socket.valid()) {
      {
        std::lock_guard lock(mutex_);
        ++rejected_;
      }
      turnAway(std::move(socket), "out of file descriptors: " + systemErrorText(error));
    }
    reserve_ = reserveDescriptor();
  }
  if (!reserve_.valid()) acceptPausedUntil_ = Clock::now() + kAcceptPause;
}

void SimXpcListener::admit(OwnedFd socket) {
  const auto peer = peerCredentials(socket.get());
  if (auto why =
          entitlementViolation(statSocketFile(socketPath_), static_cast<std::uint32_t>(::geteuid()), peer)) {
    {
      std::lock_guard lock(mutex_);
      ++rejected_;
    }
    return turnAway(std::move(socket), *why);
  }
  auto connection = SimXpcConnection::accepted(std::move(socket),
                                               "connection from pid " + std::to_string(peer ? peer->pid : 0));
  connection->setEndedHook([wake = wake_] { wake->wake(); });
  std::function<bool(std::shared_ptr<XpcConnection>)> decide;
  {
    std::lock_guard lock(mutex_);
    decide = decide_;
  }
  if (!decide || !decide(connection)) {
    {
      std::lock_guard lock(mutex_);
      ++rejected_;
    }
    connection->invalidate();
  }
  connections_.push_back(std::move(connection));
}

bool SimXpcListener::reapEnded() {
  // Only once a connection has let go of its exported object is this the
  // last reference, so the connection's queue is joined here.
  return std::erase_if(connections_, [](const auto& connection) { return connection->hasEnded(); }) > 0;
}

}  // namespace brannic::sim
