// The distributed notification centre (NSDistributedNotificationCenter).
#pragma once

#include <memory>

#include "platform/notification_center.h"

namespace brannic::mac {

// Main thread only, as its users are.
class MacDistributedNotificationCenter final : public DistributedNotificationCenter {
 public:
  MacDistributedNotificationCenter();
  ~MacDistributedNotificationCenter() override;
  MacDistributedNotificationCenter(const MacDistributedNotificationCenter&) = delete;
  MacDistributedNotificationCenter& operator=(const MacDistributedNotificationCenter&) = delete;

  ObserverHandle addObserverForName(const std::string& name, Block block) override;
  void removeObserver(ObserverHandle observer) override;
  void postNotificationName(const std::string& name) override;

 private:
  struct Observers;
  std::unique_ptr<Observers> observers_;
};

}  // namespace brannic::mac
