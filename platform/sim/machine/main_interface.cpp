#include "platform/sim/machine/main_interface.h"

namespace brannic::sim {

MainInterface::MainInterface(Platform& platform, Transcript& transcript) : window_(transcript) {
  // The window as the file lays it out: the indicators read "No" until the
  // application says otherwise, nothing is cached yet, so the button that
  // would destroy the cache starts disabled, and both check boxes are off.
  window_.textFieldHelperInstalled.setInitialText("No");
  window_.textFieldAuthorizationCached.setInitialText("No");
  window_.buttonDestroyCachedAuthorization.setInitiallyEnabled(false);

  delegate_ = std::make_unique<AppDelegate>(platform);
  AppDelegate& delegate = *delegate_;
  delegate.buttonInstallHelper = &window_.buttonInstallHelper;
  delegate.buttonDestroyCachedAuthorization = &window_.buttonDestroyCachedAuthorization;
  delegate.buttonRunCommand = &window_.buttonRunCommand;
  delegate.textFieldHelperInstalled = &window_.textFieldHelperInstalled;
  delegate.textFieldAuthorizationCached = &window_.textFieldAuthorizationCached;
  delegate.textFieldInput = &window_.textFieldInput;
  delegate.textViewOutput = &window_.textViewOutput;
  delegate.checkboxRequireAuthentication = &window_.checkboxRequireAuthentication;
  delegate.checkboxCacheAuthentication = &window_.checkboxCacheAuthentication;

  // The button's target is the delegate, which lives as long as the window.
  window_.buttonRunCommand.setAction(
      "buttonRunCommand:", [&delegate](const std::string& selector) { delegate.performAction(selector); });

  delegate.awakeFromNib();
}

}  // namespace brannic::sim
