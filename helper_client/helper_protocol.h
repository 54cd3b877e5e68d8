// The two interfaces between the application and its helper, declared once
// for both ends: HelperProtocol (exported by the helper) and AppProtocol
// (exported by the application, so the helper can send text back).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/xpc.h"

namespace brannic {

namespace selectors {
inline constexpr const char* getVersionWithCompletion = "getVersionWithCompletion:";
inline constexpr const char* runCommandLsWithPathCompletion = "runCommandLsWithPath:completion:";
inline constexpr const char* runCommandLsWithPathAuthDataCompletion = "runCommandLsWithPath:authData:completion:";
inline constexpr const char* logWithStdOut = "logWithStdOut:";
inline constexpr const char* logWithStdErr = "logWithStdErr:";
}  // namespace selectors

// The reply by which the helper says it refused the authorization data of
// the authorized request (authenticationFailedExitCode on the application's
// side).
inline constexpr std::int64_t kAuthenticationFailedExitCode = 503340;

// The name of the authorization right that guards the helper request
// `selector`: HelperLabel, ".", the selector.
std::string authorizationRightName(std::string_view selector);
// The right the authorized request needs.
std::string authorizedRequestRightName();

// Selectors, argument classes, reply classes and type encodings, in
// declaration order.
const XpcInterface& helperProtocolInterface();
const XpcInterface& appProtocolInterface();

using VersionReply = std::function<void(std::string version)>;
using ExitCodeReply = std::function<void(std::int64_t exitCode)>;

// What the helper implements. Calls arrive on the connection's queue; each
// reply must be called exactly once.
class HelperProtocol {
 public:
  virtual ~HelperProtocol() = default;
  virtual void getVersionWithCompletion(VersionReply reply) = 0;
  virtual void runCommandLsWithPath(std::string path, ExitCodeReply reply) = 0;
  virtual void runCommandLsWithPath(std::string path, XpcData authData, ExitCodeReply reply) = 0;
};

// What the application implements. Calls arrive on the connection's queue.
class AppProtocol {
 public:
  virtual ~AppProtocol() = default;
  virtual void logWithStdOut(std::string text) = 0;
  virtual void logWithStdErr(std::string text) = 0;
};

// Exports an object through a connection: turns declared messages into calls.
// REQUIRES: `target` outlives the returned object's use by the connection.
std::shared_ptr<XpcExportedObject> exportHelperProtocol(HelperProtocol& target);
std::shared_ptr<XpcExportedObject> exportAppProtocol(AppProtocol& target);

// A remote proxy typed as HelperProtocol. A reply that is nil reaches the
// version reply as the empty string.
class HelperProxy final : public HelperProtocol {
 public:
  explicit HelperProxy(std::shared_ptr<XpcRemoteProxy> proxy) : proxy_(std::move(proxy)) {}
  void getVersionWithCompletion(VersionReply reply) override;
  void runCommandLsWithPath(std::string path, ExitCodeReply reply) override;
  void runCommandLsWithPath(std::string path, XpcData authData, ExitCodeReply reply) override;

 private:
  std::shared_ptr<XpcRemoteProxy> proxy_;
};

// A remote proxy typed as AppProtocol, for the helper.
class AppProxy final : public AppProtocol {
 public:
  explicit AppProxy(std::shared_ptr<XpcRemoteProxy> proxy) : proxy_(std::move(proxy)) {}
  void logWithStdOut(std::string text) override;
  void logWithStdErr(std::string text) override;

 private:
  std::shared_ptr<XpcRemoteProxy> proxy_;
};

}  // namespace brannic
