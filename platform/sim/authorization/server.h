// The authorization socket: how the helper process reaches the simulated
// machine's authority, which lives in the simulator's process. One thread
// serves every connection; it answers only peers running as this process's
// user, and drops a connection that sends a malformed frame or stays silent
// for the idle timeout (so that clients that never ask, or stall in the
// middle of a request, cannot hold the few slots for good). While it has no
// descriptor to take a new connection with, it leaves the waiting ones be
// for a moment instead of spinning on a failing accept.
#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "platform/sim/authorization/authority.h"
#include "platform/sim/authorization/socket.h"
#include "platform/sim/base/unix_socket.h"

namespace brannic::sim {

class SimAuthServer {
 public:
  // As long as the helper itself waits for an answer (a request never takes
  // longer), and short enough that silent clients free their slots soon.
  static constexpr std::chrono::milliseconds kIdleTimeout{10'000};

  // Listens on `socketPath` (mode 0600; a stale socket file there is
  // replaced) and serves until destroyed. Throws std::runtime_error, saying
  // why, when the socket cannot be made (e.g. the path is too long for a
  // socket address). REQUIRES: `authority` outlives this.
  SimAuthServer(SimAuthorizationAuthority& authority, std::filesystem::path socketPath,
                std::chrono::milliseconds idleTimeout = kIdleTimeout);
  ~SimAuthServer();
  SimAuthServer(const SimAuthServer&) = delete;
  SimAuthServer& operator=(const SimAuthServer&) = delete;

  const std::filesystem::path& socketPath() const { return socketPath_; }

 private:
  void serve();

  SimAuthorizationAuthority& authority_;
  const std::filesystem::path socketPath_;
  const std::chrono::milliseconds idleTimeout_;
  OwnedFd listening_;
  WakePipe stop_;
  std::thread thread_;
};

}  // namespace brannic::sim
