// The I/O registry stand-in and the shell, running the probe's real pipeline
// through /bin/sh with the system's grep and head.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "lid_alarm/view_controller.h"
#include "platform/sim/devices/io_registry.h"
#include "platform/sim/processes/shell.h"
#include "tests/lid_alarm/case_name.h"
#include "tests/lid_alarm/temp_dir.h"

namespace brannic::sim {
namespace {

using namespace std::string_literals;

std::optional<std::string> runShell(SimShell& shell, const std::string& command) {
  return shell.launchAndReadStandardOutput("/bin/sh", {"-c", command});
}

// A machine folder whose name needs quoting in a shell.
class SimRegistryTest : public ::testing::Test {
 protected:
  testing::TempDir folder{"machine's bin"};
  SimRegistry registry{folder.path().string()};
  SimShell shell{registry.binDirectory()};
};

struct LidCase {
  const char* name;
  LidState state;
  std::string pipelineOutput;
  bool open;
};

class SimRegistryLidTest : public SimRegistryTest, public ::testing::WithParamInterface<LidCase> {};

TEST_P(SimRegistryLidTest, PipelinePrintsTheClamshellLineAndTheProbeReadsIt) {
  registry.setLid(GetParam().state);
  EXPECT_EQ(runShell(shell, std::string(kLidProbeCommand)), GetParam().pipelineOutput);
  EXPECT_EQ(lidIsOpen(shell), GetParam().open);
}

const LidCase kLidCases[] = {
    {"Open", LidState::open, "    |   \"AppleClamshellState\" = No\n", true},
    {"Closed", LidState::closed, "    |   \"AppleClamshellState\" = Yes\n", false},
    {"NoLid", LidState::none, "", false},
};

INSTANTIATE_TEST_SUITE_P(Lids, SimRegistryLidTest, ::testing::ValuesIn(kLidCases),
                         testing::CaseName());

struct RawCase {
  const char* name;
  std::string dump;
  std::string pipelineOutput;
  bool open;
};

class SimRegistryRawTest : public SimRegistryTest, public ::testing::WithParamInterface<RawCase> {};

TEST_P(SimRegistryRawTest, StandInPrintsExactlyTheBytes) {
  registry.setRawDump(GetParam().dump);
  EXPECT_EQ(registry.lidDescription(), "raw");
  EXPECT_EQ(runShell(shell, "ioreg -r -k AppleClamshellState -d 4"), GetParam().dump);
  EXPECT_EQ(runShell(shell, std::string(kLidProbeCommand)), GetParam().pipelineOutput);
  EXPECT_EQ(lidIsOpen(shell), GetParam().open);
}

const RawCase kRawCases[] = {
    {"NotUtf8", "x\n\xFF\xFE AppleClamshellState = No\nAppleClamshellState = No\n",
     "\xFF\xFE AppleClamshellState = No\n", false},
    {"SecondMatchIsIgnored", "AppleClamshellState = Yes\nAppleClamshellState = No\n",
     "AppleClamshellState = Yes\n", false},
    {"LowerCase", "AppleClamshellState = no", "AppleClamshellState = no\n", false},
    {"ShellSpecialCharacters", "'$(false)' `x` \"AppleClamshellState\" = No\\n", 
     "'$(false)' `x` \"AppleClamshellState\" = No\\n\n", true},
    {"Empty", "", "", false},
};

INSTANTIATE_TEST_SUITE_P(Dumps, SimRegistryRawTest, ::testing::ValuesIn(kRawCases),
                         testing::CaseName());

TEST_F(SimRegistryTest, DescribesTheLidAndStartsOpen) {
  EXPECT_EQ(registry.lidDescription(), "open");
  EXPECT_TRUE(lidIsOpen(shell));
  registry.setLid(LidState::closed);
  EXPECT_EQ(registry.lidDescription(), "closed");
  registry.setLid(LidState::none);
  EXPECT_EQ(registry.lidDescription(), "none");
}

TEST(SimRegistryErrorTest, MissingFolderIsAnErrorNotACrash) {
  testing::TempDir folder;
  EXPECT_THROW(SimRegistry((folder.path() / "missing").string()), std::system_error);
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

TEST(SimShellTest, ProbesFromSeveralThreadsEachGetTheirOwnOutput) {
  testing::TempDir folder;
  SimRegistry registry(folder.path().string());
  registry.setLid(LidState::open);
  SimShell shell(registry.binDirectory());
  std::vector<std::thread> threads;
  std::vector<int> openCounts(4, 0);
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&shell, &openCounts, t] {
      for (int i = 0; i < 5; ++i) openCounts[static_cast<std::size_t>(t)] += lidIsOpen(shell) ? 1 : 0;
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(openCounts, (std::vector<int>{5, 5, 5, 5}));
}

}  // namespace
}  // namespace brannic::sim
