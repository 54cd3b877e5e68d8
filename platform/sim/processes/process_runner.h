// Runs the helper's tools for real (fork and exec, no shell), inside the
// simulated machine: an absolute tool path names a file under the machine
// folder ("/usr/bin/pmset" runs <machine>/usr/bin/pmset). Standard input
// is /dev/null; both output streams are captured; as for a daemon, the
// environment holds only PATH=/usr/bin:/bin and the working directory is
// the machine's root folder.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/process_runner.h"

namespace brannic::sim {

// How to start a child process (the launchd stand-in starts helpers this
// way too). Descriptors: kNullDevice gives /dev/null, kInheritFd the
// parent's own stream.
struct ChildProcessSpec {
  static constexpr int kNullDevice = -1;
  static constexpr int kInheritFd = -2;

  std::string executable;
  std::vector<std::string> arguments;  // after argv[0], which is `executable`
  std::vector<std::string> environment;
  std::string workingDirectory;  // empty: the parent's
  int standardInput = kNullDevice;
  int standardOutput = kNullDevice;
  int standardError = kInheritFd;
  // Passed to the child as descriptors 3, 4, ... in this order; every other
  // descriptor is closed in the child. At most 16.
  std::vector<int> passedFds;
  // The child gets SIGKILL when the thread that started it ends, so it can
  // never outlive its parent.
  bool dieWithParent = false;
};

// Starts a child; its pid, or nullopt when it could not be started (the
// file is missing or cannot be executed).
std::optional<int> startChildProcess(const ChildProcessSpec& child);
// Waits for a child to end: its exit status, or 128 + the signal that
// ended it.
int waitForChildProcess(int pid);

class SimProcessRunner final : public ProcessRunner {
 public:
  explicit SimProcessRunner(std::string machineRoot) : machineRoot_(std::move(machineRoot)) {}

  // A relative path, or a file that cannot be executed, counts as a tool
  // that could not be started. The tool gets SIGKILL if the calling process
  // dies while it runs, so it never changes the machine after its caller is
  // gone. Safe from several threads.
  std::optional<ProcessResult> run(const std::string& executablePath,
                                   const std::vector<std::string>& arguments) override;

 private:
  std::string machineRoot_;
};

}  // namespace brannic::sim
