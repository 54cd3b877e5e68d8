#include "platform/sim/authorization/socket.h"

#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <chrono>

#include "platform/sim/authorization/wire.h"

namespace brannic::sim {

namespace {

// Waits for `events` on `fd`; false on timeout or error.
bool waitFor(int fd, short events, int timeoutMs) {
  pollfd waiting{fd, events, 0};
  int ready = 0;
  do ready = ::poll(&waiting, 1, timeoutMs);
  while (ready < 0 && errno == EINTR);
  return ready > 0;
}

}  // namespace

std::filesystem::path authorizationSocketPath(const std::filesystem::path& machineRoot) {
  return machineRoot / "var" / "run" / "authorization.socket";
}

bool sendAll(int fd, std::span<const std::uint8_t> bytes, int timeoutMs) {
  while (!bytes.empty()) {
    const auto sent = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (sent > 0) {
      bytes = bytes.subspan(static_cast<std::size_t>(sent));
    } else if (sent < 0 && errno == EINTR) {
      continue;
    } else if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      if (!waitFor(fd, POLLOUT, timeoutMs)) return false;
    } else {
      return false;
    }
  }
  return true;
}

bool receiveAuthFrame(int fd, std::vector<std::uint8_t>& body, int timeoutMs) {
  std::vector<std::uint8_t> stream;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    switch (cutAuthFrame(stream, body)) {
      case FrameCut::frame: return stream.empty();
      case FrameCut::invalid: return false;
      case FrameCut::incomplete: break;
    }
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
    if (left <= 0 || !waitFor(fd, POLLIN, static_cast<int>(left))) return false;
    std::uint8_t buffer[256];
    const auto count = ::recv(fd, buffer, sizeof(buffer), MSG_DONTWAIT);
    if (count < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) continue;
    if (count <= 0) return false;
    stream.insert(stream.end(), buffer, buffer + count);
  }
}

}  // namespace brannic::sim
