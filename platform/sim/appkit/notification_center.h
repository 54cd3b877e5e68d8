// The distributed notification centre: observers registered for the main
// queue, each posting reaching each matching observer through the main
// operation queue.
#pragma once

#include <map>
#include <mutex>
#include <string>

#include "platform/notification_center.h"
#include "platform/run_loop.h"

namespace brannic::sim {

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

}  // namespace brannic::sim
