// The application's standard output and system log, as transcript channels:
// `stdout: <line>` and `syslog: <text>`.
#pragma once

#include "platform/console.h"
#include "platform/sim/base/transcript.h"
#include "platform/system_log.h"

namespace brannic::sim {

class SimConsole final : public Console {
 public:
  explicit SimConsole(Transcript& transcript) : transcript_(transcript) {}
  void writeLine(std::string_view line) override { transcript_.emit("stdout", escapeText(line)); }

 private:
  Transcript& transcript_;
};

class SimSystemLog final : public SystemLog {
 public:
  explicit SimSystemLog(Transcript& transcript) : transcript_(transcript) {}
  void log(std::string_view text) override { transcript_.emit("syslog", escapeText(text)); }

 private:
  Transcript& transcript_;
};

}  // namespace brannic::sim
