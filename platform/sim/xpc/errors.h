// The errors the simulated transport hands to error handlers, in the
// platform's shape:
//
//   Error Domain=NSCocoaErrorDomain Code=<code> "<detail>" UserInfo={NSDebugDescription=<detail>}
//
// The platform's connection errors carry only a debug description, and
// -description quotes it; so does this. The detail names the connection
// ("connection to service named com.brannic.helper", or "connection from
// pid 42" on the listening side) and says what happened:
//
//   4097 interrupted  "The <connection> was interrupted: <reason>."
//        the connection broke while the message waited for its reply
//   4099 invalidated  "The <connection> was invalidated from this process."
//                     "The <connection> was invalidated: <reason>."
//        the connection was invalidated before the message could go out, or
//        the service could not be looked up ("failed at lookup with error 3
//        - No such process")
//   4101 reply invalid "The <connection> received an invalid reply to <selector>: <reason>."
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform_error.h"

namespace brannic::sim {

inline constexpr const char* kCocoaErrorDomain = "NSCocoaErrorDomain";
inline constexpr std::int64_t NSXPCConnectionInterrupted = 4097;
inline constexpr std::int64_t NSXPCConnectionInvalid = 4099;
inline constexpr std::int64_t NSXPCConnectionReplyInvalid = 4101;

// The reason lookups of an unknown service give.
inline constexpr const char* kLookupFailedReason = "failed at lookup with error 3 - No such process";

// A platform error whose description quotes `detail` as the platform does.
PlatformError xpcError(std::int64_t code, const std::string& detail);

// `connection`: "connection to service named <name>" or "connection from pid <pid>".
PlatformError interruptedError(const std::string& connection, const std::string& reason);
// An empty `reason` means the process invalidated the connection itself.
PlatformError invalidatedError(const std::string& connection, const std::string& reason);
PlatformError replyInvalidError(const std::string& connection, const std::string& selector,
                                const std::string& reason);

}  // namespace brannic::sim
