// A gate that threads wait at until the test opens it: orders a step on
// another thread after an event the test chooses, instead of after a delay
// that a slow machine may outlast.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

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
  // Waits until the gate is open, at most `limit` (so that a test that never
  // opens it fails instead of hanging). Returns whether it opened.
  bool pass(std::chrono::seconds limit = std::chrono::seconds(10)) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [this] { return open_; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool open_ = false;
};

}  // namespace brannic::testing
