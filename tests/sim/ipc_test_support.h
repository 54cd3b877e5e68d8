// Small pieces the transport, launchd, process and helper-process tests
// share: what a connection delivered, a lowered descriptor limit, a way to
// wait (boundedly) for things that happen on other threads, and how busy a
// process keeps a processor. The temporary folder and the recording
// transcript they use come with it.
#pragma once

#include <sys/resource.h>
#include <sys/types.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/platform_error.h"
#include "platform/xpc.h"
#include "tests/sim/recording_transcript.h"
#include "tests/support/event_timeout.h"
#include "tests/support/temp_dir.h"

namespace brannic::testing {

// What a connection delivered, in order, with the thread it came on.
class Deliveries {
 public:
  struct Event {
    std::string what;  // "reply <value>", "error <code> <description>", "invalidated", "call <selector>"
    std::thread::id thread;
  };

  void add(std::string what) {
    {
      std::lock_guard lock(mutex_);
      events_.push_back({std::move(what), std::this_thread::get_id()});
    }
    changed_.notify_all();
  }
  // Waits (boundedly) for at least `count` events.
  std::vector<Event> waitFor(std::size_t count) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, kEventTimeout, [&] { return events_.size() >= count; });
    return events_;
  }
  std::vector<std::string> texts(std::size_t count) {
    std::vector<std::string> out;
    for (const auto& event : waitFor(count)) out.push_back(event.what);
    return out;
  }
  std::size_t size() const {
    std::lock_guard lock(mutex_);
    return events_.size();
  }

  XpcReply replyRecorder() {
    return [this](XpcValue value) { add("reply " + describe(value)); };
  }
  std::function<void(const PlatformError&)> errorRecorder() {
    return [this](const PlatformError& error) {
      add("error " + std::to_string(error.code) + " " + error.description);
    };
  }
  std::function<void()> invalidationRecorder() {
    return [this] { add("invalidated"); };
  }

  static std::string describe(const XpcValue& value) {
    if (const auto* text = std::get_if<std::string>(&value)) return "\"" + *text + "\"";
    if (const auto* number = std::get_if<std::int64_t>(&value)) return std::to_string(*number);
    if (const auto* data = std::get_if<XpcData>(&value)) return "data[" + std::to_string(data->size()) + "]";
    return "nil";
  }

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Event> events_;
};

// Lowers this process's descriptor limit for as long as it lives; children
// started meanwhile (helpers, tools) inherit the lower limit.
class DescriptorLimit {
 public:
  explicit DescriptorLimit(rlim_t limit) {
    ::getrlimit(RLIMIT_NOFILE, &saved_);
    rlimit lowered = saved_;
    lowered.rlim_cur = limit;
    lowered_ = ::setrlimit(RLIMIT_NOFILE, &lowered) == 0;
  }
  ~DescriptorLimit() { ::setrlimit(RLIMIT_NOFILE, &saved_); }
  DescriptorLimit(const DescriptorLimit&) = delete;
  DescriptorLimit& operator=(const DescriptorLimit&) = delete;
  bool lowered() const { return lowered_; }

 private:
  rlimit saved_{};
  bool lowered_ = false;
};

// How much of a processor a process kept busy since this was made: the
// processor time all its threads used, as a share of the wall-clock time
// that passed. A process that waits for events uses next to none; one that
// spins uses all it is given, which even on a loaded machine is far more
// than kIdle. Unlike a bound on processor time over a fixed sleep, this
// holds however long the sleep turns out to be.
class ProcessorShare {
 public:
  static constexpr double kIdle = 0.1;

  // This process; needs no descriptor (it may have none left to spare).
  ProcessorShare() : ProcessorShare(std::nullopt) {}
  // Another process, read from /proc.
  explicit ProcessorShare(pid_t pid) : ProcessorShare(std::optional<pid_t>(pid)) {}

  // NaN when the time cannot be read, which fails any comparison.
  double sinceStart() const {
    return (busySeconds() - startBusy_) / std::chrono::duration<double>(Clock::now() - start_).count();
  }

 private:
  using Clock = std::chrono::steady_clock;

  explicit ProcessorShare(std::optional<pid_t> pid)
      : pid_(pid), startBusy_(busySeconds()), start_(Clock::now()) {}

  // User and system time so far.
  double busySeconds() const {
    if (!pid_) {
      rusage usage{};
      ::getrusage(RUSAGE_SELF, &usage);
      const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
      return seconds(usage.ru_utime) + seconds(usage.ru_stime);
    }
    std::ifstream stat("/proc/" + std::to_string(*pid_) + "/stat");
    std::string line;
    std::getline(stat, line);
    const auto afterName = line.rfind(')');
    if (afterName == std::string::npos || afterName + 2 >= line.size()) return std::nan("");
    std::istringstream fields(line.substr(afterName + 2));
    std::string field;
    long ticks = 0;
    for (int index = 3; fields >> field; ++index) {  // field 3 is the state, 14 and 15 the times
      if (index == 14 || index == 15) ticks += std::stol(field);
    }
    return static_cast<double>(ticks) / static_cast<double>(::sysconf(_SC_CLK_TCK));
  }

  std::optional<pid_t> pid_;
  double startBusy_;
  Clock::time_point start_;
};

// Polls `condition` until it holds, for a bounded time.
inline bool eventually(const std::function<bool()>& condition) {
  const auto deadline = std::chrono::steady_clock::now() + kEventTimeout;
  while (std::chrono::steady_clock::now() < deadline) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return condition();
}

}  // namespace brannic::testing
