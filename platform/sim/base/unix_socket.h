// File descriptors and Unix-domain sockets for the simulated transport and
// the launchd stand-in. Every descriptor made here is close-on-exec, so no
// child process inherits a connection by accident.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>

namespace brannic::sim {

// Owns one file descriptor; closes it when destroyed.
class OwnedFd {
 public:
  OwnedFd() = default;
  explicit OwnedFd(int fd) : fd_(fd) {}
  OwnedFd(OwnedFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  OwnedFd& operator=(OwnedFd&& other) noexcept;
  OwnedFd(const OwnedFd&) = delete;
  OwnedFd& operator=(const OwnedFd&) = delete;
  ~OwnedFd() { reset(); }

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  int release() { return std::exchange(fd_, -1); }
  void reset(int fd = -1);

 private:
  int fd_ = -1;
};

// A pipe whose read end can be polled; writing wakes the reader. Both ends
// are non-blocking, so a full pipe never blocks the writer (one pending
// wake-up is enough). Creating it fails when the process is out of
// descriptors: then valid() is false, wake() does nothing and readFd() is
// -1, which poll() skips, so a waiter must not wait on it without a timeout.
class WakePipe {
 public:
  WakePipe();
  bool valid() const { return read_.valid(); }
  // errno of the failed creation, or 0.
  int creationError() const { return creationError_; }
  int readFd() const { return read_.get(); }
  // Safe from any thread and from a signal handler.
  void wake() const;
  // Reads every pending wake-up byte.
  void drain() const;

 private:
  OwnedFd read_;
  OwnedFd write_;
  int creationError_ = 0;
};

// The largest path a Unix-domain socket address holds, without the final NUL.
std::size_t maxSocketPathLength();

// Creates a non-blocking listening socket at `path` (any old file there is
// removed first) with the file mode `mode`. Returns an invalid descriptor and sets `error`
// on failure.
OwnedFd listenOnPath(const std::string& path, unsigned mode, std::string* error);

// Connects to the listening socket at `path`; the connected descriptor is
// non-blocking. Returns an invalid descriptor and sets `error` on failure.
OwnedFd connectToPath(const std::string& path, std::string* error);

// The same, but waits at most `timeout` for room in a listener's queue of
// pending connections, which is full when the listener does not accept;
// `timedOut` says whether that is why it failed.
OwnedFd connectToPathWithin(const std::string& path, std::chrono::milliseconds timeout, std::string* error,
                            bool* timedOut);

// Accepts one pending connection from a listening socket (non-blocking
// result), or returns an invalid descriptor when none is waiting.
OwnedFd acceptConnection(int listeningFd);

// Whether `error` (an errno) says the process or the system has no
// descriptor or buffer left for a new connection. A listening socket stays
// readable while its accept fails so, which a loop must not take as new work.
bool isOutOfDescriptors(int error);

// The credentials of the process at the other end of a connected socket.
struct PeerCredentials {
  std::int64_t pid = 0;
  std::uint32_t uid = 0;
  std::uint32_t gid = 0;
};
std::optional<PeerCredentials> peerCredentials(int connectedFd);

// errno as text.
std::string systemErrorText(int error);

}  // namespace brannic::sim
