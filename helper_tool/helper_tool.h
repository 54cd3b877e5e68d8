// The privileged helper's side of HelperProtocol. "1" disables system sleep
// and "0" enables it again, by running the power tool with a fixed argument
// vector; the tool's output goes back to the application through
// AppProtocol and its exit code is the reply. Every other argument is
// refused (kHelperRefusedArgumentExitCode) with a line on the application's
// standard-error log. No argument ever reaches a shell.
//
// The authorized request first turns the 32 bytes back into an
// authorization and asks for the right guarding it, with interaction
// allowed so the owner is asked when the right's rule says so; anything
// but a grant answers kAuthenticationFailedExitCode.
//
// Threads: called on one connection's queue; the ports may be shared with
// other connections' tools, so they must be safe to call from several
// threads.
#pragma once

#include <string>
#include <vector>

#include "helper_client/helper_protocol.h"
#include "platform/authorization.h"
#include "platform/process_runner.h"

namespace brannic {

// The power tool and its argument vectors.
inline constexpr const char* kPowerToolPath = "/usr/bin/pmset";
std::vector<std::string> sleepSettingArguments(bool disableSleep);

class HelperTool final : public HelperProtocol {
 public:
  // REQUIRES: the three ports outlive the tool.
  HelperTool(AppProtocol& app, AuthorizationServices& authorization, ProcessRunner& processes,
             std::string version);

  void getVersionWithCompletion(VersionReply reply) override;
  void runCommandLsWithPath(std::string path, ExitCodeReply reply) override;
  void runCommandLsWithPath(std::string path, XpcData authData, ExitCodeReply reply) override;

 private:
  bool authorizationGrantsRequest(const XpcData& authData);

  AppProtocol& app_;
  AuthorizationServices& authorization_;
  ProcessRunner& processes_;
  const std::string version_;
};

}  // namespace brannic
