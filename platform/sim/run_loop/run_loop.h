// The simulated Mac's main run loop. It serves the main operation queue and
// the main dispatch queue as one FIFO (as the real platform does for work
// posted from one thread), fires repeating timers in order of due time, and
// runs global-queue work on threads of its own.
//
// The thread that creates the loop is the main thread. Work posted from
// other threads joins the queue only when the main thread takes its next
// piece of work or posts. Work on other threads finishes first: before the
// main thread posts, and before it takes each piece of work in settle(), the
// external work in flight (see ExternalWork) finishes and what it posted
// joins the queue first. The order of a run then does not depend on thread
// timing, and it is the same on both clocks: on the virtual clock that work
// takes no time, on the real clock the main thread waits for it (on a Mac
// the main thread is busy for longer than the helper takes to answer, so
// the answer comes first there too).
//
// Time is either a virtual clock that moves only when the harness says so
// (scripts, tests), or the real clock (interactive sessions). Waiting never
// spins: it blocks on a condition variable until work arrives, a timer falls
// due or a deadline passes.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/run_loop.h"

namespace brannic::sim {

enum class ClockKind { virtualClock, realClock };

// The part of the loop that other threads reach: the queue, the pending
// external work and the condition variable the main thread waits on.
struct RunLoopShared;

// A piece of work that runs outside the main thread and that `settle` waits
// for: a message in flight, a global-queue block. End it once the other
// thread has done its part, after it has posted whatever the main thread
// must do about it (the main-thread part is settle's to run; waiting for it
// would never end). Ends when end() is called or the token is destroyed,
// whichever comes first. Move-only; safe to end from any thread, even after
// the run loop is gone.
class ExternalWork {
 public:
  ExternalWork() = default;
  ExternalWork(std::shared_ptr<RunLoopShared> shared, std::uint64_t id)
      : shared_(std::move(shared)), id_(id) {}
  ExternalWork(ExternalWork&& other) noexcept;
  ExternalWork& operator=(ExternalWork&& other) noexcept;
  ExternalWork(const ExternalWork&) = delete;
  ExternalWork& operator=(const ExternalWork&) = delete;
  ~ExternalWork() { end(); }
  void end();

 private:
  std::shared_ptr<RunLoopShared> shared_;
  std::uint64_t id_ = 0;
};

class SimRunLoop final : public RunLoop {
 public:
  // Timers are never scheduled more often than this (as the platform clamps
  // shorter intervals), nor less often than the longest interval.
  static constexpr double kMinimumTimerInterval = 0.0001;
  static constexpr double kLongestTimerInterval = 1e6;
  // The longest time one advance() lets pass (a longer one is cut short).
  static constexpr double kLongestAdvance = 1e6;

  explicit SimRunLoop(ClockKind clock);
  // Waits for global-queue blocks still running.
  ~SimRunLoop() override;
  SimRunLoop(const SimRunLoop&) = delete;
  SimRunLoop& operator=(const SimRunLoop&) = delete;

  void addOperationToMainQueue(Block block) override;
  void dispatchAsyncMain(Block block) override;
  void dispatchAsyncGlobal(Block block) override;
  std::shared_ptr<Timer> scheduleRepeatingTimer(double interval, std::function<void(Timer&)> block) override;
  void sleepForTimeInterval(double seconds) override;

  // The harness side. Everything below except wake(), beginExternalWork()
  // and queuedWorkCount() REQUIRES the main thread.

  // Runs `block` once, `seconds` from now (a negative or NaN delay counts
  // as 0), among the timers in order of due time: on the virtual clock
  // when advance() reaches it, on the real clock when it is due. The
  // returned timer is invalid once the block has started; invalidating it
  // earlier cancels the block. For the machine's own events (a sound that
  // ends); the application's timers repeat.
  std::shared_ptr<Timer> scheduleOnce(double seconds, Block block);

