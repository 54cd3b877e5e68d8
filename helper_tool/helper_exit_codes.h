// The exit codes the helper answers with besides those of the tools it runs.
#pragma once

#include <cstdint>

namespace brannic {

// The argument is neither "1" nor "0"; nothing was run.
inline constexpr std::int64_t kHelperRefusedArgumentExitCode = 64;
// The power tool could not be started.
inline constexpr std::int64_t kHelperToolUnavailableExitCode = 69;
// The authorization data was refused or is not a valid external form:
// kAuthenticationFailedExitCode (helper_client/helper_protocol.h), shared
// with the application.

}  // namespace brannic
