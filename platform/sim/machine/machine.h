// The simulated Mac: the machine folder, the installed application bundle,
// every port the application reaches the system through, and, once
// launched, the application itself.
//
// The machine folder holds
//   Applications/Brannic.app   the bundle, copied from the build's template
//   usr/sbin/ioreg             the I/O registry stand-in (first on PATH)
//   Library/LaunchDaemons, Library/PrivilegedHelperTools, var/run/launchd
//                              launchd's system domain (see sim_launchd.h)
//   var/db/auth.db, var/run/authorization.socket
//                              the rights database and the helper's way to
//                              the authority (see sim_authorization_system.h)
//   usr/bin/pmset, var/db/sleep_disabled
//                              the power tool and the sleep setting (see sim_power.h)
//   var/log/system.log         the helper's system log (see processes/machine_log.h)
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/sim/machine/machine_folder.h"
#include "platform/sim/machine/main_interface.h"
#include "platform/sim/appkit/app_kit.h"
#include "platform/sim/devices/audio_hardware.h"
#include "platform/sim/devices/audio_player.h"
#include "platform/sim/authorization/system.h"
#include "platform/sim/bundle/bundle.h"
#include "platform/sim/machine/console.h"
#include "platform/sim/launchd/launchd.h"
#include "platform/sim/devices/power.h"
#include "platform/sim/processes/machine_log.h"
#include "platform/sim/devices/io_registry.h"
#include "platform/sim/run_loop/run_loop.h"
#include "platform/sim/appkit/dynamic_loader.h"
#include "platform/sim/appkit/notification_center.h"
#include "platform/sim/appkit/screen.h"
#include "platform/sim/launchd/service_management.h"
#include "platform/sim/processes/shell.h"
#include "platform/sim/xpc/connections.h"
#include "platform/sim/xpc/traffic.h"
#include "platform/sim/base/transcript.h"

namespace brannic::sim {

struct SimMacOptions {
  ClockKind clock = ClockKind::virtualClock;
  // Keep the machine in this folder (see MachineFolder); none: a fresh
  // temporary one.
  std::optional<std::string> keepMachineAt;
  // The bundle template (a Brannic.app folder) to install; empty: an empty
  // bundle.
  std::string bundleTemplate;
  // How long, in real time, settle() and a post on the main thread wait
  // for work outside the main thread before giving up on it.
  std::chrono::milliseconds answerTimeout{std::chrono::seconds(5)};
};

class SimMac {
 public:
  static constexpr const char* kBundleName = "Brannic.app";

  // Throws std::runtime_error saying why the machine cannot be set up.
  SimMac(Transcript& transcript, SimMacOptions options);
  ~SimMac();
  SimMac(const SimMac&) = delete;
  SimMac& operator=(const SimMac&) = delete;

  Platform& platform() { return platform_; }
  Transcript& transcript() { return transcript_; }
  const std::string& machinePath() const { return machine_.path(); }
  std::string bundlePath() const;

  SimRunLoop& runLoop() { return runLoop_; }
  SimAppKit& appKit() { return appKit_; }
  SimBundle& bundle() { return bundle_; }
  SimIoRegistry& registry() { return registry_; }
  SimAudioHardware& audioHardware() { return audioHardware_; }
  SimAudioPlayerFactory& audioPlayers() { return audioPlayers_; }
  SimScreen& screen() { return screen_; }
  SimDynamicLoader& dynamicLoader() { return dynamicLoader_; }
  SimNotificationCenter& notificationCenter() { return notificationCenter_; }
  SimLaunchd& launchd() { return launchd_; }
  SimXpcTraffic& xpcTraffic() { return xpcTraffic_; }
  SimXpcConnections& xpc() { return xpc_; }
  SimAuthorizationSystem& authorization() { return authorization_; }
  SimServiceManagement& serviceManagement() { return serviceManagement_; }
  SimPower& power() { return power_; }

  // The program entry: the application main function loads the main
  // interface (creating the delegate) and finishes launching. Returns false,
  // doing nothing, when the application was already launched.
  bool launch();
  // The running application, or null before launch and after a crash.
  MainInterface* application() { return application_.get(); }
  // The application dies at once, as a crash would: its connections close
  // without a goodbye, its queued work and timers go without running, and
  // its sound stops. Returns once the helper has handled the end of those
  // connections (at most options.answerTimeout); what the helper did shows at the
  // next look at the machine. The machine keeps running, and launch()
  // starts the application again. REQUIRES: application() != null.
  void crashApplication();

  // Looks at what the helper changes behind the simulator's back: the sleep
  // setting (`power:` when it changed), then the helper's new system-log
  // entries (`helper-syslog:`). The simulator looks before each message
  // from the helper is handled, at settle and at `state`.
  void lookAtMachine();

  // Runs queued main work and waits for work outside the main thread (see
  // SimRunLoop::settle); work still pending after the answer timeout prints
  // `sim: no answer from <label>` and is not waited for again.
  void settle();
  // Lets time pass (see SimRunLoop::advance), settling before each timer
  // firing and at the end: messages in flight take no virtual time, and on
  // the real clock they are answered before the next timer fires. On the
  // real clock `stop`, when given, ends the wait early.
  void advance(double seconds, const std::function<bool()>& stop = nullptr);
  // Real clock: serves the run loop until `stop` returns true. Queued work
  // runs at once and timers fire when due, each step settled as advance()
  // settles, so the events come in the order a script's `wait` gives them.
  void runUntil(const std::function<bool()>& stop);

  // The bytes of a resource as the bundle template has it, or nullopt.
  std::optional<std::string> templateResource(const std::string& fileName) const;

 private:
  void loadMainInterface();
  // What the end of the application's process leaves behind, whether it
  // crashed or quit (see crashApplication).
  void endApplicationProcess();

  Transcript& transcript_;
  SimMacOptions options_;
  MachineFolder machine_;  // first: removed after everything that uses it is gone
  SimRunLoop runLoop_;
  SimConsole console_;
  SimSystemLog systemLog_;
  SimIoRegistry registry_;
  SimShell shell_;
  SimAudioHardware audioHardware_;
  SimAudioPlayerFactory audioPlayers_;
  SimBundle bundle_;
  SimAppKit appKit_;
  SimXpcTraffic xpcTraffic_;
  SimLaunchd launchd_;  // stops the helpers after the application has let go of them
  SimXpcConnections xpc_;
  SimAuthorizationSystem authorization_;
  SimServiceManagement serviceManagement_;
  SimPower power_;
  SimMachineLogReader machineLog_;
  SimNotificationCenter notificationCenter_;
  SimScreen screen_;
  SimDynamicLoader dynamicLoader_;
  Platform platform_;
  std::unique_ptr<MainInterface> application_;  // last: goes before the ports it uses
};

// Where brannic-sim finds the bundle template: a `Brannic.app` folder next
// to the executable or up to two folders above it (the build puts the
// template at the top of the build tree and the executable in
// platform/sim/), else the one in the build tree this was built in. Empty
// when none of them exists.
std::string findBundleTemplate(const std::string& executablePath);

}  // namespace brannic::sim
