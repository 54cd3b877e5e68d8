// The main run loop and the queues it serves (Foundation + Dispatch).
#pragma once

#include <functional>
#include <memory>

namespace brannic {

// A repeating timer on the main run loop (NSTimer).
class Timer {
 public:
  virtual ~Timer() = default;
  // No further firings; the run loop lets go of the timer. Invalidating an
  // invalid timer does nothing.
  virtual void invalidate() = 0;
  virtual bool isValid() const = 0;
};

class RunLoop {
 public:
  using Block = std::function<void()>;
  virtual ~RunLoop() = default;

  // [[NSOperationQueue mainQueue] addOperationWithBlock:]. Safe from any
  // thread; blocks run on the main thread one at a time, in posting order.
  virtual void addOperationToMainQueue(Block block) = 0;

  // dispatch_async(dispatch_get_main_queue(), block). Safe from any thread.
  // Shares one FIFO order with the main operation queue on the main thread.
  virtual void dispatchAsyncMain(Block block) = 0;

  // dispatch_async(dispatch_get_global_queue(QOS_CLASS_DEFAULT, 0), block).
  virtual void dispatchAsyncGlobal(Block block) = 0;

  // [NSTimer timerWithTimeInterval:interval repeats:YES block:], added to the
  // main run loop in its common modes, so it fires while a menu is open too.
  // The first firing comes `interval` seconds after scheduling. The run loop
  // holds the timer while it is valid, and while it is valid the process is
  // kept out of App Nap: its firings come on time even when the application
  // is hidden.
  // REQUIRES: called on the main thread.
  virtual std::shared_ptr<Timer> scheduleRepeatingTimer(
      double interval, std::function<void(Timer&)> block) = 0;

  // [NSThread sleepForTimeInterval:] on the calling thread.
  virtual void sleepForTimeInterval(double seconds) = 0;
};

}  // namespace brannic
