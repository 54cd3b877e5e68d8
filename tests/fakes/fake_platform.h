// Every port at once: recording fakes for the run loop, logs and AppKit,
// null ports for the rest. A test points a member at its own fake before it
// asks for the Platform.
#pragma once

#include "platform/platform.h"
#include "tests/fakes/fake_app_kit.h"
#include "tests/fakes/fake_run_loop.h"
#include "tests/fakes/fake_screen.h"
#include "tests/fakes/null_ports.h"
#include "tests/fakes/recording_logs.h"

namespace brannic::testing {

struct FakePlatform {
  FakeRunLoop runLoop;
  RecordingConsole console;
  RecordingSystemLog systemLog;
  FakeAppKit appKit;
  FakeNotificationCenter notificationCenter{runLoop};
  FakeDynamicLoader dynamicLoader;

  NullShell nullShell;
  NullAudioHardware nullAudio;
  NullAudioPlayerFactory nullPlayers;
  NullBundle nullBundle;
  NullXpcConnections nullXpc;
  NullAuthorizationServices nullAuthorization;
  NullServiceManagement nullServiceManagement;

  Shell* shell = &nullShell;
  AudioHardware* audioHardware = &nullAudio;
  AudioPlayerFactory* audioPlayers = &nullPlayers;
  Bundle* bundle = &nullBundle;
  XpcConnections* xpc = &nullXpc;
  AuthorizationServices* authorization = &nullAuthorization;
  ServiceManagement* serviceManagement = &nullServiceManagement;

  // The ports as the core receives them. Call after choosing the fakes.
  Platform& platform() {
    view_.emplace(Platform{runLoop, console, systemLog, *shell, *audioHardware, *audioPlayers, *bundle, appKit,
                           *xpc, *authorization, *serviceManagement, dynamicLoader, notificationCenter});
    return *view_;
  }

 private:
  std::optional<Platform> view_;
};

}  // namespace brannic::testing
