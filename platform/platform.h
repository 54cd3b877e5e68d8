// Everything the application reaches the OS through, handed to the core
// explicitly. Each member is one framework's port.
//
// Error style. A port reports failure as the platform call it mirrors does:
// a status (OSStatus, compared with noErr), a bool with a PlatformError out
// parameter, or an empty optional or null for a value that is missing. The
// core keeps that form where it calls a port and turns a failure into a log
// line there. Above the ports, the core's own functions answer by their
// result (bool, optional, HelperCommandOutcome); the one exception is the
// authorization layer's HelperAuthorizationError, which every caller catches
// at once and writes as a log line. No exception crosses a port.
#pragma once

#include "platform/app_kit.h"
#include "platform/audio_hardware.h"
#include "platform/audio_player.h"
#include "platform/authorization.h"
#include "platform/bundle.h"
#include "platform/console.h"
#include "platform/dynamic_loader.h"
#include "platform/notification_center.h"
#include "platform/run_loop.h"
#include "platform/service_management.h"
#include "platform/shell.h"
#include "platform/system_log.h"
#include "platform/xpc.h"

namespace brannic {

// REQUIRES: every port outlives the objects of the core that use it.
struct Platform {
  RunLoop& runLoop;
  Console& console;
  SystemLog& systemLog;
  Shell& shell;
  AudioHardware& audioHardware;
  AudioPlayerFactory& audioPlayers;
  Bundle& bundle;
  AppKit& appKit;
  XpcConnections& xpc;
  AuthorizationServices& authorization;
  ServiceManagement& serviceManagement;
  DynamicLoader& dynamicLoader;
  DistributedNotificationCenter& notificationCenter;
};

}  // namespace brannic
