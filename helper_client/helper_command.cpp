// The one command request to the helper, the authorization data it may
// carry, and the handling of its replies.
#include <utility>

#include "app/app_delegate.h"
#include "helper_client/helper_authorization.h"

namespace brannic {

std::int64_t authenticationFailedExitCode() { return kAuthenticationFailedExitCode; }

// Either the 32 bytes of a fresh, empty authorization's external form, or
// the outcome that says why there are none (its log line already written).
struct AppDelegate::EmptyAuthorizationData {
  std::optional<XpcData> data;
  HelperCommandOutcome failure = HelperCommandOutcome::noAuthorizationData;

  static EmptyAuthorizationData made(XpcData bytes) { return {std::move(bytes), HelperCommandOutcome::sent}; }
  static EmptyAuthorizationData failed(HelperCommandOutcome outcome) { return {std::nullopt, outcome}; }
};

namespace {

bool isOn(const Button* checkbox) {
  return checkbox != nullptr && checkbox->state() == NSControlStateValueOn;
}

}  // namespace

HelperCommandOutcome AppDelegate::runHelperCommand(const std::string& argument) {
  const auto proxy = helperProxy(nullptr);
  if (!proxy) return HelperCommandOutcome::noHelper;

  if (!isOn(checkboxRequireAuthentication)) {
    proxy->runCommandLsWithPath(argument, [this](std::int64_t exitCode) { handlePlainReply(exitCode); });
    return HelperCommandOutcome::sent;
  }

  XpcData authData;
  if (currentHelperAuthData_) {
    authData = *currentHelperAuthData_;
  } else {
    // Fresh data is cached only once the helper has accepted it.
    EmptyAuthorizationData fresh = makeEmptyAuthorizationData();
    if (!fresh.data) return fresh.failure;
    authData = std::move(*fresh.data);
  }
  proxy->runCommandLsWithPath(argument, authData, [this, authData](std::int64_t exitCode) {
    handleAuthorizedReply(exitCode, authData);
  });
  return HelperCommandOutcome::sent;
}

AppDelegate::EmptyAuthorizationData AppDelegate::makeEmptyAuthorizationData() {
  auto failWithError = [this](const HelperAuthorizationError& error) {
    appendToLog("Command failed with error: " + error.description());
    return EmptyAuthorizationData::failed(HelperCommandOutcome::authorizationError);
  };
  auto failWithoutData = [this] {
    appendToLog("Failed to get the empty authorization external form");
    return EmptyAuthorizationData::failed(HelperCommandOutcome::noAuthorizationData);
  };

  AuthorizationRef authorization = nullptr;
  try {
    authorization = HelperAuthorization::makeAuthorizationRef(platform_.authorization, nullptr, nullptr,
                                                              kAuthorizationFlagDefaults);
  } catch (const HelperAuthorizationError& error) {
    return failWithError(error);
  }
  if (authorization == nullptr) return failWithoutData();

  // The reference is never freed: the helper may turn these bytes back into
  // it for as long as the application runs.
  AuthorizationExternalForm externalForm{};
  const OSStatus status = platform_.authorization.authorizationMakeExternalForm(authorization, &externalForm);
  if (status != noErr) {
    return failWithError(
        HelperAuthorizationError::message(HelperAuthorization::statusText(platform_.authorization, status)));
  }
  return EmptyAuthorizationData::made(XpcData(externalForm.begin(), externalForm.end()));
}

void AppDelegate::handlePlainReply(std::int64_t exitCode) {
  appendToLog("Command exit code: " + std::to_string(exitCode));
}

void AppDelegate::handleAuthorizedReply(std::int64_t exitCode, const XpcData& sentData) {
  // Arrives on the connection's queue; the controls and the cached data
  // belong to the main thread.
  platform_.runLoop.addOperationToMainQueue([this, exitCode, sentData] {
    if (exitCode == authenticationFailedExitCode()) {
      appendToLog("Authentication Failed");
      return;
    }
    appendToLog("Command exit code: " + std::to_string(exitCode));
    if (!isOn(checkboxCacheAuthentication) || currentHelperAuthData_) return;
    setValueForKey(PropertyValue{PropertyData(sentData)}, currentHelperAuthDataKeyPath);
    if (textFieldAuthorizationCached != nullptr) textFieldAuthorizationCached->setStringValue("Yes");
    if (buttonDestroyCachedAuthorization != nullptr) buttonDestroyCachedAuthorization->setEnabled(true);
  });
}

}  // namespace brannic
