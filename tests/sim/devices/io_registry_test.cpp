// The I/O registry stand-in, running the probe's real pipeline through
// /bin/sh with the system's grep and head.
#include <gtest/gtest.h>

#include <filesystem>
#include <numeric>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "lid_alarm/view_controller.h"
#include "platform/sim/devices/io_registry.h"
#include "platform/sim/processes/shell.h"
#include "tests/support/case_name.h"
#include "tests/support/temp_dir.h"

namespace brannic::sim {
namespace {

using namespace std::string_literals;

std::optional<std::string> runShell(SimShell& shell, const std::string& command) {
  return shell.launchAndReadStandardOutput("/bin/sh", {"-c", command});
}

// A machine folder whose name needs quoting in a shell.
class SimIoRegistryTest : public ::testing::Test {
 protected:
  testing::TempDir folder{"machine's bin"};
  SimIoRegistry registry{folder.path().string()};
  SimShell shell{registry.binDirectory()};
};

struct LidCase {
  const char* name;
  LidState state;
  std::string pipelineOutput;
  bool open;
};

class SimIoRegistryLidTest : public SimIoRegistryTest, public ::testing::WithParamInterface<LidCase> {};

TEST_P(SimIoRegistryLidTest, PipelinePrintsTheClamshellLineAndTheProbeReadsIt) {
  registry.setLid(GetParam().state);
  EXPECT_EQ(runShell(shell, std::string(kLidProbeCommand)), GetParam().pipelineOutput);
  EXPECT_EQ(lidIsOpen(shell), GetParam().open);
}

const LidCase kLidCases[] = {
    {"Open", LidState::open, "    |   \"AppleClamshellState\" = No\n", true},
    {"Closed", LidState::closed, "    |   \"AppleClamshellState\" = Yes\n", false},
    {"NoLid", LidState::none, "", false},
};

INSTANTIATE_TEST_SUITE_P(Lids, SimIoRegistryLidTest, ::testing::ValuesIn(kLidCases),
                         testing::CaseName());

struct RawCase {
  const char* name;
  std::string dump;
  std::string pipelineOutput;
  bool open;
};

class SimIoRegistryRawTest : public SimIoRegistryTest, public ::testing::WithParamInterface<RawCase> {};

TEST_P(SimIoRegistryRawTest, StandInPrintsExactlyTheBytes) {
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

INSTANTIATE_TEST_SUITE_P(Dumps, SimIoRegistryRawTest, ::testing::ValuesIn(kRawCases),
                         testing::CaseName());

TEST_F(SimIoRegistryTest, DescribesTheLidAndStartsOpen) {
  EXPECT_EQ(registry.lidDescription(), "open");
  EXPECT_TRUE(lidIsOpen(shell));
  registry.setLid(LidState::closed);
  EXPECT_EQ(registry.lidDescription(), "closed");
  registry.setLid(LidState::none);
  EXPECT_EQ(registry.lidDescription(), "none");
}

struct SequenceCase {
  const char* name;
  std::vector<LidState> states;
  // What each probe reads, and `lidDescription` before each of them.
  std::vector<bool> reads;
  std::vector<std::string> descriptions;
};

class SimIoRegistrySequenceTest : public SimIoRegistryTest,
                                  public ::testing::WithParamInterface<SequenceCase> {};

TEST_P(SimIoRegistrySequenceTest, EachProbeReadsTheNextStateAndTheLastOneStays) {
  registry.setLidSequence(GetParam().states);
  std::vector<bool> reads;
  std::vector<std::string> descriptions;
  for (std::size_t i = 0; i < GetParam().reads.size(); ++i) {
    descriptions.push_back(registry.lidDescription());
    reads.push_back(lidIsOpen(shell));
  }
  EXPECT_EQ(reads, GetParam().reads);
  EXPECT_EQ(descriptions, GetParam().descriptions);
}

const SequenceCase kSequenceCases[] = {
    {"ClosedThenOpen",
     {LidState::closed, LidState::open},
     {false, true, true},
     {"closed,open", "open", "open"}},
    {"OneStateIsLikeSettingIt", {LidState::none}, {false, false}, {"none", "none"}},
    {"RepeatedStates",
     {LidState::open, LidState::open, LidState::none, LidState::closed, LidState::open},
     {true, true, false, false, true, true},
     {"open,open,none,closed,open", "open,none,closed,open", "none,closed,open", "closed,open", "open", "open"}},
};

INSTANTIATE_TEST_SUITE_P(Sequences, SimIoRegistrySequenceTest, ::testing::ValuesIn(kSequenceCases),
                         testing::CaseName());

TEST_F(SimIoRegistryTest, SettingTheLidDropsWhatASequenceStillHadQueued) {
  const std::vector<LidState> closedTwiceThenOpen = {LidState::closed, LidState::closed, LidState::open};
  registry.setLidSequence(closedTwiceThenOpen);
  registry.setLid(LidState::none);
  EXPECT_EQ(registry.lidDescription(), "none");
  EXPECT_EQ(runShell(shell, std::string(kLidProbeCommand)), "");

  registry.setLidSequence(closedTwiceThenOpen);
  registry.setRawDump("AppleClamshellState = No\n");
  EXPECT_EQ(registry.lidDescription(), "raw");
  EXPECT_TRUE(lidIsOpen(shell));

  registry.setLidSequence(closedTwiceThenOpen);
  EXPECT_FALSE(lidIsOpen(shell));
  registry.setLidSequence({LidState::open, LidState::closed});
  EXPECT_EQ(registry.lidDescription(), "open,closed");
  EXPECT_TRUE(lidIsOpen(shell));
  EXPECT_FALSE(lidIsOpen(shell));
}

TEST_F(SimIoRegistryTest, AnEmptySequenceIsRefusedAndChangesNothing) {
  registry.setLid(LidState::closed);
  EXPECT_THROW(registry.setLidSequence({}), std::invalid_argument);
  EXPECT_EQ(registry.lidDescription(), "closed");
  EXPECT_FALSE(lidIsOpen(shell));
}

// A sequence that cannot be written whole is not started halfway: here its
// last state, written after the others were queued, cannot be.
TEST_F(SimIoRegistryTest, ASequenceThatCannotBeWrittenLeavesNothingQueued) {
  registry.setLid(LidState::closed);
  std::filesystem::create_directories(folder.path() / "ioreg.dump.new" / "in the way");
  EXPECT_THROW(registry.setLidSequence({LidState::open, LidState::open}), std::system_error);
  EXPECT_EQ(registry.lidDescription(), "closed");
  EXPECT_FALSE(lidIsOpen(shell));
}

// A machine kept from an earlier run may still hold a queue; the new run's
// lid starts open all the same.
TEST_F(SimIoRegistryTest, ANewRegistryOnTheSameFolderStartsWithNothingQueued) {
  registry.setLidSequence({LidState::closed, LidState::closed, LidState::closed});
  SimIoRegistry again(folder.path().string());
  EXPECT_EQ(again.lidDescription(), "open");
  EXPECT_TRUE(lidIsOpen(shell));
}

TEST(SimIoRegistryErrorTest, MissingFolderIsAnErrorNotACrash) {
  testing::TempDir folder;
  EXPECT_THROW(SimIoRegistry((folder.path() / "missing").string()), std::system_error);
}

// Five probes on each of four threads at once; how many read open, per
// thread.
std::vector<int> openCountsOfOverlappingProbes(SimShell& shell) {
  std::vector<std::thread> threads;
  std::vector<int> openCounts(4, 0);
  for (std::size_t t = 0; t < openCounts.size(); ++t) {
    threads.emplace_back([&shell, &openCounts, t] {
      for (int i = 0; i < 5; ++i) openCounts[t] += lidIsOpen(shell) ? 1 : 0;
    });
  }
  for (auto& thread : threads) thread.join();
  return openCounts;
}

TEST(SimShellTest, ProbesFromSeveralThreadsEachGetTheirOwnOutput) {
  testing::TempDir folder;
  SimIoRegistry registry(folder.path().string());
  registry.setLid(LidState::open);
  SimShell shell(registry.binDirectory());
  EXPECT_EQ(openCountsOfOverlappingProbes(shell), (std::vector<int>{5, 5, 5, 5}));
}

// Overlapping probes each take a queued state of their own: none is read
// twice or skipped, and none reads the state that stays before the queue
// is empty.
TEST(SimShellTest, OverlappingProbesReadEachQueuedStateOnce) {
  testing::TempDir folder;
  SimIoRegistry registry(folder.path().string());
  std::vector<LidState> states(10, LidState::open);
  states.insert(states.end(), 10, LidState::closed);
  states.push_back(LidState::open);
  registry.setLidSequence(states);
  SimShell shell(registry.binDirectory());
  const std::vector<int> openCounts = openCountsOfOverlappingProbes(shell);
  EXPECT_EQ(std::accumulate(openCounts.begin(), openCounts.end(), 0), 10);
  EXPECT_EQ(registry.lidDescription(), "open");
  EXPECT_TRUE(lidIsOpen(shell));
  for (const auto& entry : std::filesystem::directory_iterator(folder.path())) {
    EXPECT_FALSE(entry.path().filename().string().starts_with("ioreg.taken.")) << "left behind: " << entry.path();
  }
}

}  // namespace
}  // namespace brannic::sim
