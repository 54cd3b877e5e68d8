// Console and system log that remember their lines.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "platform/console.h"
#include "platform/system_log.h"

namespace brannic::testing {

class RecordingConsole final : public Console {
 public:
  void writeLine(std::string_view line) override {
    std::lock_guard lock(mutex_);
    lines.emplace_back(line);
  }
  std::vector<std::string> lines;

 private:
  std::mutex mutex_;
};

class RecordingSystemLog final : public SystemLog {
 public:
  void log(std::string_view text) override {
    std::lock_guard lock(mutex_);
    lines.emplace_back(text);
  }
  std::vector<std::string> lines;

 private:
  std::mutex mutex_;
};

}  // namespace brannic::testing
