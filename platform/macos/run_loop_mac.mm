#include "platform/macos/run_loop_mac.h"

#import <Foundation/Foundation.h>

namespace brannic::mac {

namespace {

// Ownership: while the timer is valid the run loop holds the NSTimer, the
// NSTimer holds its block and the block holds this object; the object itself
// only watches the NSTimer. So a valid timer keeps firing even when its user
// lets go of it, and an invalidated one frees everything.
//
// A valid timer also holds an activity that keeps the process out of App
// Nap: the repeating timer is the armed watch, which must probe the lid every
// half second precisely while the application is hidden and the display is
// off, when a napping process's timers are delayed by seconds. Idle system
// sleep stays allowed (the helper decides about sleep).
class MacTimer final : public Timer {
 public:
  explicit MacTimer(std::function<void(Timer&)> block) : block_(std::move(block)) {}
  ~MacTimer() override { endActivity(); }

  void invalidate() override {
    [timer_ invalidate];
    endActivity();
  }
  bool isValid() const override {
    NSTimer* timer = timer_;
    return timer != nil && timer.valid;
  }

  void attach(NSTimer* timer) {
    timer_ = timer;
    activity_ = [[NSProcessInfo processInfo]
        beginActivityWithOptions:NSActivityLatencyCritical | NSActivityUserInitiatedAllowingIdleSystemSleep
                          reason:@"Watching the lid while armed"];
  }
  void fire() { block_(*this); }

 private:
  void endActivity() {
    if (activity_ == nil) return;
    [[NSProcessInfo processInfo] endActivity:activity_];
    activity_ = nil;
  }

  std::function<void(Timer&)> block_;
  __weak NSTimer* timer_ = nil;
  id<NSObject> activity_ = nil;
};

}  // namespace

void MacRunLoop::addOperationToMainQueue(Block block) {
  [[NSOperationQueue mainQueue] addOperationWithBlock:^{
    block();
  }];
}

void MacRunLoop::dispatchAsyncMain(Block block) {
  dispatch_async(dispatch_get_main_queue(), ^{
    block();
  });
}

void MacRunLoop::dispatchAsyncGlobal(Block block) {
  dispatch_async(dispatch_get_global_queue(QOS_CLASS_DEFAULT, 0), ^{
    block();
  });
}

std::shared_ptr<Timer> MacRunLoop::scheduleRepeatingTimer(double interval,
                                                          std::function<void(Timer&)> block) {
  auto timer = std::make_shared<MacTimer>(std::move(block));
  NSTimer* scheduled = [NSTimer timerWithTimeInterval:interval
                                              repeats:YES
                                                block:^(NSTimer*) {
                                                  // A firing that invalidates its own timer may free
                                                  // the block; the object stays until it returns.
                                                  const std::shared_ptr<MacTimer> firing = timer;
                                                  firing->fire();
                                                }];
  // The common modes: the watch fires on while the status menu is open (its
  // event-tracking mode) as well as in the default mode.
  [[NSRunLoop mainRunLoop] addTimer:scheduled forMode:NSRunLoopCommonModes];
  // Scheduling happens on the main thread, so no firing can come before this.
  timer->attach(scheduled);
  return timer;
}

void MacRunLoop::sleepForTimeInterval(double seconds) { [NSThread sleepForTimeInterval:seconds]; }

}  // namespace brannic::mac
