// The simulated main run loop on its virtual clock: one FIFO for both main
// queues, repeating timers, and settling of work outside the main thread.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/sim/run_loop/run_loop.h"

namespace brannic::sim {
namespace {

using namespace std::chrono_literals;

class RunLoopTest : public ::testing::Test {
 protected:
  SimRunLoop loop{ClockKind::virtualClock};
  std::vector<std::string> events;

  RunLoop::Block record(std::string event) {
    return [this, event = std::move(event)] { events.push_back(event); };
  }
};

TEST_F(RunLoopTest, BothMainQueuesShareOneFifoOrder) {
  loop.addOperationToMainQueue(record("operation 1"));
  loop.dispatchAsyncMain(record("dispatch 1"));
  loop.addOperationToMainQueue(record("operation 2"));
  loop.dispatchAsyncMain(record("dispatch 2"));
  EXPECT_TRUE(events.empty()) << "posting runs nothing";
  loop.runUntilIdle();
  EXPECT_EQ(events, (std::vector<std::string>{"operation 1", "dispatch 1", "operation 2", "dispatch 2"}));
}

// The output log: a message from the helper hops through the operation
// queue, then the dispatch queue; a direct append from the main thread,
// posted while the first hop is still queued, is shown before it.
TEST_F(RunLoopTest, TwoHopEntryComesAfterADirectAppendPostedMeanwhile) {
  loop.addOperationToMainQueue([this] { loop.dispatchAsyncMain(record("from helper")); });
  loop.dispatchAsyncMain(record("direct"));
  loop.runUntilIdle();
  EXPECT_EQ(events, (std::vector<std::string>{"direct", "from helper"}));
}

TEST_F(RunLoopTest, TimerFirstFiresOneIntervalAfterSchedulingThenRepeats) {
  loop.advance(0.25);  // time passes before the timer exists
  std::vector<double> firings;
  auto timer = loop.scheduleRepeatingTimer(0.5, [&](Timer&) { firings.push_back(loop.now()); });
  loop.advance(0.49);
  EXPECT_TRUE(firings.empty());
  loop.runUntilIdle();
  EXPECT_TRUE(firings.empty()) << "runUntilIdle moves no virtual time";
  loop.advance(0.01);
  EXPECT_EQ(firings, (std::vector<double>{0.75}));
  loop.advance(1.0);
  EXPECT_EQ(firings, (std::vector<double>{0.75, 1.25, 1.75}));
  EXPECT_DOUBLE_EQ(loop.now(), 1.75);
  EXPECT_TRUE(timer->isValid());
}

TEST_F(RunLoopTest, ManyShortFiringsDoNotDrift) {
  int firings = 0;
  auto timer = loop.scheduleRepeatingTimer(0.1, [&](Timer&) { ++firings; });
  for (int i = 0; i < 100; ++i) loop.advance(0.1);
  EXPECT_EQ(firings, 100);
}

TEST_F(RunLoopTest, DueTimersFireInOrderOfDueTimeWithQueuedWorkBetween) {
  auto slow = loop.scheduleRepeatingTimer(0.3, [this](Timer&) { events.push_back("slow"); });
  auto fast = loop.scheduleRepeatingTimer(0.2, [this](Timer&) {
    events.push_back("fast");
    loop.addOperationToMainQueue(record("after fast"));
  });
  auto tied = loop.scheduleRepeatingTimer(0.3, [this](Timer&) { events.push_back("tied"); });
  loop.advance(0.6);
  // 0.2 fast, 0.3 slow and tied (scheduling order), 0.4 fast, 0.6 fast, slow and tied... by due time:
  // at 0.6 the 0.2-timer's third firing and the 0.3-timers' second firing tie; scheduling order decides.
  EXPECT_EQ(events, (std::vector<std::string>{"fast", "after fast", "slow", "tied", "fast", "after fast",
                                              "slow", "fast", "after fast", "tied"}));
}

TEST_F(RunLoopTest, InvalidatingInsideTheBlockStopsFiringsAndReleasesTheBlock) {
  auto witness = std::make_shared<int>(0);
  std::weak_ptr<int> watch = witness;
  int firings = 0;
  std::weak_ptr<Timer> held;
  {
    auto timer = loop.scheduleRepeatingTimer(0.5, [&firings, witness](Timer& self) {
      ++firings;
      if (firings == 2) self.invalidate();
    });
    held = timer;
  }
  witness.reset();
  EXPECT_FALSE(held.expired()) << "the run loop holds a valid timer the application let go of";
  loop.advance(5);
  EXPECT_EQ(firings, 2);
  EXPECT_TRUE(watch.expired()) << "an invalidated timer lets go of its block";
  EXPECT_TRUE(held.expired()) << "and the run loop lets go of the timer";
  EXPECT_EQ(loop.validTimerCount(), 0u);
}

TEST_F(RunLoopTest, InvalidatingFromOutsideStopsLaterFiringsAndIsIdempotent) {
  int firings = 0;
  auto timer = loop.scheduleRepeatingTimer(0.5, [&](Timer&) { ++firings; });
  loop.advance(0.5);
  timer->invalidate();
  timer->invalidate();
  EXPECT_FALSE(timer->isValid());
  loop.advance(2);
  EXPECT_EQ(firings, 1);
}

TEST_F(RunLoopTest, AnIntervalOfZeroIsClampedInsteadOfFiringForever) {
  int firings = 0;
  auto timer = loop.scheduleRepeatingTimer(0, [&](Timer&) { ++firings; });
  loop.advance(0.001);
  EXPECT_EQ(firings, 10);
}

TEST_F(RunLoopTest, AdvanceRunsTheGivenStepBeforeEachFiringAndAtTheEnd) {
  auto timer = loop.scheduleRepeatingTimer(0.5, [this](Timer&) { events.push_back("tick"); });
  loop.advance(1.2, [this] {
    events.push_back("step");
    loop.runUntilIdle();
  });
  EXPECT_EQ(events, (std::vector<std::string>{"step", "tick", "step", "tick", "step"}));
  EXPECT_DOUBLE_EQ(loop.now(), 1.2);
}

TEST_F(RunLoopTest, SettleReturnsAtOnceWhenNothingIsPending) {
  loop.addOperationToMainQueue(record("queued"));
  EXPECT_TRUE(loop.settle(5000ms).empty());
  EXPECT_EQ(events, (std::vector<std::string>{"queued"}));
}

TEST_F(RunLoopTest, SettleGivesUpOnWorkThatDoesNotEndAndReportsItOnce) {
  ExternalWork first = loop.beginExternalWork("com.example.one");
  ExternalWork second = loop.beginExternalWork("com.example.one");
  ExternalWork third = loop.beginExternalWork("com.example.two");
  third.end();
  EXPECT_EQ(loop.settle(10ms), (std::vector<std::string>{"com.example.one"}));
  EXPECT_TRUE(loop.settle(10ms).empty()) << "work given up on is not waited for again";
  ExternalWork fresh = loop.beginExternalWork("com.example.three");
  EXPECT_EQ(loop.settle(10ms), (std::vector<std::string>{"com.example.three"}));
}

TEST_F(RunLoopTest, ExternalWorkEndsWhenItsTokenGoesOrMovesOn) {
  {
    ExternalWork work = loop.beginExternalWork("scoped");
    ExternalWork moved = std::move(work);
    work.end();  // the moved-from token ends nothing
    EXPECT_EQ(loop.settle(10ms), (std::vector<std::string>{"scoped"}));
  }
  ExternalWork replaced = loop.beginExternalWork("replaced");
  replaced = loop.beginExternalWork("replacement");
  EXPECT_EQ(loop.settle(10ms), (std::vector<std::string>{"replacement"}));
}

TEST(RunLoopLifetimeTest, ExternalWorkMayEndAfterTheLoopIsGone) {
  ExternalWork work;
  {
    SimRunLoop loop(ClockKind::virtualClock);
    work = loop.beginExternalWork("outlives the loop");
  }
  work.end();
}

}  // namespace
}  // namespace brannic::sim
