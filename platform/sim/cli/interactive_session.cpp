#include "platform/sim/cli/interactive_session.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

namespace brannic::sim {
namespace {

constexpr const char* kPrompt = "brannic> ";

// Lines read from an input descriptor by a thread of its own; stop() ends
// the thread even while it waits for input.
class LineReader {
 public:
  LineReader(int inputFd, int endFd, SimRunLoop& runLoop) : inputFd_(inputFd), endFd_(endFd), runLoop_(runLoop) {
    if (pipe2(stopPipe_, O_CLOEXEC) != 0) {
      stopPipe_[0] = stopPipe_[1] = -1;
    }
    thread_ = std::thread([this] { readLines(); });
  }
  ~LineReader() {
    stop();
    for (int fd : stopPipe_) {
      if (fd >= 0) close(fd);
    }
  }
  LineReader(const LineReader&) = delete;
  LineReader& operator=(const LineReader&) = delete;

  // Whether a line or the end of input is there to take.
  bool ready() {
    std::lock_guard lock(mutex_);
    return !lines_.empty() || ended_;
  }
  // Whether the input has ended (lines typed before its end may still wait).
  bool ended() {
    std::lock_guard lock(mutex_);
    return ended_;
  }
  // The next line, or false at the end of input. REQUIRES: ready().
  bool take(std::string& line) {
    std::lock_guard lock(mutex_);
    if (lines_.empty()) return false;
    line = std::move(lines_.front());
    lines_.pop_front();
    return true;
  }
  void stop() {
    if (!thread_.joinable()) return;
    if (stopPipe_[1] >= 0) {
      const char byte = 0;
      [[maybe_unused]] const ssize_t written = write(stopPipe_[1], &byte, 1);
    }
    thread_.join();
  }

 private:
  void readLines() {
    std::string partial;
    char buffer[4096];
    for (;;) {
      // A negative descriptor is left out of the poll.
      pollfd fds[3] = {{inputFd_, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}, {endFd_, POLLIN, 0}};
      const int ready = poll(fds, 3, -1);
      if (ready < 0 && errno == EINTR) continue;
      if (ready < 0 || (fds[1].revents & POLLIN) != 0) break;
      if (fds[2].revents != 0) {
        endNow();
        return;
      }
      const ssize_t count = read(inputFd_, buffer, sizeof buffer);
      if (count < 0 && errno == EINTR) continue;
      if (count <= 0) break;
      partial.append(buffer, static_cast<std::size_t>(count));
      std::size_t newline;
      while ((newline = partial.find('\n')) != std::string::npos) {
        push(partial.substr(0, newline));
        partial.erase(0, newline + 1);
      }
    }
    if (!partial.empty()) push(std::move(partial));
    {
      std::lock_guard lock(mutex_);
      ended_ = true;
    }
    runLoop_.wake();
  }

  // Ends the input, dropping the lines not taken yet.
  void endNow() {
    {
      std::lock_guard lock(mutex_);
      lines_.clear();
      ended_ = true;
    }
    runLoop_.wake();
  }

  void push(std::string line) {
    {
      std::lock_guard lock(mutex_);
      lines_.push_back(std::move(line));
    }
    runLoop_.wake();
  }

  int inputFd_;
  int endFd_;
  SimRunLoop& runLoop_;
  int stopPipe_[2] = {-1, -1};
  std::mutex mutex_;
  std::deque<std::string> lines_;
  bool ended_ = false;
  std::thread thread_;
};

}  // namespace

int runInteractiveSession(Simulator& simulator, int inputFd, int endFd) {
  SimMac& mac = simulator.mac();
  LineReader reader(inputFd, endFd, mac.runLoop());
  simulator.setWaitCutShort([&reader] { return reader.ended(); });
  int lineNumber = 0;
  std::string line;
  while (!simulator.isTerminated()) {
    // What the last command left queued or in flight settles at once, in
    // the order a script's `settle` gives it, before the next prompt.
    mac.settle();
    std::fputs(kPrompt, stderr);
    std::fflush(stderr);
    // While the owner types, the loop is served as a script's `wait`
    // serves it, only on the real clock.
    mac.runUntil([&reader] { return reader.ready(); });
    if (!reader.take(line)) break;
    ++lineNumber;
    simulator.runLine(line, lineNumber, /*echo=*/false);
  }
  simulator.setWaitCutShort(nullptr);
  if (!simulator.isTerminated()) std::fputc('\n', stderr);
  reader.stop();
  return Simulator::kExitSuccess;
}

}  // namespace brannic::sim
