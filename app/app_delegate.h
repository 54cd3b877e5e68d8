// The application delegate: the one object that holds the application's
// state. Its member functions are defined beside the behaviour they belong
// to:
//   app/app_delegate.cpp              creation, key-value coding, actions table
//   app/startup.cpp                   start-up sequence, status item and menu
//   app/arming_cycle.cpp              arm, watch, alarm, screen lock, disarm
//   app/output_log.cpp                the window's output log
//   helper_client/helper_connection.cpp   connection cache and helper proxy
//   helper_client/helper_command.cpp      the command request and its replies
//   helper_client/helper_installation.cpp status check and installation
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "helper_client/helper_command_outcome.h"
#include "helper_client/helper_protocol.h"
#include "platform/platform.h"

namespace brannic {

// Threads: everything runs on the main thread, except the AppProtocol calls
// and the reply and error handlers, which arrive on the helper connection's
// queue and touch no delegate state before hopping to the main queue.
class AppDelegate final : public KeyValueCoding, public AppProtocol {
 public:
  // init. REQUIRES: `platform` outlives the delegate.
  explicit AppDelegate(Platform& platform);
  ~AppDelegate() override;
  AppDelegate(const AppDelegate&) = delete;
  AppDelegate& operator=(const AppDelegate&) = delete;

  // Outlets, connected by the main interface file. Weak: the window owns
  // the controls. REQUIRES: connected controls outlive the delegate.
  Button* buttonInstallHelper = nullptr;
  Button* buttonDestroyCachedAuthorization = nullptr;
  Button* buttonRunCommand = nullptr;
  TextField* textFieldHelperInstalled = nullptr;
  TextField* textFieldAuthorizationCached = nullptr;
  TextField* textFieldInput = nullptr;
  TextView* textViewOutput = nullptr;
  Button* checkboxRequireAuthentication = nullptr;
  Button* checkboxCacheAuthentication = nullptr;

  // Runtime-visible operations.
  void fireTimer();
  void awakeFromNib();
  void didTapOne();
  void didTapTwo();
  void didTapThree();
  void didTapSignout();
  void didTapWarning();
  void applicationDidBecomeActive();
  void applicationDidFinishLaunching();
  void buttonRunCommandAction();  // buttonRunCommand:
  void logWithStdOut(std::string text) override;
  void logWithStdErr(std::string text) override;

  // Sends a runtime-visible action by selector ("didTapOne",
  // "buttonRunCommand:", "applicationDidBecomeActive:", ...). Returns false
  // when the delegate has no such action.
  bool performAction(std::string_view selector);
  static bool respondsToAction(std::string_view selector);

  // Key-value coding of "helperIsInstalled" (a Boolean) and
  // "currentHelperAuthData" (a byte buffer or nil).
  KeyValue valueForKey(std::string_view key) const override;
  bool setValueForKey(const KeyValue& value, std::string_view key) override;
  bool hasKey(std::string_view key) const override;
  void addObserverForKey(std::string_view key, Observer observer) override;

  // The watch timer, for inspection.
  const std::shared_ptr<Timer>& watchTimer() const { return timer2; }

  // Property accessors (message dispatch).
  bool helperIsInstalled() const { return helperIsInstalled_; }
  const std::optional<XpcData>& currentHelperAuthData() const { return currentHelperAuthData_; }

 private:
  // Start-up and menu.
  void setStatusIcon(std::int64_t n);
  void buildStatusMenu();
  void runStartupSequence();

  // Arming cycle.
  void armWatch();
  void disarmWatch();
  void watchTick(Timer& timer);
  void checkLid();
  void lockScreen();
  void screenLockLog();
  void screenUnlockDisarm();
  void registerScreenObservers();

  // Output log.
  void appendToLog(std::string message);
  void logHelperText(std::string text);

  // Helper connection.
  std::shared_ptr<XpcConnection> helperConnection();
  std::shared_ptr<HelperProtocol> helperProxy(std::function<void(bool)> completion);
  void connectionInvalidated();

  // Command requests.
 public:
  HelperCommandOutcome runHelperCommand(const std::string& argument);

 private:
  struct EmptyAuthorizationData;
  EmptyAuthorizationData makeEmptyAuthorizationData();
  void handlePlainReply(std::int64_t exitCode);
  void handleAuthorizedReply(std::int64_t exitCode, const XpcData& sentData);

  // Installation and version check.
  void runHelperStartupSteps();
  void checkHelperStatus();
  void showHelperStatus(bool installed);
  // False, with `error` set when the blessing call gave one, when the helper
  // was not blessed. Throws HelperAuthorizationError (the authorization
  // layer's error) when no authorization can be made.
  bool installHelper(const std::string& rightName, std::optional<PlatformError>* error);
  void runInstallStep();
  void setHelperIsInstalledByKey(bool installed);

  Platform& platform_;

  // State, in the order the application declares it.
  std::shared_ptr<Timer> timer2;
  Button* signOut = nullptr;  // no caller in the application: no control is connected to it
  bool isTimerRunning = false;  // no caller in the application reads it; the arming cycle toggles it
  std::shared_ptr<XpcConnection> currentHelperConnection;
  std::optional<XpcData> currentHelperAuthData_;
  const std::string currentHelperAuthDataKeyPath;
  bool helperIsInstalled_ = false;
  const std::string helperIsInstalledKeyPath;
  std::shared_ptr<StatusItem> statusItem;

  // Observers of the two key-value properties.
  std::vector<std::pair<std::string, Observer>> keyValueObservers_;
  // The screen observers, registered once and kept.
  std::vector<DistributedNotificationCenter::ObserverHandle> screenObservers_;
};

}  // namespace brannic
