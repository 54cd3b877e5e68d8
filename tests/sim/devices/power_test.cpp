#include "platform/sim/devices/power.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <fstream>
#include <sstream>

#include "platform/sim/machine/machine_folder.h"
#include "tests/sim/recording_transcript.h"

extern char** environ;

namespace brannic::sim {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

struct ToolRun {
  int exitStatus = -1;
  std::string standardOutput;
  std::string standardError;
};

std::string contentsOf(const std::filesystem::path& path) {
  std::ifstream file(path);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

// Runs the tool as the helper does: executed directly with an argument vector, no shell in between.
ToolRun runTool(const std::filesystem::path& tool, const std::vector<std::string>& arguments,
                const std::filesystem::path& scratch) {
  const auto out = scratch / "out";
  const auto err = scratch / "err";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  std::vector<std::string> words{tool.string()};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (auto& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  pid_t child = 0;
  ToolRun run;
  if (posix_spawn(&child, tool.c_str(), &actions, nullptr, argv.data(), environ) == 0) {
    int status = 0;
    ::waitpid(child, &status, 0);
    run.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  posix_spawn_file_actions_destroy(&actions);
  run.standardOutput = contentsOf(out);
  run.standardError = contentsOf(err);
  return run;
}

class SimPowerTest : public ::testing::Test {
 protected:
  ToolRun pmset(const std::vector<std::string>& arguments) {
    return runTool(powerToolPath(root), arguments, root);
  }

  MachineFolder folder{std::nullopt};
  const std::filesystem::path root{folder.path()};
  testing::RecordingTranscript recorded;
  SimPower power{root, &recorded.transcript()};
};

TEST_F(SimPowerTest, FreshMachineSleeps) {
  EXPECT_FALSE(power.sleepDisabled());
  EXPECT_EQ(contentsOf(sleepSettingPath(root)), "0\n");
}

TEST_F(SimPowerTest, ToolChangesTheSettingSilentlyAndPollReportsEachChangeOnce) {
  for (const char* value : {"1", "1", "0"}) {
    const auto run = pmset({"-a", "disablesleep", value});
    EXPECT_EQ(run.exitStatus, 0) << value;
    EXPECT_EQ(run.standardOutput, "") << value;
    EXPECT_EQ(run.standardError, "") << value;
    power.poll();
    EXPECT_EQ(power.sleepDisabled(), std::string(value) == "1");
  }
  power.poll();
  EXPECT_THAT(recorded.take(), ElementsAre("power: sleep disabled", "power: sleep enabled"));
}

TEST_F(SimPowerTest, ToolRefusesAnythingElse) {
  const std::vector<std::vector<std::string>> refused{
      {},
      {"-a", "disablesleep"},
      {"-a", "disablesleep", "2"},
      {"-a", "disablesleep", "1", "extra"},
      {"-a", "disablesleep", ""},
      {"-a", "disablesleep", "1; touch hacked"},
      {"-a", "disablesleep", "$(touch hacked)"},
      {"-b", "disablesleep", "1"},
      {"-a", "sleep", "1"},
      {"-g"},
  };
  for (const auto& arguments : refused) {
    const auto run = pmset(arguments);
    EXPECT_EQ(run.exitStatus, 1) << ::testing::PrintToString(arguments);
    EXPECT_EQ(run.standardError, "usage: pmset -a disablesleep 0|1\n");
    EXPECT_EQ(run.standardOutput, "");
  }
  power.poll();
  EXPECT_FALSE(power.sleepDisabled());
  EXPECT_THAT(recorded.take(), IsEmpty());
  EXPECT_FALSE(std::filesystem::exists(root / "hacked"));
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::current_path() / "hacked"));
}

TEST_F(SimPowerTest, UnreadableSettingCountsAsUnchanged) {
  pmset({"-a", "disablesleep", "1"});
  power.poll();
  for (const char* garbage : {"", "yes\n", "1 0\n"}) {
    std::ofstream(sleepSettingPath(root)) << garbage;
    power.poll();
    EXPECT_TRUE(power.sleepDisabled()) << garbage;
  }
  std::filesystem::remove(sleepSettingPath(root));
  power.poll();
  EXPECT_TRUE(power.sleepDisabled());
  EXPECT_THAT(recorded.take(), ElementsAre("power: sleep disabled"));
}

TEST(SimPowerMachineTest, KeptMachineKeepsItsSettingAndAnOddPathStillWorks) {
  MachineFolder folder{std::nullopt};
  const std::filesystem::path scratch{folder.path()};
  const auto root = scratch / "it's a \"machine\" $HOME";
  std::filesystem::create_directories(root);
  {
    SimPower power(root, nullptr);
    EXPECT_EQ(runTool(powerToolPath(root), {"-a", "disablesleep", "1"}, scratch).exitStatus, 0);
    power.poll();
    EXPECT_TRUE(power.sleepDisabled());
  }
  testing::RecordingTranscript recorded;
  SimPower reopened(root, &recorded.transcript());
  EXPECT_TRUE(reopened.sleepDisabled());
  reopened.poll();
  EXPECT_THAT(recorded.take(), IsEmpty()) << "no change since the machine was opened";
}

}  // namespace
}  // namespace brannic::sim
