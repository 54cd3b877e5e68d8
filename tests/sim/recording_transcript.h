// A transcript that keeps its lines, for tests of the simulated Mac. Lines
// may come from any thread.
#pragma once

#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/sim/base/transcript.h"

namespace brannic::testing {

class RecordingTranscript {
 public:
  sim::Transcript& transcript() { return transcript_; }
  std::vector<std::string> lines() const {
    std::lock_guard lock(mutex_);
    return lines_;
  }
  // The lines so far, and forgets them.
  std::vector<std::string> take() {
    std::lock_guard lock(mutex_);
    return std::exchange(lines_, {});
  }
  // Lines of one channel, without the channel prefix.
  std::vector<std::string> channel(const std::string& name) const {
    std::vector<std::string> texts;
    const std::string prefix = name + ": ";
    for (const auto& line : lines())
      if (line.rfind(prefix, 0) == 0) texts.push_back(line.substr(prefix.size()));
    return texts;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> lines_;
  sim::Transcript transcript_{[this](const std::string& line) {
    std::lock_guard lock(mutex_);
    lines_.push_back(line);
  }};
};

}  // namespace brannic::testing
