// The main run loop and its queues on macOS: NSOperationQueue's main queue,
// Dispatch's main and global queues, and NSTimer on the main run loop.
#pragma once

#include "platform/run_loop.h"

namespace brannic::mac {

class MacRunLoop final : public RunLoop {
 public:
  void addOperationToMainQueue(Block block) override;
  void dispatchAsyncMain(Block block) override;
  void dispatchAsyncGlobal(Block block) override;
  std::shared_ptr<Timer> scheduleRepeatingTimer(double interval, std::function<void(Timer&)> block) override;
  void sleepForTimeInterval(double seconds) override;
};

}  // namespace brannic::mac
