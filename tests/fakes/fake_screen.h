// The distributed notification centre and the dynamic loader, as far as the
// screen lock uses them.
#pragma once

#include <map>
#include <string>

#include "platform/dynamic_loader.h"
#include "platform/notification_center.h"
#include "platform/run_loop.h"

namespace brannic::testing {

// Delivers each posting through the main operation queue, as the platform
// does for observers registered with the main queue.
class FakeNotificationCenter final : public DistributedNotificationCenter {
 public:
  explicit FakeNotificationCenter(RunLoop& runLoop) : runLoop_(runLoop) {}
  ObserverHandle addObserverForName(const std::string& name, Block block) override {
    observers_[++lastHandle_] = {name, std::move(block)};
    return lastHandle_;
  }
  void removeObserver(ObserverHandle observer) override { observers_.erase(observer); }
  void postNotificationName(const std::string& name) override {
    for (const auto& [handle, observer] : observers_) {
      if (observer.first != name) continue;
      runLoop_.addOperationToMainQueue([this, handle = handle, name] {
        auto found = observers_.find(handle);
        if (found != observers_.end()) found->second.second(name);
      });
    }
  }
  std::size_t observerCount(const std::string& name) const {
    std::size_t count = 0;
    for (const auto& entry : observers_) count += entry.second.first == name ? 1 : 0;
    return count;
  }

 private:
  RunLoop& runLoop_;
  std::map<ObserverHandle, std::pair<std::string, Block>> observers_;
  ObserverHandle lastHandle_ = 0;
};

// Knows one library with one entry point that counts its calls.
class FakeDynamicLoader final : public DynamicLoader {
 public:
  LibraryHandle open(const std::string& path, int mode) override {
    ++opens;
    lastMode = mode;
    if (!libraryPresent || path != libraryPath) return nullptr;
    return this;
  }
  EntryPoint lookUp(LibraryHandle handle, const std::string& symbol) override {
    if (handle != this || !entryPresent || symbol != entryName) return {};
    return [this] { ++locks; };
  }
  std::string libraryPath = "/System/Library/PrivateFrameworks/login.framework/Versions/Current/login";
  std::string entryName = "SACLockScreenImmediate";
  bool libraryPresent = true;
  bool entryPresent = true;
  int opens = 0;
  int lastMode = -1;
  int locks = 0;
};

}  // namespace brannic::testing
