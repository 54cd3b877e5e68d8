#include "platform/sim/processes/shell.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string_view>

extern char** environ;

namespace brannic::sim {
namespace {

// Closes a descriptor once, on every path out.
class Descriptor {
 public:
  explicit Descriptor(int fd = -1) : fd_(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() { reset(); }
  int get() const { return fd_; }
  void reset() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

 private:
  int fd_;
};

bool isLocaleVariable(std::string_view variable) {
  return variable.starts_with("LANG=") || variable.starts_with("LANGUAGE=") || variable.starts_with("LC_");
}

// The host's environment with PATH prefixed by `prefix` and the "C" locale:
// an application started from the desktop gets no locale variables, so its
// tools treat text as plain bytes (grep passes on lines that are not UTF-8
// instead of calling them binary), whatever the terminal that started the
// simulator uses.
std::vector<std::string> taskEnvironment(const std::string& prefix) {
  std::vector<std::string> environment;
  std::string path;
  for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
    const std::string_view variable(*entry);
    if (variable.starts_with("PATH=")) {
      path = std::string(variable.substr(5));
    } else if (!isLocaleVariable(variable)) {
      environment.emplace_back(variable);
    }
  }
  if (path.empty()) path = "/usr/bin:/bin";
  if (!prefix.empty()) path = prefix + ":" + path;
  environment.push_back("PATH=" + path);
  environment.push_back("LC_ALL=C");
  return environment;
}

std::vector<char*> pointersTo(std::vector<std::string>& strings) {
  std::vector<char*> pointers;
  pointers.reserve(strings.size() + 1);
  for (auto& s : strings) pointers.push_back(s.data());
  pointers.push_back(nullptr);
  return pointers;
}

// Spawn attributes: default dispositions for every signal, nothing blocked.
class CleanSignalAttributes {
 public:
  CleanSignalAttributes() {
    ok_ = ::posix_spawnattr_init(&attributes_) == 0;
    if (!ok_) return;
    sigset_t all;
    sigset_t none;
    sigfillset(&all);
    sigemptyset(&none);
    ok_ = ::posix_spawnattr_setsigdefault(&attributes_, &all) == 0 &&
          ::posix_spawnattr_setsigmask(&attributes_, &none) == 0 &&
          ::posix_spawnattr_setflags(&attributes_, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK) == 0;
  }
  ~CleanSignalAttributes() { ::posix_spawnattr_destroy(&attributes_); }
  CleanSignalAttributes(const CleanSignalAttributes&) = delete;
  CleanSignalAttributes& operator=(const CleanSignalAttributes&) = delete;
  bool ok() const { return ok_; }
  const posix_spawnattr_t* get() const { return &attributes_; }

 private:
  posix_spawnattr_t attributes_{};
  bool ok_ = false;
};

class FileActions {
 public:
  FileActions() { ok_ = ::posix_spawn_file_actions_init(&actions_) == 0; }
  ~FileActions() { ::posix_spawn_file_actions_destroy(&actions_); }
  FileActions(const FileActions&) = delete;
  FileActions& operator=(const FileActions&) = delete;
  // The task's standard output becomes `fd`, and every descriptor above
  // standard error is closed: the host's sockets and files stay its own.
  bool redirectStandardOutputOnly(int fd) {
    return ok_ && ::posix_spawn_file_actions_adddup2(&actions_, fd, STDOUT_FILENO) == 0 &&
           ::posix_spawn_file_actions_addclosefrom_np(&actions_, STDERR_FILENO + 1) == 0;
  }
  const posix_spawn_file_actions_t* get() const { return &actions_; }

 private:
  posix_spawn_file_actions_t actions_{};
  bool ok_ = false;
};

void reap(pid_t pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
}

}  // namespace

SimShell::SimShell(std::string pathPrefix) : pathPrefix_(std::move(pathPrefix)) {}

std::optional<std::string> SimShell::launchAndReadStandardOutput(const std::string& launchPath,
                                                                 const std::vector<std::string>& arguments) {
  // Both ends close on exec, so tasks that other threads start meanwhile do
  // not hold this pipe open; the dup2 below gives the task its own copy.
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) return std::nullopt;
  Descriptor readEnd(ends[0]);
  Descriptor writeEnd(ends[1]);

  FileActions actions;
  CleanSignalAttributes attributes;
  if (!actions.redirectStandardOutputOnly(writeEnd.get()) || !attributes.ok()) return std::nullopt;

  std::vector<std::string> argumentStrings{launchPath};
  argumentStrings.insert(argumentStrings.end(), arguments.begin(), arguments.end());
  std::vector<std::string> environmentStrings = taskEnvironment(pathPrefix_);
  std::vector<char*> argv = pointersTo(argumentStrings);
  std::vector<char*> envp = pointersTo(environmentStrings);

  pid_t pid = 0;
  // posix_spawn reports a failed exec as its result, so a missing shell is
  // told apart from a shell that prints nothing.
  if (::posix_spawn(&pid, launchPath.c_str(), actions.get(), attributes.get(), argv.data(), envp.data()) !=
      0) {
    return std::nullopt;
  }
  writeEnd.reset();  // the task holds the only write end now: EOF comes when it is done

  std::string output;
  char buffer[4096];
  for (;;) {
    const ssize_t count = ::read(readEnd.get(), buffer, sizeof buffer);
    if (count > 0) {
      output.append(buffer, static_cast<std::size_t>(count));
    } else if (count == 0 || errno != EINTR) {
      break;
    }
  }
  readEnd.reset();
  reap(pid);
  return output;
}

}  // namespace brannic::sim
