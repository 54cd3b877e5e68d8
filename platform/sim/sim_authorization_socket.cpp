#include "platform/sim/sim_authorization_socket.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace brannic::sim {

void UniqueFd::reset(int fd) {
  if (fd_ >= 0) ::close(fd_);
  fd_ = fd;
}

std::optional<sockaddr_un> unixSocketAddress(const std::string& path) {
  sockaddr_un address{};
  // One byte stays for the terminating NUL.
  if (path.empty() || path.size() >= sizeof(address.sun_path)) return std::nullopt;
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  return address;
}

bool sendAll(int fd, std::span<const std::uint8_t> bytes, int timeoutMs) {
  while (!bytes.empty()) {
    const auto sent = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (sent > 0) {
      bytes = bytes.subspan(static_cast<std::size_t>(sent));
      continue;
    }
    if (sent < 0 && errno == EINTR) continue;
    if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      pollfd waiting{fd, POLLOUT, 0};
      int ready = 0;
      do ready = ::poll(&waiting, 1, timeoutMs);
      while (ready < 0 && errno == EINTR);
      if (ready <= 0) return false;
      continue;
    }
    return false;
  }
  return true;
}

}  // namespace brannic::sim
