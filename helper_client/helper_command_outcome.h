// The result of the one command request to the helper.
#pragma once

#include <cstdint>
#include <string_view>

namespace brannic {

enum class HelperCommandOutcome {
  sent,                 // the request went out; its reply is handled later
  noHelper,             // no helper proxy; nothing was sent
  authorizationError,   // making the authorization or its external form failed
  noAuthorizationData,  // no authorization reference or no 32-byte buffer
};

// The reply by which the helper says it refused the authorization.
// Made once, on first use; safe to reach first from several threads.
std::int64_t authenticationFailedExitCode();

}  // namespace brannic
