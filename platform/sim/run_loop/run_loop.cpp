#include "platform/sim/run_loop/run_loop.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <iterator>
#include <optional>
#include <thread>
#include <utility>

namespace brannic::sim {

struct RunLoopShared {
  std::mutex mutex;
  std::condition_variable changed;
  std::deque<RunLoop::Block> queue;
  // Posted from other threads since the main thread last took work: joins
  // the queue only between two pieces of main work (see takeIncoming).
  std::deque<RunLoop::Block> incoming;
  std::thread::id mainThread;

  // REQUIRES: mutex held.
  void takeIncoming() {
    std::move(incoming.begin(), incoming.end(), std::back_inserter(queue));
    incoming.clear();
  }
  bool hasWork() const { return !queue.empty() || !incoming.empty(); }
  struct Pending {
    std::uint64_t id;
    std::string label;
    bool givenUp;  // reported by a settle that timed out; no longer waited for
  };
  std::vector<Pending> external;  // in order of beginning

  // Whether work that settle waits for is still pending.
  bool awaitingExternal() const {
    return std::any_of(external.begin(), external.end(), [](const Pending& work) { return !work.givenUp; });
  }
  // Marks the work still pending as given up on and adds its labels to
  // `labels`, each once. REQUIRES: mutex held.
  void giveUpPending(std::vector<std::string>& labels) {
    for (auto& work : external) {
      if (work.givenUp) continue;
      work.givenUp = true;
      if (std::find(labels.begin(), labels.end(), work.label) == labels.end()) labels.push_back(work.label);
    }
  }
  // Waits, at most until `deadline`, until no external work is pending;
  // gives up on what is left then. REQUIRES: `lock` holds mutex.
  void awaitExternal(std::unique_lock<std::mutex>& lock, std::chrono::steady_clock::time_point deadline,
                     std::vector<std::string>& givenUpLabels) {
    if (!changed.wait_until(lock, deadline, [this] { return !awaitingExternal(); }))
      giveUpPending(givenUpLabels);
  }

  std::chrono::milliseconds externalTimeout{5000};
  std::vector<std::string> givenUpOutsideSettle;  // reported by the next settle
  std::uint64_t nextExternalId = 1;
  bool woken = false;
};

ExternalWork::ExternalWork(ExternalWork&& other) noexcept
    : shared_(std::move(other.shared_)), id_(std::exchange(other.id_, 0)) {}

ExternalWork& ExternalWork::operator=(ExternalWork&& other) noexcept {
  if (this != &other) {
    end();
    shared_ = std::move(other.shared_);
    id_ = std::exchange(other.id_, 0);
  }
  return *this;
}

void ExternalWork::end() {
  if (!shared_) return;
  {
    std::lock_guard lock(shared_->mutex);
    auto& pending = shared_->external;
    std::erase_if(pending, [this](const auto& work) { return work.id == id_; });
  }
  shared_->changed.notify_all();
  shared_.reset();
}

// A repeating timer, or one that fires once. Its n-th firing is due at
// start + n * interval, in whole nanoseconds, so repeated firings neither
// drift nor miss a due time that a wait of the same length reaches.
class SimRunLoop::SimTimer final : public Timer {
 public:
  enum class Repeats { yes, no };
  SimTimer(Nanoseconds interval, Nanoseconds start, std::uint64_t sequence, std::function<void(Timer&)> block,
           Repeats repeats = Repeats::yes)
      : interval_(interval),
        start_(start),
        sequence_(sequence),
        block_(std::move(block)),
        repeats_(repeats) {}

  void invalidate() override {
    valid_ = false;
    // A block that invalidates its own timer is still running: it is let go
    // when it returns.
    if (!firing_) block_ = nullptr;
  }
  bool isValid() const override { return valid_; }

  Nanoseconds due() const { return start_ + interval_ * static_cast<Nanoseconds>(firings_ + 1); }
  std::uint64_t sequence() const { return sequence_; }

