// The arming cycle: arm (watch timer, sleep disabled, screen locked), the
// watch's lid checks and alarm, and the two ways to disarm.
#include <string>

#include "app/app_delegate.h"
#include "lid_alarm/view_controller.h"

namespace brannic {

namespace {
constexpr double kWatchInterval = 0.5;
constexpr const char* kScreenLockLibrary = "/System/Library/PrivateFrameworks/login.framework/Versions/Current/login";
constexpr const char* kScreenLockEntryPoint = "SACLockScreenImmediate";
constexpr const char* kScreenLockedNotification = "com.apple.screenIsLocked";
constexpr const char* kScreenUnlockedNotification = "com.apple.screenIsUnlocked";

// The request did not go out and never will: the caller stops there.
bool requestWasDropped(HelperCommandOutcome outcome) {
  return outcome == HelperCommandOutcome::noHelper || outcome == HelperCommandOutcome::noAuthorizationData;
}
}  // namespace

void AppDelegate::didTapOne() { armWatch(); }

void AppDelegate::didTapTwo() { disarmWatch(); }

void AppDelegate::fireTimer() {
  print(platform_.console, "Timer fired!");
  checkLid();
}

void AppDelegate::armWatch() {
  // Arming again restarts the watch: the earlier timer stops first, so there
  // is never more than one and a disarm always stops it.
  if (timer2) timer2->invalidate();
  // The run loop and timer2 hold the timer; the delegate lives for the
  // process, so the block may hold it.
  timer2 = platform_.runLoop.scheduleRepeatingTimer(kWatchInterval, [this](Timer& timer) { watchTick(timer); });

  if (requestWasDropped(runHelperCommand("1"))) return;
  print(platform_.console, "SLEEP DISABLED 1");
  lockScreen();
}

void AppDelegate::disarmWatch() {
  setStatusIcon(2);
  if (requestWasDropped(runHelperCommand("0"))) return;
  print(platform_.console, "sleep enabled 0");
  if (timer2) timer2->invalidate();
}

void AppDelegate::watchTick(Timer&) {
  isTimerRunning = !isTimerRunning;
  checkLid();
  registerScreenObservers();
}

void AppDelegate::checkLid() {
  if (lidIsOpen(platform_.shell)) {
    print(platform_.console, "lid is open");
    return;
  }
  print(platform_.console, "lid is closed");
  print(platform_.console, lidIsOpen(platform_.shell));
  playAlarmSound(platform_.bundle, platform_.audioPlayers, platform_.audioHardware, platform_.console);
}

void AppDelegate::lockScreen() {
  // The library is never closed; opening it again is cheap.
  DynamicLoader::LibraryHandle library = platform_.dynamicLoader.open(kScreenLockLibrary, RTLD_LAZY_MODE);
  if (library == nullptr) {
    appendToLog("Could not lock the screen: the login framework was not found");
    return;
  }
  DynamicLoader::EntryPoint lockScreenImmediate = platform_.dynamicLoader.lookUp(library, kScreenLockEntryPoint);
  if (!lockScreenImmediate) {
    appendToLog(std::string("Could not lock the screen: ") + kScreenLockEntryPoint + " was not found");
    return;
  }
  lockScreenImmediate();
}

// Registered once, on the first firing of the first armed watch, and kept:
// each notification then runs its block exactly once, however many firings
// and armings follow.
void AppDelegate::registerScreenObservers() {
  if (!screenObservers_.empty()) return;
  auto& center = platform_.notificationCenter;
  // The observers are delivered on the main operation queue; the delegate
  // outlives them (it removes them when destroyed).
  screenObservers_.push_back(
      center.addObserverForName(kScreenLockedNotification, [this](const std::string&) { screenLockLog(); }));
  screenObservers_.push_back(
      center.addObserverForName(kScreenUnlockedNotification, [this](const std::string&) { screenUnlockDisarm(); }));
}

void AppDelegate::screenLockLog() { platform_.systemLog.log("Screen Locked"); }

void AppDelegate::screenUnlockDisarm() {
  platform_.systemLog.log("Screen Unlocked");
  if (requestWasDropped(runHelperCommand("0"))) return;
  isTimerRunning = false;
  if (timer2) timer2->invalidate();
}

}  // namespace brannic
