// Running a tool with an argument vector, no shell, capturing both output
// streams (NSTask with two NSPipes). The helper uses it for the tools it
// runs on the application's behalf.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace brannic {

struct ProcessResult {
  int exitCode = 0;  // a signal-terminated tool reports 128 + the signal number
  std::string standardOutput;
  std::string standardError;
};

class ProcessRunner {
 public:
  virtual ~ProcessRunner() = default;
  // Runs `executablePath` with exactly `arguments` and waits for it. Returns
  // nullopt when it could not be started.
  virtual std::optional<ProcessResult> run(const std::string& executablePath,
                                           const std::vector<std::string>& arguments) = 0;
};

}  // namespace brannic
