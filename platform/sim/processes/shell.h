// Runs tasks for real (posix_spawn with a pipe on standard output), with the
// simulated machine's tool folder first on PATH and the "C" locale, as an
// application started from the desktop has it. Each task starts with the
// default signal dispositions and an empty signal mask, whatever the host
// process has set, and with no descriptor but standard input and error
// (inherited) and the pipe on standard output.
//
// Threads: any thread; several tasks may run at once.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/shell.h"

namespace brannic::sim {

class SimShell final : public Shell {
 public:
  // `pathPrefix`: a folder put before the inherited PATH for every task;
  // empty for none.
  explicit SimShell(std::string pathPrefix);
  // Reads the task's output to end of file, then reaps the task so that no
  // zombie is left; its exit status is not looked at. Nullopt when the task
  // cannot be started (no such executable, no pipe, no process).
  std::optional<std::string> launchAndReadStandardOutput(const std::string& launchPath,
                                                         const std::vector<std::string>& arguments) override;

 private:
  std::string pathPrefix_;
};

}  // namespace brannic::sim
