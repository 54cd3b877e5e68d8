// The listening side of the simulated transport, for the helper process:
// serves the socket launchd hands it. Each client must be entitled to the
// service: the socket file is a socket of mode 0600 owned by the user the
// helper runs as (the simulated machine's root), and the client process
// runs as that same user. Anyone else is told why and disconnected before
// the accept delegate sees the connection.
//
// Out of descriptors, the listener still answers: a client it cannot take
// is told so in a goodbye ("the connection (out of file descriptors: ...)")
// and disconnected, a connection that cannot get its own descriptors ends at
// once the same way, and the service goes on once descriptors are free.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/sim/base/unix_socket.h"
#include "platform/xpc.h"

namespace brannic::sim {

class SimXpcConnection;

// What the entitlement check looks at.
struct ServiceSocketFile {
  bool isSocket = false;
  unsigned mode = 0;  // permission bits
  std::uint32_t ownerUid = 0;
};

// Why a client may not use the service, or nullopt when it may.
// `peer` is nullopt when the peer's credentials could not be read.
std::optional<std::string> entitlementViolation(const std::optional<ServiceSocketFile>& socketFile,
                                                std::uint32_t serviceUid,
                                                const std::optional<PeerCredentials>& peer);

class SimXpcListener final : public XpcListener {
 public:
  struct Options {
    // Stop serving after this long without any connection; none: never.
    std::optional<std::chrono::milliseconds> idleExit;
  };

  // `listeningSocket` listens at `socketPath`.
  SimXpcListener(OwnedFd listeningSocket, std::string socketPath, Options options);
  // Invalidates every connection still open and waits for their queues.
  ~SimXpcListener() override;

  void setShouldAcceptNewConnection(std::function<bool(std::shared_ptr<XpcConnection>)> decide) override;
  // Serves on the calling thread until stop() or the idle limit; before it
  // returns, every connection is invalidated and has finished what it was
  // doing, so nothing it used is touched afterwards. Those invalidations run
  // no invalidation handler, as a process that exits runs none.
  void resume() override;
  // Makes resume() return. Safe from any thread and from a signal handler.
  void stop() {
    stopRequested_.store(true);
    wake_->wake();
  }

  // Whether resume() ended because the service stayed idle.
  bool endedIdle() const { return endedIdle_; }
  std::size_t rejectedClients() const;

 private:
  using Clock = std::chrono::steady_clock;

  void acceptPending();
  void turnAwayForWantOfDescriptors(int error);
  void admit(OwnedFd socket);
  // True when any connection was let go.
  bool reapEnded();
  void endAll();

  OwnedFd listening_;
  const std::string socketPath_;
  const Options options_;
  OwnedFd reserve_;  // given up to turn a client away when descriptors run out
  std::optional<Clock::time_point> acceptPausedUntil_;
  // Shared with the connections' ended hooks, which may run late.
  std::shared_ptr<WakePipe> wake_ = std::make_shared<WakePipe>();
  std::atomic<bool> stopRequested_{false};
  bool endedIdle_ = false;

  mutable std::mutex mutex_;
  std::function<bool(std::shared_ptr<XpcConnection>)> decide_;
  std::vector<std::shared_ptr<SimXpcConnection>> connections_;  // resume()'s thread only
  std::size_t rejected_ = 0;
};

}  // namespace brannic::sim
