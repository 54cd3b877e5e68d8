// The privileged helper's side of HelperProtocol, one per connection. "1"
// disables system sleep and "0" enables it again, by running the power tool
// with a fixed argument vector through the helper's one SleepSetting, which
// restores sleep when the connection ends while holding it disabled. The
// tool's output goes back to the application through AppProtocol and its
// exit code is the reply. Every other argument is
// refused (kHelperRefusedArgumentExitCode) with a line on the application's
// standard-error log. No argument ever reaches a shell.
//
// The authorized request first turns the 32 bytes back into an
// authorization and asks for the right guarding it, with interaction
// allowed so the owner is asked when the right's rule says so; anything
// but a grant answers kAuthenticationFailedExitCode. The authorization made
// for the check is freed after it, whatever its answer.
//
// Threads: called on one connection's queue; the ports may be shared with
// other connections' tools, so they must be safe to call from several
// threads.
#pragma once

#include <string>
#include <vector>

#include "helper_client/helper_protocol.h"
#include "helper_tool/sleep_setting.h"
#include "platform/authorization.h"

namespace brannic {

class HelperTool final : public HelperProtocol {
 public:
  // REQUIRES: `app`, `authorization` and `sleep` outlive the tool.
  HelperTool(AppProtocol& app, AuthorizationServices& authorization, SleepSetting& sleep,
             std::string version);

  void getVersionWithCompletion(VersionReply reply) override;
  void runCommandLsWithPath(std::string path, ExitCodeReply reply) override;
  void runCommandLsWithPath(std::string path, XpcData authData, ExitCodeReply reply) override;

  // The connection this tool serves has ended; no request follows.
  void connectionEnded();

 private:
  bool authorizationGrantsRequest(const XpcData& authData);

  AppProtocol& app_;
  AuthorizationServices& authorization_;
  SleepSetting& sleep_;
  const SleepSetting::Holder holder_;
  const std::string version_;
};

}  // namespace brannic
