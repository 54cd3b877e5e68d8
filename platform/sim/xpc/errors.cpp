#include "platform/sim/xpc/errors.h"

namespace brannic::sim {

PlatformError xpcError(std::int64_t code, const std::string& detail) {
  return PlatformError{kCocoaErrorDomain, code,
                       "Error Domain=" + std::string(kCocoaErrorDomain) + " Code=" + std::to_string(code) +
                           " \"" + detail + "\" UserInfo={NSDebugDescription=" + detail + "}"};
}

PlatformError interruptedError(const std::string& connection, const std::string& reason) {
  return xpcError(NSXPCConnectionInterrupted, "The " + connection + " was interrupted: " + reason + ".");
}

PlatformError invalidatedError(const std::string& connection, const std::string& reason) {
  if (reason.empty())
    return xpcError(NSXPCConnectionInvalid, "The " + connection + " was invalidated from this process.");
  return xpcError(NSXPCConnectionInvalid, "The " + connection + " was invalidated: " + reason + ".");
}

PlatformError replyInvalidError(const std::string& connection, const std::string& selector,
                                const std::string& reason) {
  return xpcError(NSXPCConnectionReplyInvalid,
                  "The " + connection + " received an invalid reply to " + selector + ": " + reason + ".");
}

}  // namespace brannic::sim
