// The helper start-up steps: the rights update, the version check against
// the helper copy in the bundle, and the blessing of that copy.
#include <utility>

#include "app/app_delegate.h"
#include "helper_client/helper_authorization.h"
#include "helper_client/helper_label.h"

namespace brannic {

namespace {

constexpr const char* kHelperVersionKey = "CFBundleShortVersionString";
constexpr AuthorizationFlags kBlessingAuthorizationFlags =
    kAuthorizationFlagInteractionAllowed | kAuthorizationFlagExtendRights | kAuthorizationFlagPreAuthorize;

std::string inBundleHelperURL(Bundle& bundle) {
  return appendingPathComponent(bundle.bundleURL(),
                                "Contents/Library/LaunchServices/" + std::string(HelperLabel));
}

// The short version of the in-bundle helper, or none when its information
// dictionary or the text under the key is missing.
std::optional<std::string> inBundleHelperVersion(Bundle& bundle) {
  const std::optional<PropertyValue> info = bundle.copyInfoDictionaryForURL(inBundleHelperURL(bundle));
  const PropertyDictionary* dictionary = info ? info->get<PropertyDictionary>() : nullptr;
  if (dictionary == nullptr) return std::nullopt;
  const auto found = dictionary->find(kHelperVersionKey);
  if (found == dictionary->end()) return std::nullopt;
  const std::string* version = found->second.get<std::string>();
  if (version == nullptr) return std::nullopt;
  return *version;
}

}  // namespace

void AppDelegate::runHelperStartupSteps() {
  try {
    HelperAuthorization::updateAuthorizationRights(platform_.authorization, platform_.systemLog);
  } catch (const HelperAuthorizationError& error) {
    appendToLog("Failed to update the authorization database rights with error: " + error.description());
  }
  checkHelperStatus();
  runInstallStep();
}

void AppDelegate::checkHelperStatus() {
  // May run on the connection's queue: it only posts to the main queue.
  auto report = [this](bool installed) {
    platform_.runLoop.addOperationToMainQueue([this, installed] { showHelperStatus(installed); });
  };

  const std::optional<std::string> bundleVersion = inBundleHelperVersion(platform_.bundle);
  if (!bundleVersion) {
    report(false);
    return;
  }
  const auto proxy = helperProxy(report);
  if (!proxy) {
    report(false);
    return;
  }

  // Compared as text: "1.0" and "1.0.0" differ.
  proxy->getVersionWithCompletion([report, bundleVersion = *bundleVersion](std::string runningVersion) {
    report(runningVersion == bundleVersion);
  });
}

void AppDelegate::showHelperStatus(bool installed) {
  if (textFieldHelperInstalled != nullptr) textFieldHelperInstalled->setStringValue(installed ? "Yes" : "No");
  setHelperIsInstalledByKey(installed);
  platform_.appKit.hide();
}

bool AppDelegate::installHelper(const std::string& rightName, std::optional<PlatformError>* error) {
  const AuthorizationItemSet rights{AuthorizationItem{rightName, {}, 0}};
  // The administrator is asked here; the reference is never freed.
  const AuthorizationRef authorization = HelperAuthorization::makeAuthorizationRef(
      platform_.authorization, &rights, nullptr, kBlessingAuthorizationFlags);

  if (authorization != nullptr &&
      platform_.serviceManagement.jobBless(kSMDomainSystemLaunchd, std::string(HelperLabel), authorization,
                                           error)) {
    // The next message opens a connection to the helper just blessed.
    if (currentHelperConnection) currentHelperConnection->invalidate();
    currentHelperConnection.reset();
    return true;
  }
  return false;
}

void AppDelegate::runInstallStep() {
  auto post = [this](RunLoop::Block block) { platform_.runLoop.addOperationToMainQueue(std::move(block)); };
  auto markNotInstalled = [this] {
    if (textFieldHelperInstalled != nullptr) textFieldHelperInstalled->setStringValue("No");
    setHelperIsInstalledByKey(false);
  };
  auto reportError = [&](std::string description) {
    post([this, description = std::move(description)] {
      appendToLog("Failed to install helper with error: " + description);
    });
    post(markNotInstalled);
  };

  std::optional<PlatformError> error;
  bool installed = false;
  try {
    installed = installHelper(kSMRightBlessPrivilegedHelper, &error);
  } catch (const HelperAuthorizationError& authorizationError) {
    reportError(authorizationError.description());
    return;
  }
  if (installed) {
    post([this] {
      appendToLog("Helper installed successfully.");
      if (textFieldHelperInstalled != nullptr) textFieldHelperInstalled->setStringValue("Yes");
      setHelperIsInstalledByKey(true);
      runHelperCommand("0");
    });
  } else if (error) {
    reportError(error->description);
  } else {
    post([this] {
      if (textFieldHelperInstalled != nullptr) textFieldHelperInstalled->setStringValue("No");
      appendToLog("Failed install helper with unknown error.");
    });
    post(markNotInstalled);
  }
}

void AppDelegate::setHelperIsInstalledByKey(bool installed) {
  setValueForKey(PropertyValue{installed}, helperIsInstalledKeyPath);
}

}  // namespace brannic
