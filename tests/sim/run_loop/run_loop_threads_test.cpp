// The simulated run loop with other threads: posting from anywhere, the
// global queue, settling, and the real clock.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/sim/run_loop/run_loop.h"
#include "tests/support/gate.h"

namespace brannic::sim {
namespace {

using namespace std::chrono_literals;

TEST(RunLoopThreadsTest, WorkPostedFromManyThreadsAllRunsOnTheMainThreadInEachThreadsOrder) {
  SimRunLoop loop(ClockKind::virtualClock);
  const auto mainThread = std::this_thread::get_id();
  constexpr int kThreads = 4;
  constexpr int kPerThread = 500;
  std::map<int, std::vector<int>> seen;  // main thread only
  bool allOnMain = true;
  std::vector<std::thread> posters;
  for (int t = 0; t < kThreads; ++t) {
    posters.emplace_back([&, t] {
      for (int i = 0; i < kPerThread; ++i) {
        auto block = [&, t, i] {
          allOnMain = allOnMain && std::this_thread::get_id() == mainThread;
          seen[t].push_back(i);
        };
        if (i % 2 == 0) {
          loop.addOperationToMainQueue(block);
        } else {
          loop.dispatchAsyncMain(block);
        }
      }
    });
  }
  for (auto& poster : posters) poster.join();
  loop.runUntilIdle();
  EXPECT_TRUE(allOnMain);
  for (int t = 0; t < kThreads; ++t) {
    ASSERT_EQ(seen[t].size(), static_cast<std::size_t>(kPerThread));
    for (int i = 0; i < kPerThread; ++i) ASSERT_EQ(seen[t][i], i);
  }
}

// Another thread's post joins the queue when the main thread next posts,
// on either clock.
TEST(RunLoopThreadsTest, PostsFromOtherThreadsJoinTheQueueBeforeTheMainThreadPosts) {
  for (const auto clock : {ClockKind::virtualClock, ClockKind::realClock}) {
    SimRunLoop loop(clock);
    std::vector<std::string> events;
    loop.addOperationToMainQueue([&] {
      std::thread other([&] { loop.dispatchAsyncMain([&] { events.push_back("other thread"); }); });
      other.join();
      loop.dispatchAsyncMain([&] { events.push_back("main thread"); });
    });
    loop.runUntilIdle();
    EXPECT_EQ(events, (std::vector<std::string>{"other thread", "main thread"}));
  }
}

// On the virtual clock a reply takes no time: a post the main thread makes
// after sending a request comes after what the reply posts, even when the
// reply is made only once that post has begun to wait for it.
TEST(RunLoopThreadsTest, MainThreadPostsWaitForWorkInFlight) {
  SimRunLoop loop(ClockKind::virtualClock);
  std::vector<std::string> events;
  std::thread replier;
  testing::Gate replyMayGo;
  bool sent = false;  // main thread only
  loop.setExternalWorkWaitHook([&](bool waiting) {
    if (waiting && sent) replyMayGo.open();
  });
  loop.addOperationToMainQueue([&] {
    ExternalWork request = loop.beginExternalWork("com.brannic.helper");
    replier = std::thread([&loop, &events, &replyMayGo, request = std::move(request)]() mutable {
      EXPECT_TRUE(replyMayGo.pass()) << "the post did not wait";
      loop.dispatchAsyncMain([&events] { events.push_back("reply logged"); });
      request.end();
    });
    sent = true;
    loop.addOperationToMainQueue([&events] { events.push_back("posted after sending"); });
  });
  EXPECT_TRUE(loop.settle(5000ms).empty());
  replier.join();
  EXPECT_EQ(events, (std::vector<std::string>{"reply logged", "posted after sending"}));
}

TEST(RunLoopThreadsTest, AMainThreadPostGivesUpOnWorkThatDoesNotEndAndSettleReportsIt) {
  SimRunLoop loop(ClockKind::virtualClock);
  loop.setExternalWorkTimeout(20ms);
  ExternalWork stuck = loop.beginExternalWork("com.brannic.helper");
  bool ran = false;
  loop.addOperationToMainQueue([&ran] { ran = true; });
  EXPECT_EQ(loop.settle(5000ms), (std::vector<std::string>{"com.brannic.helper"}));
  EXPECT_TRUE(ran);
  EXPECT_TRUE(loop.settle(5000ms).empty()) << "reported once";
}

// Whether a reply arrives before or after the main thread gets to work, a
// settled run comes out in one order.
TEST(RunLoopThreadsTest, SettledOrderDoesNotDependOnThreadTiming) {
  for (const auto delay : {0ms, 1ms, 20ms}) {
    SimRunLoop loop(ClockKind::virtualClock);
    std::vector<std::string> events;
    loop.addOperationToMainQueue([&] { events.push_back("queued before"); });
    ExternalWork work = loop.beginExternalWork("reply");
    std::thread replier([&loop, &events, delay, work = std::move(work)]() mutable {
      std::this_thread::sleep_for(delay);
      loop.addOperationToMainQueue([&events] { events.push_back("reply handled"); });
      work.end();
    });
    EXPECT_TRUE(loop.settle(5000ms).empty());
    replier.join();
    EXPECT_EQ(events, (std::vector<std::string>{"queued before", "reply handled"})) << delay.count() << " ms";
  }
}

TEST(RunLoopThreadsTest, GlobalQueueRunsOffTheMainThreadAndSettleWaitsForItsHopBack) {
  SimRunLoop loop(ClockKind::virtualClock);
  const auto mainThread = std::this_thread::get_id();
  std::atomic<bool> ranOffMain = false;
  std::vector<std::string> events;
  loop.dispatchAsyncGlobal([&] {
    ranOffMain = std::this_thread::get_id() != mainThread;
    loop.sleepForTimeInterval(0.05);  // real time, on this thread only
    loop.dispatchAsyncMain([&] { events.push_back("back on main"); });
  });
  EXPECT_TRUE(loop.settle(5000ms).empty());
  EXPECT_TRUE(ranOffMain);
  EXPECT_EQ(events, (std::vector<std::string>{"back on main"}));
}

TEST(RunLoopThreadsTest, SettleWaitsForExternalWorkEndingOnAnotherThread) {
  SimRunLoop loop(ClockKind::virtualClock);
  std::vector<std::string> events;
  ExternalWork work = loop.beginExternalWork("com.brannic.helper");
  std::thread replier([&loop, &events, work = std::move(work)]() mutable {
    std::this_thread::sleep_for(30ms);
    loop.addOperationToMainQueue([&events] { events.push_back("reply handled"); });
    work.end();
  });
  const auto labels = loop.settle(5000ms);
  replier.join();
  EXPECT_TRUE(labels.empty());
  EXPECT_EQ(events, (std::vector<std::string>{"reply handled"}));
}

TEST(RunLoopThreadsTest, SettleTimesOutOnWorkThatNeverEnds) {
  SimRunLoop loop(ClockKind::virtualClock);
  ExternalWork stuck = loop.beginExternalWork("com.brannic.helper");
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(loop.settle(100ms), (std::vector<std::string>{"com.brannic.helper"}));
  EXPECT_GE(std::chrono::steady_clock::now() - start, 100ms);
}

// Served with a settle between steps, the real clock gives the order of a
// virtual wait: a reply that takes longer than the timer's interval is still
// handled before the timer fires.
TEST(RunLoopThreadsTest, RealClockServedWithSettlingHandlesRepliesBeforeTheNextFiring) {
  SimRunLoop loop(ClockKind::realClock);
  std::vector<std::string> events;  // main thread only
  std::thread replier([&loop, &events, work = loop.beginExternalWork("com.brannic.helper")]() mutable {
    std::this_thread::sleep_for(50ms);
    loop.addOperationToMainQueue([&events] { events.push_back("reply handled"); });
    work.end();
  });
  auto timer = loop.scheduleRepeatingTimer(0.01, [&events](Timer& self) {
    events.push_back("tick");
    self.invalidate();
  });
  loop.runUntil([&] { return !timer->isValid(); }, std::nullopt, [&] { loop.settle(5000ms); });
  replier.join();
  EXPECT_EQ(events, (std::vector<std::string>{"reply handled", "tick"}));
}

// The real clock never spins: the loop checks its condition again only after
// a piece of work, a timer's firing, a wake() or its deadline. A loop that
// spins turns thousands of times while it waits; counting the turns holds
// however fast or loaded the machine is, where timing them would not.
constexpr int kFewTurns = 20;

TEST(RunLoopThreadsTest, RealClockFiresTimersAtTheirTimeWithoutSpinning) {
  SimRunLoop loop(ClockKind::realClock);
  int firings = 0;
  auto timer = loop.scheduleRepeatingTimer(0.02, [&firings](Timer& self) {
    if (++firings == 3) self.invalidate();
  });
  int turns = 0;
  loop.runUntil([&] {
    ++turns;
    return firings == 3;
  });
  EXPECT_GE(loop.now(), 0.06) << "the third firing is due 60 ms after the timer was scheduled";
  EXPECT_LE(turns, kFewTurns) << "waiting for a timer must sleep, not spin";

  bool ended = false;
  const double scheduled = loop.now();
  loop.scheduleOnce(0.02, [&ended] { ended = true; });
  loop.runUntil([&ended] { return ended; });
  EXPECT_GE(loop.now() - scheduled, 0.02) << "a one-shot fires at the real time";
}

TEST(RunLoopThreadsTest, RealClockWaitsOutADeadlineWithoutSpinning) {
  SimRunLoop loop(ClockKind::realClock);
  int turns = 0;
  auto began = std::chrono::steady_clock::now();
  loop.runUntil(
      [&turns] {
        ++turns;
        return false;
      },
      loop.now() + 0.05);
  EXPECT_GE(std::chrono::steady_clock::now() - began, 50ms);
  EXPECT_LE(turns, kFewTurns) << "waiting for a deadline must sleep, not spin";

  int firings = 0;
  auto timer = loop.scheduleRepeatingTimer(0.02, [&firings](Timer&) { ++firings; });
  began = std::chrono::steady_clock::now();
  loop.advance(0.1);
  EXPECT_GE(std::chrono::steady_clock::now() - began, 100ms) << "advance lets the whole time pass";
  EXPECT_GE(firings, 1) << "and fires the timers due meanwhile (a late loop skips the firings it missed)";
}

// Another thread wakes the waiting loop by posting work or calling wake().
TEST(RunLoopThreadsTest, RealClockSleepsUntilAnotherThreadPostsOrWakesIt) {
  for (const bool posts : {true, false}) {
    SCOPED_TRACE(posts ? "posting" : "waking");
    SimRunLoop loop(ClockKind::realClock);
    std::atomic<bool> done = false;
    testing::Gate looping;
    int turns = 0;
    std::thread other([&] {
      looping.pass();
      if (posts) {
        loop.dispatchAsyncMain([&done] { done = true; });
      } else {
        done = true;
        loop.wake();
      }
    });
    // Bounded, so that a lost wake fails the test instead of hanging it.
    loop.runUntil(
        [&] {
          if (++turns == 1) looping.open();
          return done.load();
        },
        loop.now() + 60);
    other.join();
    EXPECT_TRUE(done);
    EXPECT_LE(turns, kFewTurns) << "waiting for another thread must sleep, not spin";
  }
}

}  // namespace
}  // namespace brannic::sim
