// Every port of the application bound to macOS, and the Platform view the
// core receives.
#pragma once

#include "platform/macos/app_kit_mac.h"
#include "platform/macos/audio_hardware_mac.h"
#include "platform/macos/audio_player_mac.h"
#include "platform/macos/authorization_mac.h"
#include "platform/macos/bundle_mac.h"
#include "platform/macos/console_mac.h"
#include "platform/macos/dynamic_loader_mac.h"
#include "platform/macos/notification_center_mac.h"
#include "platform/macos/run_loop_mac.h"
#include "platform/macos/service_management_mac.h"
#include "platform/macos/shell_mac.h"
#include "platform/macos/system_log_mac.h"
#include "platform/macos/xpc_mac.h"
#include "platform/platform.h"

namespace brannic::mac {

// Made once, in main, and kept until the process ends: the core's objects
// hold on to the ports.
class MacPlatform {
 public:
  MacPlatform();
  MacPlatform(const MacPlatform&) = delete;
  MacPlatform& operator=(const MacPlatform&) = delete;

  Platform& platform() { return platform_; }
  MacAppKit& appKit() { return appKit_; }

 private:
  MacRunLoop runLoop_;
  MacConsole console_;
  MacSystemLog systemLog_;
  MacShell shell_;
  MacAudioHardware audioHardware_;
  MacAudioPlayerFactory audioPlayers_;
  MacBundle bundle_;
  MacAppKit appKit_;
  MacXpcConnections xpc_;
  MacAuthorizationServices authorization_;
  MacServiceManagement serviceManagement_;
  MacDynamicLoader dynamicLoader_;
  MacDistributedNotificationCenter notificationCenter_;
  Platform platform_;
};

}  // namespace brannic::mac
