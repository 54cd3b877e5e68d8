// The shell that runs tasks for the lid probe: output, arguments, the
// environment a task gets, and a task that inherits nothing from its host.
#include "platform/sim/processes/shell.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <optional>
#include <string>

#include "tests/support/temp_dir.h"

namespace brannic::sim {
namespace {

using namespace std::string_literals;

std::optional<std::string> runShell(SimShell& shell, const std::string& command) {
  return shell.launchAndReadStandardOutput("/bin/sh", {"-c", command});
}

TEST(SimShellTest, NoShellMeansNoOutputAtAll) {
  SimShell shell("");
  EXPECT_EQ(shell.launchAndReadStandardOutput("/nonexistent/sh", {"-c", "echo hi"}), std::nullopt);
  EXPECT_EQ(shell.launchAndReadStandardOutput("/bin/sh", {"-c", "exit 3"}), "");
  EXPECT_EQ(shell.launchAndReadStandardOutput("/bin/sh", {"-c", "printf 'a\\000b'"}), "a\0b"s);
}

TEST(SimShellTest, ArgumentsArePassedAsGiven) {
  SimShell shell("");
  EXPECT_EQ(shell.launchAndReadStandardOutput("/bin/sh", {"-c", "printf '%s|' \"$0\" \"$1\"", "a b", "c  d"}),
            "a b|c  d|");
}

TEST(SimShellTest, PathStartsWithThePrefixAndLocaleIsPlain) {
  testing::TempDir folder;
  SimShell shell(folder.path().string());
  EXPECT_EQ(runShell(shell, "printf %s \"${PATH%%:*}\""), folder.path().string());
  EXPECT_EQ(runShell(shell, "printf %s \"$LC_ALL\""), "C");
}

TEST(SimShellTest, TaskGetsCleanSignalsAndNoHostDescriptorsAndIsReaped) {
  // The host ignores SIGPIPE and blocks SIGUSR1, and holds a descriptor open
  // without close-on-exec; none of it may reach the task.
  struct sigaction ignore {};
  struct sigaction previous {};
  ignore.sa_handler = SIG_IGN;
  ASSERT_EQ(sigaction(SIGPIPE, &ignore, &previous), 0);
  sigset_t block;
  sigset_t previousMask;
  sigemptyset(&block);
  sigaddset(&block, SIGUSR1);
  ASSERT_EQ(pthread_sigmask(SIG_BLOCK, &block, &previousMask), 0);
  const int hostDescriptor = ::open("/dev/null", O_RDONLY);
  ASSERT_GE(hostDescriptor, 0);

  SimShell shell("");
  const auto signals = runShell(shell, "exec grep -E '^Sig(Blk|Ign):' /proc/self/status");
  const auto leaked =
      runShell(shell, "[ -e /proc/$$/fd/" + std::to_string(hostDescriptor) + " ] && echo leaked");

  ::close(hostDescriptor);
  pthread_sigmask(SIG_SETMASK, &previousMask, nullptr);
  sigaction(SIGPIPE, &previous, nullptr);

  // Standard signals only: the C library keeps its own real-time ones
  // (32 and 33) ignored in a spawned task until the task sets them up.
  ASSERT_TRUE(signals.has_value());
  unsigned long long blocked = ~0ULL;
  unsigned long long ignored = ~0ULL;
  ASSERT_EQ(std::sscanf(signals->c_str(), "SigBlk: %llx SigIgn: %llx", &blocked, &ignored), 2) << *signals;
  constexpr unsigned long long kStandardSignals = (1ULL << 31) - 1;
  EXPECT_EQ(blocked & kStandardSignals, 0u) << *signals;
  EXPECT_EQ(ignored & kStandardSignals, 0u) << *signals;
  EXPECT_EQ(leaked, "");
  errno = 0;
  EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);
}
}  // namespace
}  // namespace brannic::sim