  ClockKind clock() const { return clock_; }
  // Seconds since the loop was created, on its clock.
  double now() const;
  // Runs queued main work, including work queued meanwhile, until none is
  // left. No virtual time passes; on the real clock, timers that are due
  // fire too.
  void runUntilIdle();
  // Lets `seconds` pass. Virtual clock: due timers fire in order of due
  // time (ties in scheduling order); `betweenSteps` runs first and after
  // each firing (by default runUntilIdle; the simulator settles there, so
  // that work on other threads takes no virtual time). Real clock: serves
  // the loop for that long, as runUntil does. REQUIRES: seconds >= 0.
  void advance(double seconds, const std::function<void()>& betweenSteps = nullptr);
  // Serves the loop until `stop` returns true or, when given, the clock
  // reaches `deadline`: queued work and, on the real clock, due timers.
  // `stop` is checked after each piece of work and after each wake(); in
  // between, the thread sleeps. On the virtual clock the deadline is never
  // reached (time stands still), so only `stop` ends the wait. With
  // `betweenSteps`, the loop does not take queued work itself: it calls
  // `betweenSteps` whenever work is queued or external work is pending, and
  // before each timer firing (the simulator settles there, so that the real
  // clock gives the order of a virtual `advance`).
  void runUntil(const std::function<bool()>& stop, std::optional<double> deadline = std::nullopt,
                const std::function<void()>& betweenSteps = nullptr);
  // Makes a waiting runUntil check its condition again. Any thread.
  void wake();
  // Runs the queue to its end, and before each piece of main work waits
  // until no external work is pending, so that whatever external work posts
  // to the main thread has joined the queue first. Waits at most `timeout`
  // of real time in all; timers do not fire. Returns the labels of external
  // work given up on because it was still pending when the time was up
  // (here, or earlier in a post), one per distinct label in order of
  // beginning; later waits do not wait for it again (it still ends normally
  // if it ever does).
  std::vector<std::string> settle(std::chrono::milliseconds timeout);
  // Registers external work under `label`. Any thread.
  ExternalWork beginExternalWork(std::string label);
  // How long a post on the main thread waits for external work before
  // giving up on it.
  void setExternalWorkTimeout(std::chrono::milliseconds timeout);
  // Called on the main thread with true just before a post waits for
  // external work and with false once it has: whatever
  // holds that work back lets it go meanwhile. Set before any posting.
  void setExternalWorkWaitHook(std::function<void(bool waiting)> hook);

  // Waits until every global-queue block has returned. REQUIRES: nothing
  // posts to the global queue meanwhile.
  void joinGlobalWork();
  // The process whose work this is has gone: drops the queued main work
  // (including work other threads posted) without running it, and
  // invalidates every timer.
  void discardWork();

  std::size_t queuedWorkCount() const;
  std::size_t validTimerCount() const;

 private:
  class SimTimer;
  using TimePoint = std::chrono::steady_clock::time_point;
  // Time inside the loop: whole nanoseconds since the loop was created.
  using Nanoseconds = std::int64_t;

  Nanoseconds nowNanoseconds() const;
  static Nanoseconds toNanoseconds(double seconds);

  void post(Block block);
  bool runOneQueued();
  // The valid timer due first at or before `limit`, or null. Drops
  // invalidated timers.
  std::shared_ptr<SimTimer> dueTimer(Nanoseconds limit);
  std::shared_ptr<SimTimer> nextTimer();
  void fire(const std::shared_ptr<SimTimer>& timer);
  void reapFinishedWorkers();

  ClockKind clock_;
  std::function<void(bool)> externalWorkWaitHook_;  // main thread only
  TimePoint start_;
  Nanoseconds virtualNow_ = 0;
  std::shared_ptr<RunLoopShared> shared_;
  std::vector<std::shared_ptr<SimTimer>> timers_;  // main thread only
  std::uint64_t nextTimerSequence_ = 0;

  struct Worker;
  std::mutex workersMutex_;
  std::vector<std::unique_ptr<Worker>> workers_;
};

}  // namespace brannic::sim
