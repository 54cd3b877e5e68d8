// What the helper process and the authorization socket's server say to each
// other. Each message is one frame: a 4-byte big-endian body length
// (1...kMaxAuthFrameBody), then the body.
//   request:  op (1 byte), then by op
//     create       flags (u32), rights
//     internalize  session (32 bytes)
//     copyRights   session (32 bytes), flags (u32), rights
//   response: status (i32), then for a successful create the session (32 bytes)
// Rights are a count (u32, at most kMaxAuthItems) of items, each a name and a
// value (u32 length, at most kMaxAuthItemBytes, then the bytes) and flags
// (u32). Integers are big-endian.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "platform/authorization.h"

namespace brannic::sim {

inline constexpr std::size_t kMaxAuthFrameBody = 64 * 1024;
inline constexpr std::uint32_t kMaxAuthItems = 64;
inline constexpr std::uint32_t kMaxAuthItemBytes = 1024;

enum class AuthOp : std::uint8_t { create = 1, internalize = 2, copyRights = 3 };

struct AuthRequest {
  AuthOp op = AuthOp::create;
  AuthorizationExternalForm session{};  // internalize, copyRights
  AuthorizationFlags flags = 0;         // create, copyRights
  AuthorizationItemSet rights;          // create, copyRights
};

struct AuthResponse {
  OSStatus status = errAuthorizationInternal;
  std::optional<AuthorizationExternalForm> session;  // a successful create's
};

// Whole frames, length prefix included. REQUIRES: the request's rights fit
// the limits above (encodeAuthRequest answers nullopt otherwise).
std::optional<std::vector<std::uint8_t>> encodeAuthRequest(const AuthRequest& request);
std::vector<std::uint8_t> encodeAuthResponse(const AuthResponse& response);

// Bodies (without the length prefix); nullopt for anything malformed.
std::optional<AuthRequest> decodeAuthRequest(std::span<const std::uint8_t> body);
std::optional<AuthResponse> decodeAuthResponse(std::span<const std::uint8_t> body);

enum class FrameCut { incomplete, frame, invalid };
// Takes the first whole frame off the front of `stream` into `body`.
// `invalid` when the length prefix is out of range: the stream cannot be
// trusted any more.
FrameCut cutAuthFrame(std::vector<std::uint8_t>& stream, std::vector<std::uint8_t>& body);

}  // namespace brannic::sim
