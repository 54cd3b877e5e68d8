// The simulated screen. Locking it, by the application or the owner, posts
// "com.apple.screenIsLocked"; the owner unlocking it posts
// "com.apple.screenIsUnlocked". As on the platform, only a change posts:
// locking a locked screen or unlocking an unlocked one posts nothing.
#pragma once

#include "platform/notification_center.h"
#include "platform/sim/base/transcript.h"

namespace brannic::sim {

inline constexpr const char* kScreenIsLocked = "com.apple.screenIsLocked";
inline constexpr const char* kScreenIsUnlocked = "com.apple.screenIsUnlocked";

class SimScreen final {
 public:
  SimScreen(DistributedNotificationCenter& center, Transcript* transcript)
      : center_(center), transcript_(transcript) {}

  // The owner's side. Each returns whether the screen changed.
  bool ownerLocks();
  bool ownerUnlocks();
  bool isLocked() const { return locked_; }

  // The application's side: what the login framework's entry point does.
  void lockImmediately();

 private:
  DistributedNotificationCenter& center_;
  Transcript* transcript_;
  bool locked_ = false;
};

}  // namespace brannic::sim
