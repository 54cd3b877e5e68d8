#include "platform/sim/appkit/screen.h"

namespace brannic::sim {

bool SimScreen::ownerLocks() {
  if (locked_) return false;
  locked_ = true;
  center_.postNotificationName(kScreenIsLocked);
  return true;
}

bool SimScreen::ownerUnlocks() {
  if (!locked_) return false;
  locked_ = false;
  center_.postNotificationName(kScreenIsUnlocked);
  return true;
}

void SimScreen::lockImmediately() {
  // The application's call shows every time; the notification only when
  // the screen was unlocked.
  if (transcript_ != nullptr) transcript_->emit("screen", "locked");
  if (locked_) return;
  locked_ = true;
  center_.postNotificationName(kScreenIsLocked);
}

}  // namespace brannic::sim
