// A gate that threads wait at until the test opens it: orders a step on
// another thread after an event the test chooses, instead of after a delay
// that a slow machine may outlast.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "tests/support/event_timeout.h"

namespace brannic::testing {

class Gate {
 public:
  void open() {
    {
      std::lock_guard lock(mutex_);
      open_ = true;
    }
    changed_.notify_all();
  }
  // Threads that come later wait again.
  void close() {
    std::lock_guard lock(mutex_);
    open_ = false;
  }
  // Waits until the gate is open, for a bounded time (so that a test that
  // never opens it fails instead of hanging). Returns whether it opened.
  bool pass() {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, kEventTimeout, [this] { return open_; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool open_ = false;
};

}  // namespace brannic::testing
