// The helper's system log on the simulated machine: what the helper writes
// and what the simulator prints of it.
#include "platform/sim/sim_machine_log.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>

#include "platform/sim/machine_folder.h"
#include "tests/sim/recording_transcript.h"

namespace brannic::sim {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class SimMachineLogTest : public ::testing::Test {
 protected:
  void append(const std::string& bytes) {
    std::ofstream(machineLogPath(root), std::ios::binary | std::ios::app) << bytes;
  }

  MachineFolder folder{std::nullopt};
  const std::filesystem::path root{folder.path()};
  testing::RecordingTranscript recorded;
};

TEST_F(SimMachineLogTest, EachEntryPrintsOnceAsOneEscapedLine) {
  SimMachineLogReader reader(root, &recorded.transcript());
  reader.poll();
  EXPECT_THAT(recorded.take(), IsEmpty()) << "no log yet";

  SimMachineLog log(root);
  log.log("sleep is enabled again");
  log.log("two\nlines and a \x01");
  reader.poll();
  reader.poll();
  EXPECT_THAT(recorded.take(),
              ElementsAre("helper-syslog: sleep is enabled again", "helper-syslog: two\\nlines and a \\x01"));
}

TEST_F(SimMachineLogTest, HalfAnEntryWaitsAndAKeptMachinesEntriesDoNotRepeat) {
  SimMachineLog(root).log("from an earlier run");
  SimMachineLogReader reader(root, &recorded.transcript());
  append("half an ent");
  reader.poll();
  EXPECT_THAT(recorded.take(), IsEmpty());
  append("ry\n");
  reader.poll();
  EXPECT_THAT(recorded.take(), ElementsAre("helper-syslog: half an entry"));
}

TEST_F(SimMachineLogTest, ALogReplacedByAShorterOneIsReadFromItsStart) {
  SimMachineLogReader reader(root, &recorded.transcript());
  SimMachineLog(root).log("a rather long first entry");
  reader.poll();
  recorded.take();
  std::ofstream(machineLogPath(root), std::ios::binary | std::ios::trunc) << "new\n";
  reader.poll();
  EXPECT_THAT(recorded.take(), ElementsAre("helper-syslog: new"));
}

}  // namespace
}  // namespace brannic::sim
