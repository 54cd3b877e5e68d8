// A run loop that a test steps by hand: one FIFO for both main queues,
// repeating timers on a virtual clock, and a global queue that runs only
// when the test says so.
#pragma once

#include <algorithm>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/run_loop.h"

namespace brannic::testing {

class FakeRunLoop final : public RunLoop {
 public:
  class FakeTimer final : public Timer {
   public:
    FakeTimer(double interval, double firstFire, std::function<void(Timer&)> block)
        : interval(interval), nextFire(firstFire), block(std::move(block)) {}
    void invalidate() override {
      valid = false;
    }
    bool isValid() const override { return valid; }
    double interval;
    double nextFire;
    std::function<void(Timer&)> block;
    bool valid = true;
  };

  void addOperationToMainQueue(Block block) override { post(std::move(block)); }
  void dispatchAsyncMain(Block block) override { post(std::move(block)); }
  void dispatchAsyncGlobal(Block block) override {
    std::lock_guard lock(mutex_);
    global_.push_back(std::move(block));
  }
  std::shared_ptr<Timer> scheduleRepeatingTimer(double interval, std::function<void(Timer&)> block) override {
    auto timer = std::make_shared<FakeTimer>(interval, now_ + interval, std::move(block));
    timers_.push_back(timer);
    return timer;
  }
  void sleepForTimeInterval(double seconds) override { slept += seconds; }

  // Runs queued main-queue work, including work queued meanwhile.
  // Returns how many blocks ran.
  int runUntilIdle() {
    int ran = 0;
    for (;;) {
      Block next;
      {
        std::lock_guard lock(mutex_);
        if (main_.empty()) return ran;
        next = std::move(main_.front());
        main_.pop_front();
      }
      next();
      ++ran;
    }
  }

  // Virtual time passes: due timers fire in order, queued work runs between.
  void advance(double seconds) {
    const double end = now_ + seconds;
    runUntilIdle();
    for (;;) {
      std::erase_if(timers_, [](const auto& t) { return !t->valid; });
      auto due = std::min_element(timers_.begin(), timers_.end(),
                                  [](const auto& a, const auto& b) { return a->nextFire < b->nextFire; });
      if (due == timers_.end() || (*due)->nextFire > end + 1e-9) break;
      auto timer = *due;  // keeps the timer alive while its block runs
      now_ = timer->nextFire;
      timer->nextFire += timer->interval;
      timer->block(*timer);
      runUntilIdle();
    }
    now_ = end;
  }

  // Runs the work given to the global queue, on the calling thread.
  void runGlobalQueue() {
    std::vector<Block> work;
    {
      std::lock_guard lock(mutex_);
      work.swap(global_);
    }
    for (auto& block : work) block();
  }

  double now() const { return now_; }
  std::size_t pendingMainWork() const {
    std::lock_guard lock(mutex_);
    return main_.size();
  }
  std::size_t validTimers() const {
    return static_cast<std::size_t>(std::count_if(timers_.begin(), timers_.end(), [](const auto& t) { return t->valid; }));
  }

  double slept = 0;

 private:
  void post(Block block) {
    std::lock_guard lock(mutex_);
    main_.push_back(std::move(block));
  }
  mutable std::mutex mutex_;
  std::deque<Block> main_;
  std::vector<Block> global_;
  std::vector<std::shared_ptr<FakeTimer>> timers_;
  double now_ = 0;
};

}  // namespace brannic::testing
