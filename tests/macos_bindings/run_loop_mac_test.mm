// The run-loop binding on the real main run loop: the main operation queue
// and the main dispatch queue are one queue in posting order, whoever posts,
// and a timer lives as long as it is valid, not as long as its user holds it.
#include <gtest/gtest.h>

#import <Foundation/Foundation.h>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "platform/macos/run_loop_mac.h"

namespace brannic {
namespace {

// Runs the main run loop (these tests run on the main thread) until `done`,
// for at most a while, so a lost block fails the test instead of hanging it.
bool runMainRunLoopUntil(const std::function<bool()>& done) {
  NSDate* deadline = [NSDate dateWithTimeIntervalSinceNow:20];
  while (!done() && deadline.timeIntervalSinceNow > 0) {
    @autoreleasepool {
      [NSRunLoop.mainRunLoop runMode:NSDefaultRunLoopMode beforeDate:[NSDate dateWithTimeIntervalSinceNow:0.05]];
    }
  }
  return done();
}

TEST(RunLoopBinding, MainQueuesRunBlocksOnTheMainThreadInPostingOrder) {
  ASSERT_TRUE(NSThread.isMainThread);
  struct Ran {
    int index;
    bool onMainThread;
    bool operator==(const Ran&) const = default;
  };
  // Which queue each block goes to: runs of either kind, and alternations.
  const std::vector<bool> toOperationQueue = {true, true, false, true, false, false, false, true, false, true};
  std::vector<Ran> expected;
  for (int i = 0; i < static_cast<int>(toOperationQueue.size()); ++i) expected.push_back({i, true});

  const struct {
    const char* postedFrom;
    bool fromGlobalQueue;
  } cases[] = {{"the main thread", false}, {"a global queue", true}};
  // Shared with the global queue's block, which may still be returning
  // when the last block has run.
  const auto runLoop = std::make_shared<mac::MacRunLoop>();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.postedFrom);
    // Written on the main thread only, by the blocks.
    auto ran = std::make_shared<std::vector<Ran>>();
    auto postAll = [runLoop, ran, toOperationQueue] {
      for (int i = 0; i < static_cast<int>(toOperationQueue.size()); ++i) {
        auto record = [ran, i] { ran->push_back({i, NSThread.isMainThread == YES}); };
        if (toOperationQueue[i])
          runLoop->addOperationToMainQueue(record);
        else
          runLoop->dispatchAsyncMain(record);
      }
    };
    if (c.fromGlobalQueue)
      runLoop->dispatchAsyncGlobal(postAll);
    else
      postAll();
    EXPECT_TRUE(runMainRunLoopUntil([&] { return ran->size() >= expected.size(); }));
    EXPECT_EQ(*ran, expected);
  }
}

TEST(RunLoopBinding, GlobalQueueRunsBlocksOffTheMainThread) {
  const auto runLoop = std::make_shared<mac::MacRunLoop>();
  auto ranOnMainThread = std::make_shared<std::optional<bool>>();
  runLoop->dispatchAsyncGlobal([runLoop, ranOnMainThread] {
    const bool onMainThread = NSThread.isMainThread == YES;
    runLoop->dispatchAsyncMain([ranOnMainThread, onMainThread] { *ranOnMainThread = onMainThread; });
  });
  ASSERT_TRUE(runMainRunLoopUntil([&] { return ranOnMainThread->has_value(); }));
  EXPECT_FALSE(**ranOnMainThread);
}

// The user lets go of the timer at once; the run loop keeps it firing until
// it invalidates itself on its third firing, and then lets it go.
TEST(RunLoopBinding, TimerFiresUntilItIsInvalidated) {
  mac::MacRunLoop runLoop;
  int firings = 0;
  std::weak_ptr<Timer> watched;
  @autoreleasepool {
    const std::shared_ptr<Timer> timer = runLoop.scheduleRepeatingTimer(0.01, [&firings](Timer& firing) {
      if (++firings == 3) firing.invalidate();
    });
    watched = timer;
    EXPECT_TRUE(timer->isValid());
  }
  EXPECT_TRUE(runMainRunLoopUntil([&] { return firings >= 3; }));
  // Long enough for several more firings, were the timer still scheduled.
  @autoreleasepool {
    [NSRunLoop.mainRunLoop runMode:NSDefaultRunLoopMode beforeDate:[NSDate dateWithTimeIntervalSinceNow:0.1]];
  }
  EXPECT_EQ(firings, 3);
  EXPECT_TRUE(runMainRunLoopUntil([&] { return watched.expired(); }));
}

}  // namespace
}  // namespace brannic
