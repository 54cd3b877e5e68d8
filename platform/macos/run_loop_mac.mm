#include "platform/macos/run_loop_mac.h"

#import <Foundation/Foundation.h>

namespace brannic::mac {

namespace {

// Ownership: while the timer is valid the run loop holds the NSTimer, the
// NSTimer holds its block and the block holds this object; the object itself
// only watches the NSTimer. So a valid timer keeps firing even when its user
// lets go of it, and an invalidated one frees everything.
class MacTimer final : public Timer {
 public:
  explicit MacTimer(std::function<void(Timer&)> block) : block_(std::move(block)) {}

  void invalidate() override { [timer_ invalidate]; }
  bool isValid() const override {
    NSTimer* timer = timer_;
    return timer != nil && timer.valid;
  }

  void attach(NSTimer* timer) { timer_ = timer; }
  void fire() { block_(*this); }

 private:
  std::function<void(Timer&)> block_;
  __weak NSTimer* timer_ = nil;
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
  NSTimer* scheduled = [NSTimer scheduledTimerWithTimeInterval:interval
                                                       repeats:YES
                                                         block:^(NSTimer*) {
                                                           // A firing that invalidates its own timer may
                                                           // free the block; the object stays until it
                                                           // returns.
                                                           const std::shared_ptr<MacTimer> firing = timer;
                                                           firing->fire();
                                                         }];
  // Scheduling happens on the main thread, so no firing can come before this.
  timer->attach(scheduled);
  return timer;
}

void MacRunLoop::sleepForTimeInterval(double seconds) { [NSThread sleepForTimeInterval:seconds]; }

}  // namespace brannic::mac
