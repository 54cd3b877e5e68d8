// The simulated screen and what reaches it: the distributed notification
// centre and the dynamic loader that finds the login framework's lock entry
// point.
#pragma once

#include <map>
#include <mutex>
#include <string>

#include "platform/dynamic_loader.h"
#include "platform/notification_center.h"
#include "platform/run_loop.h"
#include "platform/sim/base/transcript.h"

namespace brannic::sim {

// Observers registered for the main queue: each posting reaches each
// matching observer through the main operation queue.
class SimNotificationCenter final : public DistributedNotificationCenter {
 public:
  explicit SimNotificationCenter(RunLoop& runLoop) : runLoop_(runLoop) {}
  ObserverHandle addObserverForName(const std::string& name, Block block) override;
  void removeObserver(ObserverHandle observer) override;
  void postNotificationName(const std::string& name) override;
  std::size_t observerCount() const;

 private:
  struct Observer {
    std::string name;
    Block block;
  };
  RunLoop& runLoop_;
  mutable std::mutex mutex_;
  std::map<ObserverHandle, Observer> observers_;
  ObserverHandle lastHandle_ = 0;
};

inline constexpr const char* kLoginFrameworkPath =
    "/System/Library/PrivateFrameworks/login.framework/Versions/Current/login";
inline constexpr const char* kLockScreenEntryPoint = "SACLockScreenImmediate";
inline constexpr const char* kScreenIsLocked = "com.apple.screenIsLocked";
inline constexpr const char* kScreenIsUnlocked = "com.apple.screenIsUnlocked";

enum class LockLibrary { present, absent, noEntry };

// The screen. Locking it, by the application or the owner, posts
// "com.apple.screenIsLocked"; the owner unlocking it posts
// "com.apple.screenIsUnlocked".
class SimScreen final : public DynamicLoader {
 public:
  SimScreen(DistributedNotificationCenter& center, Transcript* transcript)
      : center_(center), transcript_(transcript) {}

  // The owner's side.
  void ownerLocks();
  void ownerUnlocks();
  void setLockLibrary(LockLibrary library) { library_ = library; }
  bool isLocked() const { return locked_; }

  // DynamicLoader: knows only the login framework.
  LibraryHandle open(const std::string& path, int mode) override;
  EntryPoint lookUp(LibraryHandle handle, const std::string& symbol) override;

 private:
  void lockImmediately();  // the login framework's entry point
  DistributedNotificationCenter& center_;
  Transcript* transcript_;
  LockLibrary library_ = LockLibrary::present;
  bool locked_ = false;
};

}  // namespace brannic::sim
