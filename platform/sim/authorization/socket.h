// Whole-frame I/O on the authorization socket's non-blocking connections,
// each step bounded in time so a stalled peer never hangs the caller.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

namespace brannic::sim {

// Where a machine's authorization socket lies.
std::filesystem::path authorizationSocketPath(const std::filesystem::path& machineRoot);

// Writes all of `bytes`, waiting at most `timeoutMs` for the socket to take
// each part. False on error, on a peer that went away, and on timeout.
bool sendAll(int fd, std::span<const std::uint8_t> bytes, int timeoutMs);

// Reads one whole frame (see sim_authorization_wire.h) into `body`, within
// `timeoutMs` in all. False on error, end of stream, timeout, a malformed
// frame, or bytes after it (a peer that answers what was not asked).
bool receiveAuthFrame(int fd, std::vector<std::uint8_t>& body, int timeoutMs);

}  // namespace brannic::sim