  // Runs the block once. On the real clock a late loop skips the firings it
  // missed: the next one is the first due after `now`.
  void fire(Nanoseconds now) {
    if (repeats_ == Repeats::no) {
      valid_ = false;
    } else {
      ++firings_;
      if (due() <= now) firings_ = static_cast<std::uint64_t>((now - start_) / interval_);
    }
    firing_ = true;
    block_(*this);
    firing_ = false;
    if (!valid_) block_ = nullptr;
  }

 private:
  Nanoseconds interval_;
  Nanoseconds start_;
  std::uint64_t sequence_;
  std::uint64_t firings_ = 0;
  std::function<void(Timer&)> block_;
  Repeats repeats_;
  std::atomic<bool> valid_ = true;
  bool firing_ = false;
};

struct SimRunLoop::Worker {
  std::thread thread;
  std::shared_ptr<std::atomic<bool>> done = std::make_shared<std::atomic<bool>>(false);
};

SimRunLoop::SimRunLoop(ClockKind clock)
    : clock_(clock), start_(std::chrono::steady_clock::now()), shared_(std::make_shared<RunLoopShared>()) {
  shared_->mainThread = std::this_thread::get_id();
}

SimRunLoop::~SimRunLoop() { joinGlobalWork(); }

void SimRunLoop::joinGlobalWork() {
  std::vector<std::unique_ptr<Worker>> workers;
  {
    std::lock_guard lock(workersMutex_);
    workers.swap(workers_);
  }
  for (auto& worker : workers) worker->thread.join();
}

void SimRunLoop::discardWork() {
  std::deque<Block> dropped;
  {
    std::lock_guard lock(shared_->mutex);
    shared_->takeIncoming();
    dropped.swap(shared_->queue);
  }
  // Outside the lock: what the blocks hold may post as it goes.
  dropped.clear();
  for (const auto& timer : timers_) timer->invalidate();
  timers_.clear();
}

void SimRunLoop::post(Block block) {
  // Work on other threads finishes before the main thread posts, and what it
  // posts goes first.
  const bool waits = std::this_thread::get_id() == shared_->mainThread;
  if (waits && externalWorkWaitHook_) externalWorkWaitHook_(true);
  {
    std::unique_lock lock(shared_->mutex);
    if (!waits) {
      shared_->incoming.push_back(std::move(block));
    } else {
      shared_->awaitExternal(lock, std::chrono::steady_clock::now() + shared_->externalTimeout,
                             shared_->givenUpOutsideSettle);
      shared_->takeIncoming();
      shared_->queue.push_back(std::move(block));
    }
  }
  if (waits && externalWorkWaitHook_) externalWorkWaitHook_(false);
  shared_->changed.notify_all();
}

void SimRunLoop::setExternalWorkWaitHook(std::function<void(bool waiting)> hook) {
  externalWorkWaitHook_ = std::move(hook);
}

void SimRunLoop::addOperationToMainQueue(Block block) { post(std::move(block)); }

void SimRunLoop::dispatchAsyncMain(Block block) { post(std::move(block)); }

void SimRunLoop::dispatchAsyncGlobal(Block block) {
  reapFinishedWorkers();
  auto worker = std::make_unique<Worker>();
  worker->thread = std::thread([block = std::move(block), work = beginExternalWork("the global queue"),
                                done = worker->done]() mutable {
    block();
    block = nullptr;
    work.end();
    *done = true;
  });
  std::lock_guard lock(workersMutex_);
  workers_.push_back(std::move(worker));
}

void SimRunLoop::reapFinishedWorkers() {
  std::vector<std::unique_ptr<Worker>> finished;
  {
    std::lock_guard lock(workersMutex_);
    auto firstFinished = std::stable_partition(workers_.begin(), workers_.end(),
                                               [](const auto& worker) { return !*worker->done; });
    std::move(firstFinished, workers_.end(), std::back_inserter(finished));
    workers_.erase(firstFinished, workers_.end());
  }
  for (auto& worker : finished) worker->thread.join();
}

std::shared_ptr<Timer> SimRunLoop::scheduleRepeatingTimer(double interval,
                                                          std::function<void(Timer&)> block) {
  if (!(interval >= kMinimumTimerInterval)) interval = kMinimumTimerInterval;  // also catches NaN
  if (interval > kLongestTimerInterval) interval = kLongestTimerInterval;
  auto timer = std::make_shared<SimTimer>(toNanoseconds(interval), nowNanoseconds(), nextTimerSequence_++,
                                          std::move(block));
  timers_.push_back(timer);
  return timer;
}

std::shared_ptr<Timer> SimRunLoop::scheduleOnce(double seconds, Block block) {
  if (!(seconds > 0)) seconds = 0;  // also catches NaN
  if (seconds > kLongestTimerInterval) seconds = kLongestTimerInterval;
  auto once = [block = std::move(block)](Timer&) { block(); };
  auto timer = std::make_shared<SimTimer>(toNanoseconds(seconds), nowNanoseconds(), nextTimerSequence_++,
                                          std::move(once), SimTimer::Repeats::no);
  timers_.push_back(timer);
  return timer;
}

void SimRunLoop::sleepForTimeInterval(double seconds) {
  if (!(seconds > 0)) return;
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

double SimRunLoop::now() const { return static_cast<double>(nowNanoseconds()) / 1e9; }

SimRunLoop::Nanoseconds SimRunLoop::nowNanoseconds() const {
  if (clock_ == ClockKind::virtualClock) return virtualNow_;
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - start_)
      .count();
}

SimRunLoop::Nanoseconds SimRunLoop::toNanoseconds(double seconds) {
  return static_cast<Nanoseconds>(std::llround(seconds * 1e9));
}

bool SimRunLoop::runOneQueued() {
  Block next;
  {
    std::lock_guard lock(shared_->mutex);
    shared_->takeIncoming();
    if (shared_->queue.empty()) return false;
    next = std::move(shared_->queue.front());
    shared_->queue.pop_front();
  }
  next();
  return true;
}

std::shared_ptr<SimRunLoop::SimTimer> SimRunLoop::nextTimer() {
  std::erase_if(timers_, [](const auto& timer) { return !timer->isValid(); });
  std::shared_ptr<SimTimer> first;
  for (const auto& timer : timers_) {
    if (!first || timer->due() < first->due() ||
        (timer->due() == first->due() && timer->sequence() < first->sequence())) {
      first = timer;
    }
  }
  return first;
}

std::shared_ptr<SimRunLoop::SimTimer> SimRunLoop::dueTimer(Nanoseconds limit) {
  auto first = nextTimer();
  if (!first || first->due() > limit) return nullptr;
  return first;
}

void SimRunLoop::fire(const std::shared_ptr<SimTimer>& timer) {
  // `timer` keeps the timer alive while its block runs, even if the block
  // invalidates it and the application lets go of it.
  timer->fire(nowNanoseconds());
}

void SimRunLoop::runUntilIdle() {
  for (;;) {
    if (runOneQueued()) continue;
    if (clock_ == ClockKind::realClock) {
      if (auto timer = dueTimer(nowNanoseconds())) {
        fire(timer);
        continue;
      }
    }
    return;
  }
}

void SimRunLoop::advance(double seconds, const std::function<void()>& betweenSteps) {
  if (!(seconds > 0)) seconds = 0;
  if (seconds > kLongestAdvance) seconds = kLongestAdvance;
  if (clock_ == ClockKind::realClock) {
    runUntil([] { return false; }, now() + seconds, betweenSteps);
    return;
  }
  const auto catchUp = [&] {
    if (betweenSteps) {
      betweenSteps();
    } else {
      runUntilIdle();
    }
  };
  const Nanoseconds target = virtualNow_ + toNanoseconds(seconds);
  for (;;) {
    catchUp();
    auto timer = dueTimer(target);
    if (!timer) break;
    virtualNow_ = std::max(virtualNow_, timer->due());
    fire(timer);
  }
  // Everything that was due ran, and the work it left behind too.
  virtualNow_ = target;
}

void SimRunLoop::runUntil(const std::function<bool()>& stop, std::optional<double> deadline,
                          const std::function<void()>& betweenSteps) {
  const bool timersRun = clock_ == ClockKind::realClock;
  std::optional<Nanoseconds> end;
  if (timersRun && deadline) end = toNanoseconds(std::min(*deadline, now() + kLongestAdvance));
  // With `betweenSteps`, external work that begins while the loop sleeps
  // wakes it too: betweenSteps lets that work go and waits for it.
  const auto somethingToDo = [&] {
    return shared_->hasWork() || (betweenSteps && shared_->awaitingExternal());
  };
  while (!stop()) {
    if (betweenSteps) {
      bool pending;
      {
        std::lock_guard lock(shared_->mutex);
        pending = somethingToDo();
      }
      if (pending) {
        betweenSteps();
        continue;
      }
    } else if (runOneQueued()) {
      continue;
    }
    std::optional<Nanoseconds> wakeAt;
    if (timersRun) {
      if (auto timer = nextTimer()) {
        if (timer->due() <= nowNanoseconds()) {
          if (betweenSteps) betweenSteps();
          fire(timer);
          continue;
        }
        wakeAt = timer->due();
      }
    }
    if (end && nowNanoseconds() >= *end) return;
    if (end) wakeAt = std::min(wakeAt.value_or(*end), *end);
    std::unique_lock lock(shared_->mutex);
    if (!somethingToDo() && !shared_->woken) {
      if (wakeAt) {
        shared_->changed.wait_until(lock, start_ + std::chrono::nanoseconds(*wakeAt));
      } else {
        shared_->changed.wait(lock);
      }
    }
    shared_->woken = false;
  }
}

void SimRunLoop::wake() {
  {
    std::lock_guard lock(shared_->mutex);
    shared_->woken = true;
  }
  shared_->changed.notify_all();
}

std::vector<std::string> SimRunLoop::settle(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  std::vector<std::string> givenUp;
  for (;;) {
    {
      // Before each piece of main work, the work on other threads finishes
      // what it is doing, so that what it posts has a fixed place in the
      // queue: the order of a settled run does not depend on thread timing.
      std::unique_lock lock(shared_->mutex);
      for (auto& label : std::exchange(shared_->givenUpOutsideSettle, {})) {
        if (std::find(givenUp.begin(), givenUp.end(), label) == givenUp.end()) givenUp.push_back(label);
      }
      shared_->awaitExternal(lock, deadline, givenUp);
    }
    if (!runOneQueued()) return givenUp;
  }
}

ExternalWork SimRunLoop::beginExternalWork(std::string label) {
  std::uint64_t id;
  {
    std::lock_guard lock(shared_->mutex);
    id = shared_->nextExternalId++;
    shared_->external.push_back(RunLoopShared::Pending{id, std::move(label), false});
  }
  shared_->changed.notify_all();  // a main thread serving runUntil with betweenSteps looks at it
  return ExternalWork(shared_, id);
}

void SimRunLoop::setExternalWorkTimeout(std::chrono::milliseconds timeout) {
  std::lock_guard lock(shared_->mutex);
  shared_->externalTimeout = timeout;
}

std::size_t SimRunLoop::queuedWorkCount() const {
  std::lock_guard lock(shared_->mutex);
  return shared_->queue.size() + shared_->incoming.size();
}

std::size_t SimRunLoop::validTimerCount() const {
  return static_cast<std::size_t>(
      std::count_if(timers_.begin(), timers_.end(), [](const auto& timer) { return timer->isValid(); }));
}

}  // namespace brannic::sim
