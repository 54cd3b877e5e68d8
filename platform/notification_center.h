// The distributed notification centre (NSDistributedNotificationCenter).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace brannic {

class DistributedNotificationCenter {
 public:
  using ObserverHandle = std::uint64_t;
  using Block = std::function<void(const std::string& name)>;
  virtual ~DistributedNotificationCenter() = default;
  // addObserverForName:name object:nil queue:[NSOperationQueue mainQueue]
  // usingBlock:. The block runs on the main thread, through the main
  // operation queue, once for every posting of `name` by any sender. Postings
  // are delivered at once even while the application is not active.
  virtual ObserverHandle addObserverForName(const std::string& name, Block block) = 0;
  virtual void removeObserver(ObserverHandle observer) = 0;
  // postNotificationName:object:nil.
  virtual void postNotificationName(const std::string& name) = 0;
};

}  // namespace brannic
