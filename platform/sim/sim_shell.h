// Runs tasks for real (fork/exec with a pipe on standard output), with the
// simulated machine's tool folder first on PATH.
#pragma once

#include "platform/shell.h"

namespace brannic::sim {

class SimShell final : public Shell {
 public:
  // `pathPrefix`: a folder put before the inherited PATH for every task.
  explicit SimShell(std::string pathPrefix);
  std::optional<std::string> launchAndReadStandardOutput(const std::string& launchPath,
                                                         const std::vector<std::string>& arguments) override;

 private:
  std::string pathPrefix_;
};

}  // namespace brannic::sim
