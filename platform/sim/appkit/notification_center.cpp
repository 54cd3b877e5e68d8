#include "platform/sim/appkit/notification_center.h"

namespace brannic::sim {

DistributedNotificationCenter::ObserverHandle SimNotificationCenter::addObserverForName(const std::string& name,
                                                                                        Block block) {
  std::lock_guard lock(mutex_);
  observers_[++lastHandle_] = Observer{name, std::move(block)};
  return lastHandle_;
}

void SimNotificationCenter::removeObserver(ObserverHandle observer) {
  std::lock_guard lock(mutex_);
  observers_.erase(observer);
}

void SimNotificationCenter::postNotificationName(const std::string& name) {
  std::lock_guard lock(mutex_);
  for (const auto& [handle, observer] : observers_) {
    if (observer.name != name) continue;
    // Looked up again when the operation runs: an observer removed in the
    // meantime receives nothing. The centre outlives the run loop's work.
    runLoop_.addOperationToMainQueue([this, handle = handle, name] {
      Block block;
      {
        std::lock_guard innerLock(mutex_);
        auto found = observers_.find(handle);
        if (found == observers_.end()) return;
        block = found->second.block;
      }
      block(name);
    });
  }
}

std::size_t SimNotificationCenter::observerCount() const {
  std::lock_guard lock(mutex_);
  return observers_.size();
}

}  // namespace brannic::sim
