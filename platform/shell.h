// Child-process tasks with a pipe on standard output (NSTask + NSPipe).
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace brannic {

class Shell {
 public:
  virtual ~Shell() = default;
  // Launches `launchPath` with exactly `arguments`, standard output connected
  // to a pipe and standard input and error inherited, then reads the pipe to
  // end of file. Returns every byte the task wrote to standard output, or
  // nullopt when the task could not be launched at all. The task is not
  // waited for and its exit status is not read.
  virtual std::optional<std::string> launchAndReadStandardOutput(
      const std::string& launchPath, const std::vector<std::string>& arguments) = 0;
};

}  // namespace brannic
