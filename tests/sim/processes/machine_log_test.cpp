// The helper's system log on the simulated machine: what the helper writes
// and what the simulator prints of it.
#include "platform/sim/processes/machine_log.h"

#include <gtest/gtest.h>

#include <fstream>

#include "tests/sim/ipc_test_support.h"

namespace brannic::sim {
namespace {

using Lines = std::vector<std::string>;

class SimMachineLogTest : public ::testing::Test {
 protected:
  void append(const std::string& bytes) {
    std::ofstream(machineLogPath(root), std::ios::binary | std::ios::app) << bytes;
  }

  testing::TempDir folder;
  const std::filesystem::path root{folder.path()};
  testing::RecordingTranscript recorded;
};

TEST_F(SimMachineLogTest, EachEntryPrintsOnceAsOneEscapedLine) {
  SimMachineLogReader reader(root, &recorded.transcript());
  reader.poll();
  EXPECT_EQ(recorded.lines(), Lines{}) << "no log yet";

  SimMachineLog log(root);
  log.log("sleep is enabled again");
  log.log("two\nlines and a \x01");
  reader.poll();
  reader.poll();
  EXPECT_EQ(recorded.lines(),
            (Lines{"helper-syslog: sleep is enabled again", "helper-syslog: two\\nlines and a \\x01"}));
}

TEST_F(SimMachineLogTest, HalfAnEntryWaitsAndAKeptMachinesEntriesDoNotRepeat) {
  SimMachineLog(root).log("from an earlier run");
  SimMachineLogReader reader(root, &recorded.transcript());
  append("half an ent");
  reader.poll();
  EXPECT_EQ(recorded.lines(), Lines{});
  append("ry\n");
  reader.poll();
  EXPECT_EQ(recorded.lines(), Lines{"helper-syslog: half an entry"});
}

TEST_F(SimMachineLogTest, ALogReplacedByAShorterOneIsReadFromItsStart) {
  SimMachineLogReader reader(root, &recorded.transcript());
  SimMachineLog(root).log("a rather long first entry");
  reader.poll();
  std::ofstream(machineLogPath(root), std::ios::binary | std::ios::trunc) << "new\n";
  reader.poll();
  EXPECT_EQ(recorded.lines(), (Lines{"helper-syslog: a rather long first entry", "helper-syslog: new"}));
}

}  // namespace
}  // namespace brannic::sim
