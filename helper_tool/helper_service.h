// The helper process's service: every connection the listener accepts gets
// its own HelperTool, whose AppProtocol calls go back over that connection.
// All of them change the sleep setting through one SleepSetting, which
// enables sleep again when the last connection holding it disabled ends.
#pragma once

#include <string>

#include "platform/authorization.h"
#include "platform/process_runner.h"
#include "platform/system_log.h"
#include "platform/xpc.h"

namespace brannic {

// Serves until the listener stops. `version` is what the helper reports;
// `log` gets the helper's own lines.
// REQUIRES: the ports outlive the call; they are shared by all connections,
// so they must be safe to call from several threads.
void serveHelper(XpcListener& listener, AuthorizationServices& authorization, ProcessRunner& processes,
                 SystemLog& log, const std::string& version);

}  // namespace brannic
