#include "helper_tool/helper_tool.h"

#include <algorithm>
#include <optional>

#include "helper_tool/helper_exit_codes.h"

namespace brannic {

HelperTool::HelperTool(AppProtocol& app, AuthorizationServices& authorization, SleepSetting& sleep,
                       std::string version)
    : app_(app),
      authorization_(authorization),
      sleep_(sleep),
      holder_(sleep.newHolder()),
      version_(std::move(version)) {}

void HelperTool::getVersionWithCompletion(VersionReply reply) { reply(version_); }

void HelperTool::runCommandLsWithPath(std::string path, ExitCodeReply reply) {
  if (path != "1" && path != "0") {
    app_.logWithStdErr(
        "The helper runs only \"1\" (disable sleep) and \"0\" (enable sleep); it refused the request.");
    return reply(kHelperRefusedArgumentExitCode);
  }
  const std::optional<ProcessResult> result = sleep_.change(holder_, path == "1");
  if (!result) {
    app_.logWithStdErr(std::string("The helper could not start ") + kPowerToolPath + ".");
    return reply(kHelperToolUnavailableExitCode);
  }
  if (!result->standardOutput.empty()) app_.logWithStdOut(result->standardOutput);
  if (!result->standardError.empty()) app_.logWithStdErr(result->standardError);
  reply(result->exitCode);
}

void HelperTool::runCommandLsWithPath(std::string path, XpcData authData, ExitCodeReply reply) {
  if (!authorizationGrantsRequest(authData)) return reply(kAuthenticationFailedExitCode);
  runCommandLsWithPath(std::move(path), std::move(reply));
}

void HelperTool::connectionEnded() { sleep_.holderEnded(holder_); }

bool HelperTool::authorizationGrantsRequest(const XpcData& authData) {
  AuthorizationExternalForm externalForm;
  if (authData.size() != externalForm.size()) return false;
  std::copy(authData.begin(), authData.end(), externalForm.begin());
  AuthorizationRef authorization = nullptr;
  if (authorization_.authorizationCreateFromExternalForm(externalForm, &authorization) !=
          errAuthorizationSuccess ||
      authorization == nullptr)
    return false;
  const AuthorizationItemSet rights{{authorizedRequestRightName(), {}, 0}};
  const bool granted = authorization_.authorizationCopyRights(
                           authorization, rights, nullptr,
                           kAuthorizationFlagInteractionAllowed | kAuthorizationFlagExtendRights) ==
                       errAuthorizationSuccess;
  // The reference is this request's own, so it goes now, granted or not; the
  // helper runs for as long as the machine does. Its rights stay: they belong
  // to the application's session, whose data may come again with later
  // requests.
  authorization_.authorizationFree(authorization, kAuthorizationFlagDefaults);
  return granted;
}

}  // namespace brannic
