#include "platform/sim/base/unix_socket.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

namespace brannic::sim {

OwnedFd& OwnedFd::operator=(OwnedFd&& other) noexcept {
  if (this != &other) reset(other.release());
  return *this;
}

void OwnedFd::reset(int fd) {
  if (fd_ >= 0) ::close(fd_);
  fd_ = fd;
}

WakePipe::WakePipe() {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
    read_.reset(fds[0]);
    write_.reset(fds[1]);
  } else {
    creationError_ = errno;
  }
}

void WakePipe::wake() const {
  const char byte = 1;
  // A full pipe already holds a wake-up; nothing is lost.
  [[maybe_unused]] const auto written = ::write(write_.get(), &byte, 1);
}

void WakePipe::drain() const {
  char buffer[64];
  while (::read(read_.get(), buffer, sizeof buffer) > 0) {
  }
}

std::size_t maxSocketPathLength() { return sizeof(sockaddr_un::sun_path) - 1; }

namespace {

bool fillAddress(const std::string& path, sockaddr_un* address, std::string* error) {
  if (path.empty() || path.size() > maxSocketPathLength()) {
    if (error)
      *error = "socket path is empty or longer than " + std::to_string(maxSocketPathLength()) + " bytes";
    return false;
  }
  std::memset(address, 0, sizeof *address);
  address->sun_family = AF_UNIX;
  std::memcpy(address->sun_path, path.data(), path.size());
  return true;
}

const sockaddr* asSockaddr(const sockaddr_un* address) {
  // The socket API takes the generic address type by design.
  return reinterpret_cast<const sockaddr*>(address);
}

void setNonBlocking(int fd) {
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
}

}  // namespace

OwnedFd listenOnPath(const std::string& path, unsigned mode, std::string* error) {
  sockaddr_un address;
  if (!fillAddress(path, &address, error)) return {};
  OwnedFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  if (!fd.valid()) {
    if (error) *error = "socket: " + systemErrorText(errno);
    return {};
  }
  ::unlink(path.c_str());
  if (::bind(fd.get(), asSockaddr(&address), sizeof address) != 0) {
    if (error) *error = "bind " + path + ": " + systemErrorText(errno);
    return {};
  }
  if (::chmod(path.c_str(), mode) != 0 || ::listen(fd.get(), 64) != 0) {
    if (error) *error = "listen " + path + ": " + systemErrorText(errno);
    ::unlink(path.c_str());
    return {};
  }
  return fd;
}

namespace {

// Without a timeout, connect() blocks while the listener's queue is full.
// With one, the socket is non-blocking from the start: a full queue then
// fails at once (EAGAIN), and the attempt is made again until the deadline.
OwnedFd connectWithin(const std::string& path, std::optional<std::chrono::milliseconds> timeout,
                      std::string* error, bool* timedOut) {
  if (timedOut) *timedOut = false;
  sockaddr_un address;
  if (!fillAddress(path, &address, error)) return {};
  OwnedFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | (timeout ? SOCK_NONBLOCK : 0), 0));
  if (!fd.valid()) {
    if (error) *error = "socket: " + systemErrorText(errno);
    return {};
  }
  constexpr auto kRetryInterval = std::chrono::milliseconds(10);
  const auto deadline = std::chrono::steady_clock::now() + timeout.value_or(std::chrono::milliseconds(0));
  int failure;
  for (;;) {
    if (::connect(fd.get(), asSockaddr(&address), sizeof address) == 0) {
      setNonBlocking(fd.get());
      return fd;
    }
    failure = errno;
    if (failure == EINTR) continue;
    if (!timeout || failure != EAGAIN || std::chrono::steady_clock::now() >= deadline) break;
    std::this_thread::sleep_for(kRetryInterval);
  }
  if (timedOut) *timedOut = timeout && failure == EAGAIN;
  if (error) *error = "connect " + path + ": " + systemErrorText(failure);
  return {};
}

}  // namespace

OwnedFd connectToPath(const std::string& path, std::string* error) {
  return connectWithin(path, std::nullopt, error, nullptr);
}

OwnedFd connectToPathWithin(const std::string& path, std::chrono::milliseconds timeout, std::string* error,
                            bool* timedOut) {
  return connectWithin(path, timeout, error, timedOut);
}

OwnedFd acceptConnection(int listeningFd) {
  for (;;) {
    const int fd = ::accept4(listeningFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd >= 0 || errno != EINTR) return OwnedFd(fd);
  }
}

bool isOutOfDescriptors(int error) {
  return error == EMFILE || error == ENFILE || error == ENOBUFS || error == ENOMEM;
}

std::optional<PeerCredentials> peerCredentials(int connectedFd) {
  ucred credentials{};
  socklen_t length = sizeof credentials;
  if (::getsockopt(connectedFd, SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0) return std::nullopt;
  return PeerCredentials{credentials.pid, credentials.uid, credentials.gid};
}

std::string systemErrorText(int error) {
  char buffer[128];
  return ::strerror_r(error, buffer, sizeof buffer);  // the GNU form returns the text
}

}  // namespace brannic::sim
