// Socket plumbing shared by the authorization socket's server and its
// client.
#pragma once

#include <sys/un.h>

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace brannic::sim {

// Owns one file descriptor.
class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  ~UniqueFd() { reset(); }
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  int get() const { return fd_; }
  explicit operator bool() const { return fd_ >= 0; }
  int release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }
  void reset(int fd = -1);

 private:
  int fd_ = -1;
};

// The address of the Unix-domain socket at `path`; nullopt when the path does
// not fit a socket address.
std::optional<sockaddr_un> unixSocketAddress(const std::string& path);

// Writes all of `bytes`, waiting at most `timeoutMs` for the socket to take
// each part. False on error, on a peer that went away, and on timeout.
bool sendAll(int fd, std::span<const std::uint8_t> bytes, int timeoutMs);

}  // namespace brannic::sim
