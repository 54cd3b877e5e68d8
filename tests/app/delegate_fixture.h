// An application delegate on fake ports, with its window's controls
// connected the way the interface file connects them.
#pragma once

#include <memory>

#include <gtest/gtest.h>

#include "app/app_delegate.h"
#include "tests/fakes/fake_platform.h"

namespace brannic::testing {

class DelegateTest : public ::testing::Test {
 protected:
  // Creates the delegate on the fakes chosen so far and connects the outlets.
  AppDelegate& makeDelegate() {
    delegate = std::make_unique<AppDelegate>(fake.platform());
    delegate->buttonInstallHelper = &buttonInstallHelper;
    delegate->buttonDestroyCachedAuthorization = &buttonDestroyCachedAuthorization;
    delegate->buttonRunCommand = &buttonRunCommand;
    delegate->textFieldHelperInstalled = &textFieldHelperInstalled;
    delegate->textFieldAuthorizationCached = &textFieldAuthorizationCached;
    delegate->textFieldInput = &textFieldInput;
    delegate->textViewOutput = &textViewOutput;
    delegate->checkboxRequireAuthentication = &checkboxRequireAuthentication;
    delegate->checkboxCacheAuthentication = &checkboxCacheAuthentication;
    return *delegate;
  }

  FakePlatform fake;
  FakeButton buttonInstallHelper, buttonDestroyCachedAuthorization, buttonRunCommand;
  FakeTextField textFieldHelperInstalled, textFieldAuthorizationCached, textFieldInput;
  FakeTextView textViewOutput;
  FakeButton checkboxRequireAuthentication, checkboxCacheAuthentication;
  std::unique_ptr<AppDelegate> delegate;  // declared last: destroyed before the fakes
};

}  // namespace brannic::testing
