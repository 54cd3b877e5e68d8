// A delegate wired to a window of fake controls and to fakes for the
// helper's connection, authorization, blessing and bundle.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/app_delegate.h"
#include "helper_client/helper_label.h"
#include "tests/fakes/fake_authorization.h"
#include "tests/fakes/fake_bundle.h"
#include "tests/fakes/fake_platform.h"
#include "tests/fakes/fake_service_management.h"
#include "tests/fakes/fake_xpc.h"

namespace brannic::testing {

inline const std::string kInBundleHelperURL =
    "/Applications/Brannic.app/Contents/Library/LaunchServices/" + std::string(HelperLabel);

// One delegate and its world; a test that wants a fresh one per case makes
// its own.
struct HelperClientWorld {
  HelperClientWorld() {
    fake.xpc = &xpc;
    fake.authorization = &authorization;
    fake.serviceManagement = &serviceManagement;
    fake.bundle = &bundle;
    delegate = std::make_unique<AppDelegate>(fake.platform());
    delegate->buttonInstallHelper = &installButton;
    delegate->buttonDestroyCachedAuthorization = &destroyButton;
    delegate->buttonRunCommand = &runButton;
    delegate->textFieldHelperInstalled = &installedField;
    delegate->textFieldAuthorizationCached = &cachedField;
    delegate->textFieldInput = &inputField;
    delegate->textViewOutput = &output;
    delegate->checkboxRequireAuthentication = &requireBox;
    delegate->checkboxCacheAuthentication = &cacheBox;
    destroyButton.enabled = false;
    delegate->awakeFromNib();
  }

  // Runs the main queue dry and returns the output log.
  std::vector<std::string> log() {
    fake.runLoop.runUntilIdle();
    return output.messages();
  }
  void runMainQueue() { fake.runLoop.runUntilIdle(); }

  FakeXpcConnections xpc;
  FakeAuthorizationServices authorization;
  FakeServiceManagement serviceManagement;
  FakeBundle bundle;
  FakePlatform fake;

  FakeButton installButton, destroyButton, runButton, requireBox, cacheBox;
  FakeTextField installedField, cachedField, inputField;
  FakeTextView output;

  std::unique_ptr<AppDelegate> delegate;
};

class HelperClientTest : public ::testing::Test, public HelperClientWorld {};

}  // namespace brannic::testing
