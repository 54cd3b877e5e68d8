#include "platform/sim/processes/process_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "platform/sim/base/unix_socket.h"

namespace brannic::sim {

namespace {

bool makePipe(OwnedFd* readEnd, OwnedFd* writeEnd) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return false;
  readEnd->reset(fds[0]);
  writeEnd->reset(fds[1]);
  return true;
}

// Reads both streams to their ends, whichever has data first.
void readBoth(OwnedFd out, OwnedFd err, std::string* standardOutput, std::string* standardError) {
  OwnedFd* fds[2] = {&out, &err};
  std::string* sinks[2] = {standardOutput, standardError};
  char buffer[4096];
  while (out.valid() || err.valid()) {
    pollfd polled[2];
    for (int i = 0; i < 2; ++i) polled[i] = {fds[i]->get(), POLLIN, 0};
    if (::poll(polled, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    for (int i = 0; i < 2; ++i) {
      if (!fds[i]->valid() || polled[i].revents == 0) continue;
      const ssize_t count = ::read(fds[i]->get(), buffer, sizeof buffer);
      if (count > 0) {
        sinks[i]->append(buffer, static_cast<std::size_t>(count));
      } else if (count == 0 || errno != EINTR) {
        fds[i]->reset();
      }
    }
  }
}

// Tells the parent why the child could not become the tool.
[[noreturn]] void failChild(int statusFd, int error) {
  [[maybe_unused]] const ssize_t written = ::write(statusFd, &error, sizeof error);
  ::_exit(127);
}

// In the child, between fork and exec: only async-signal-safe calls.
[[noreturn]] void becomeChild(const ChildProcessSpec& child, char* const* argv, char* const* envp,
                              int statusFd, pid_t parent) {
  const std::size_t passed = child.passedFds.size() < 16 ? child.passedFds.size() : 16;
  const int parking = static_cast<int>(3 + passed);
  // The status pipe must survive the moves below to report their failure.
  if (statusFd < parking) {
    const int moved = ::fcntl(statusFd, F_DUPFD_CLOEXEC, parking);
    if (moved >= 0) statusFd = moved;
  }
  auto failWith = [statusFd](int error) { failChild(statusFd, error); };
  if (child.dieWithParent) {
    if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0) failWith(errno);
    if (::getppid() != parent) ::_exit(127);  // the parent is gone already
  }
  if (!child.workingDirectory.empty() && ::chdir(child.workingDirectory.c_str()) != 0) failWith(errno);
  // Every source moves out of the way first, to a free descriptor above all
  // the targets, so that no target overwrites a source still to be placed.
  // The lowest such descriptor, not a fixed high one: the descriptor limit
  // may be small.
  const int streams[3] = {child.standardInput, child.standardOutput, child.standardError};
  int parked[3 + 16];
  for (int i = 0; i < 3; ++i) {
    if (streams[i] == ChildProcessSpec::kInheritFd) {
      parked[i] = -1;
    } else if (streams[i] == ChildProcessSpec::kNullDevice) {
      const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
      parked[i] = null < 0 ? -1 : ::fcntl(null, F_DUPFD_CLOEXEC, parking);
    } else {
      parked[i] = ::fcntl(streams[i], F_DUPFD_CLOEXEC, parking);
    }
  }
  for (std::size_t i = 0; i < passed; ++i)
    parked[3 + i] = ::fcntl(child.passedFds[i], F_DUPFD_CLOEXEC, parking);
  for (std::size_t target = 0; target < 3 + passed; ++target) {
    if (target < 3 && streams[target] == ChildProcessSpec::kInheritFd) continue;
    if (parked[target] < 0 || ::dup2(parked[target], static_cast<int>(target)) < 0) failWith(errno);
  }
  // Nothing else crosses exec: the status pipe closes by itself on success.
  const unsigned firstOther = static_cast<unsigned>(3 + passed);
  if (::close_range(firstOther, ~0U, CLOSE_RANGE_CLOEXEC) != 0) {
    for (int fd = static_cast<int>(firstOther); fd < 65536; ++fd) ::fcntl(fd, F_SETFD, FD_CLOEXEC);
  }
  ::execve(argv[0], argv, envp);
  failChild(statusFd, errno);
}

}  // namespace

std::optional<int> startChildProcess(const ChildProcessSpec& child) {
  std::vector<std::string> argumentStrings{child.executable};
  argumentStrings.insert(argumentStrings.end(), child.arguments.begin(), child.arguments.end());
  std::vector<char*> argv;
  for (auto& argument : argumentStrings) argv.push_back(argument.data());
  argv.push_back(nullptr);
  std::vector<std::string> environmentStrings = child.environment;
  std::vector<char*> envp;
  for (auto& entry : environmentStrings) envp.push_back(entry.data());
  envp.push_back(nullptr);

  OwnedFd statusRead, statusWrite;
  if (!makePipe(&statusRead, &statusWrite)) return std::nullopt;
  const pid_t parent = ::getpid();
  const pid_t pid = ::fork();
  if (pid < 0) return std::nullopt;
  if (pid == 0) becomeChild(child, argv.data(), envp.data(), statusWrite.get(), parent);
  statusWrite.reset();
  int childError = 0;
  ssize_t count;
  do {
    count = ::read(statusRead.get(), &childError, sizeof childError);
  } while (count < 0 && errno == EINTR);
  if (count > 0) {
    waitForChildProcess(pid);
    return std::nullopt;
  }
  return pid;
}

int waitForChildProcess(int pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return 128;
  }
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return WEXITSTATUS(status);
}

std::optional<ProcessResult> SimProcessRunner::run(const std::string& executablePath,
                                                   const std::vector<std::string>& arguments) {
  if (executablePath.empty() || executablePath.front() != '/') return std::nullopt;
  OwnedFd outRead, outWrite, errRead, errWrite;
  if (!makePipe(&outRead, &outWrite) || !makePipe(&errRead, &errWrite)) return std::nullopt;

  ChildProcessSpec child;
  child.executable = machineRoot_ + executablePath;
  child.arguments = arguments;
  child.environment = {"PATH=/usr/bin:/bin"};
  child.workingDirectory = machineRoot_;
  child.standardOutput = outWrite.get();
  child.standardError = errWrite.get();
  // A tool that went on after the helper died would change the machine after
  // the application was told its request failed. run() waits for the tool on
  // the calling thread, so that thread outlives it unless the process dies.
  child.dieWithParent = true;
  const std::optional<int> pid = startChildProcess(child);
  outWrite.reset();
  errWrite.reset();
  if (!pid) return std::nullopt;

  ProcessResult result;
  readBoth(std::move(outRead), std::move(errRead), &result.standardOutput, &result.standardError);
  result.exitCode = waitForChildProcess(*pid);
  return result;
}

}  // namespace brannic::sim
