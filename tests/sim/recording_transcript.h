// A transcript that keeps its lines, for tests of the simulated Mac.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "platform/sim/base/transcript.h"

namespace brannic::sim::testing {

class RecordingTranscript {
 public:
  Transcript& transcript() { return transcript_; }
  // The lines so far, and forgets them.
  std::vector<std::string> take() {
    std::lock_guard lock(mutex_);
    return std::exchange(lines_, {});
  }

 private:
  std::mutex mutex_;
  std::vector<std::string> lines_;
  Transcript transcript_{[this](const std::string& line) {
    std::lock_guard lock(mutex_);
    lines_.push_back(line);
  }};
};

}  // namespace brannic::sim::testing
