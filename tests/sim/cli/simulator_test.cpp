// What the simulator does with script lines: echoes, errors with the line
// number, the end of a script, and the state it shows.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "platform/sim/cli/command_table.h"
#include "platform/sim/cli/commands.h"
#include "platform/sim/cli/simulator.h"
#include "tests/sim/recording_transcript.h"

namespace brannic::sim {
namespace {

using namespace std::string_literals;
using Lines = std::vector<std::string>;

// A simulator on a fresh machine with an empty bundle.
class SimulatorTest : public ::testing::Test {
 protected:
  // The areas under test here; later areas add their own state keys.
  SimulatorTest() {
    registerSessionCommands(table);
    registerAppCommands(table);
    registerDeviceCommands(table);
  }

  testing::RecordingTranscript recording;
  SimMac mac{recording.transcript(), SimMacOptions{}};
  CommandTable table;
  Simulator simulator{mac, table};
};

TEST_F(SimulatorTest, SkipsBlankAndCommentLinesAndEchoesCommandsAsWritten) {
  EXPECT_EQ(simulator.runLine("", 1, true), Simulator::LineOutcome::skipped);
  EXPECT_EQ(simulator.runLine("   \t", 2, true), Simulator::LineOutcome::skipped);
  EXPECT_EQ(simulator.runLine("# a comment", 3, true), Simulator::LineOutcome::skipped);
  EXPECT_EQ(simulator.runLine("  # indented comment", 4, true), Simulator::LineOutcome::skipped);
  EXPECT_EQ(simulator.runLine("  state  \r", 5, true), Simulator::LineOutcome::ran);
  EXPECT_EQ(simulator.runLine("state", 6, false), Simulator::LineOutcome::ran);
  EXPECT_EQ(recording.take(), (Lines{">   state  ", "state: lid=open volume=0.50 muted=no sound=idle",
                                     "state: lid=open volume=0.50 muted=no sound=idle"}));
}

struct BadLineCase {
  const char* name;
  const char* line;
  const char* error;
};

class BadLineTest : public SimulatorTest, public ::testing::WithParamInterface<BadLineCase> {};

TEST_P(BadLineTest, PrintsTheLineNumberAndWhy) {
  EXPECT_EQ(simulator.runLine(GetParam().line, 7, false), Simulator::LineOutcome::failed);
  EXPECT_EQ(recording.take(), (Lines{"sim: error line 7: "s + GetParam().error}));
}

INSTANTIATE_TEST_SUITE_P(
    BeforeLaunch, BadLineTest,
    ::testing::Values(
        BadLineCase{"UnknownCommand", "frobnicate now", "unknown command \"frobnicate\""},
        BadLineCase{"UnknownCommandWithOddBytes", "\xFF\x01", "unknown command \"\\xff\\x01\""},
        BadLineCase{"NeedsLaunch", "menu Quit", "menu: needs a launched application; use launch first"},
        BadLineCase{"ArgumentsToLaunch", "launch now", "launch: usage: launch"},
        BadLineCase{"BadLidState", "lid ajar", "lid: expected one of open, closed, none, not \"ajar\""},
        BadLineCase{"RawLidNeedsQuotes", "lid raw bytes",
                    "lid: expected text in double quotes, not \"bytes\""},
        BadLineCase{"LidSequenceWithoutStates", "lid sequence",
                    "lid: a sequence needs at least one state: open, closed or none"},
        BadLineCase{"BadStateInLidSequence", "lid sequence closed ajar",
                    "lid: expected one of open, closed, none, not \"ajar\""},
        BadLineCase{"RawInLidSequence", "lid sequence raw \"x\"",
                    "lid: expected one of open, closed, none, not \"raw\""},
        BadLineCase{"BadDeviceId", "audio device 0",
                    "audio: expected a device id from 1 to 4294967295 (decimal "
                    "or 0x hex) or none, not \"0\""},
        BadLineCase{"DeviceIdTooLarge", "audio device 4294967296",
                    "audio: expected a device id from 1 to 4294967295 (decimal or 0x hex) or none, not "
                    "\"4294967296\""},
        BadLineCase{"UnknownAudioPart", "audio balance 1",
                    "audio: usage: audio default present|absent|failing or audio device <id>|none or audio "
                    "volume <v> or audio muted yes|no or audio volume-property|mute-property "
                    "present|absent|readonly|failing or audio volume nan"},
        BadLineCase{"VolumeNotANumber", "audio volume loud", "audio: \"loud\" is not a number"},
        BadLineCase{"WaitTooLong", "wait 3601", "wait: \"3601\" is outside 0...3600"},
        BadLineCase{"NegativeWait", "wait -0.5", "wait: \"-0.5\" is outside 0...3600"},
        BadLineCase{"SettleWithArguments", "settle now", "settle: usage: settle"}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

TEST_F(SimulatorTest, AfterLaunchLinesNameTheOutletSelectorOrKeyThatIsWrong) {
  ASSERT_EQ(simulator.runLine("launch", 1, false), Simulator::LineOutcome::ran);
  recording.take();
  const std::vector<std::pair<const char*, const char*>> cases = {
      {"launch", "launch: the application is already launched"},
      {"click buttonNothing", "click: no outlet named \"buttonNothing\""},
      {"click textFieldInput", "click: \"textFieldInput\" is not a button"},
      {"type buttonRunCommand \"x\"", "type: \"buttonRunCommand\" is not a text field"},
      {"type textFieldHelperInstalled \"x\"", "type: \"textFieldHelperInstalled\" is not editable"},
      {"type textFieldInput bare", "type: expected text in double quotes, not \"bare\""},
      {"check buttonRunCommand on", "check: \"buttonRunCommand\" is not a check box"},
      {"check checkboxCacheAuthentication yes", "check: expected one of on, off, mixed, not \"yes\""},
      {"action didTapNothing", "action: the delegate has no action \"didTapNothing\""},
      {"set nothing true", "set: the delegate has no key \"nothing\""},
      {"set currentHelperAuthData true",
       "set: the delegate's \"currentHelperAuthData\" does not take a Boolean"},
      {"set helperIsInstalled yes", "set: expected one of true, false, not \"yes\""},
      {"menu Toggle", "menu: no menu item titled \"Toggle\""},
      {"menu", "menu: usage: menu <title>"},
  };
  int lineNumber = 1;
  for (const auto& [line, error] : cases) {
    ++lineNumber;
    EXPECT_EQ(simulator.runLine(line, lineNumber, false), Simulator::LineOutcome::failed) << line;
    EXPECT_EQ(recording.take(), (Lines{"sim: error line " + std::to_string(lineNumber) + ": " + error}))
        << line;
  }
}

TEST_F(SimulatorTest, UserChangesPrintNothingAndDisabledControlsSaySo) {
  ASSERT_EQ(simulator.runLine("launch", 1, false), Simulator::LineOutcome::ran);
  recording.take();
  SimWindow& window = mac.application()->window();
  EXPECT_EQ(simulator.runLine("type textFieldInput \"/tmp/x y\"", 2, false), Simulator::LineOutcome::ran);
  EXPECT_EQ(simulator.runLine("check checkboxRequireAuthentication on", 3, false),
            Simulator::LineOutcome::ran);
  EXPECT_EQ(simulator.runLine("check checkboxCacheAuthentication mixed", 4, false),
            Simulator::LineOutcome::ran);
  EXPECT_EQ(recording.take(), Lines{});
  EXPECT_EQ(window.textFieldInput.stringValue(), "/tmp/x y");
  EXPECT_EQ(window.checkboxRequireAuthentication.state(), NSControlStateValueOn);
  EXPECT_EQ(window.checkboxCacheAuthentication.state(), NSControlStateValueMixed);

  EXPECT_EQ(simulator.runLine("click buttonRunCommand", 5, false), Simulator::LineOutcome::ran);
  EXPECT_EQ(simulator.runLine("click buttonDestroyCachedAuthorization", 6, false),
            Simulator::LineOutcome::ran);
  window.textFieldInput.setEnabled(false);
  window.checkboxCacheAuthentication.setEnabled(false);
  recording.take();
  EXPECT_EQ(simulator.runLine("type textFieldInput \"z\"", 7, false), Simulator::LineOutcome::ran);
  EXPECT_EQ(simulator.runLine("check checkboxCacheAuthentication off", 8, false),
            Simulator::LineOutcome::ran);
  EXPECT_EQ(window.textFieldInput.stringValue(), "/tmp/x y");
  EXPECT_EQ(window.checkboxCacheAuthentication.state(), NSControlStateValueMixed);
  EXPECT_EQ(recording.take(),
            (Lines{"sim: textFieldInput is disabled", "sim: checkboxCacheAuthentication is disabled"}));
}

TEST_F(SimulatorTest, ScriptStopsAtItsFirstErrorWithStatusTwo) {
  std::istringstream script("state\nbogus\nstate\n");
  EXPECT_EQ(simulator.runScript(script), Simulator::kExitScriptError);
  EXPECT_EQ(recording.take(), (Lines{"> state", "state: lid=open volume=0.50 muted=no sound=idle", "> bogus",
                                     "sim: error line 2: unknown command \"bogus\""}));
}

TEST_F(SimulatorTest, QuitEndsTheScriptWithStatusZeroAndNothingAfterItRuns) {
  std::istringstream script("launch\nmenu Quit\nstate\n");
  EXPECT_EQ(simulator.runScript(script), Simulator::kExitSuccess);
  const Lines lines = recording.take();
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[lines.size() - 2], "> menu Quit");
  EXPECT_EQ(lines.back(), "sim: application terminated");
  EXPECT_EQ(simulator.runLine("state", 4, true), Simulator::LineOutcome::terminated);
  EXPECT_EQ(recording.take(), Lines{});
}

TEST_F(SimulatorTest, ScriptThatRunsToItsEndExitsZero) {
  std::istringstream script("# nothing but a comment\n\nstate");  // no final line feed
  EXPECT_EQ(simulator.runScript(script), Simulator::kExitSuccess);
  EXPECT_EQ(recording.take(), (Lines{"> state", "state: lid=open volume=0.50 muted=no sound=idle"}));
}

TEST_F(SimulatorTest, DeviceCommandsChangeTheMachineSilentlyAndStateShowsThem) {
  for (const char* line : {"lid closed", "audio volume 0.125", "audio muted yes", "audio device 0x49",
                           "audio device none", "audio volume-property readonly", "audio default failing"}) {
    EXPECT_EQ(simulator.runLine(line, 1, false), Simulator::LineOutcome::ran) << line;
  }
  EXPECT_EQ(simulator.runLine("state", 2, false), Simulator::LineOutcome::ran);
  EXPECT_EQ(simulator.runLine("lid raw \"\\xff\"", 3, false), Simulator::LineOutcome::ran);
  EXPECT_EQ(simulator.runLine("state", 4, false), Simulator::LineOutcome::ran);
  EXPECT_EQ(simulator.runLine("lid sequence closed none open", 5, false), Simulator::LineOutcome::ran);
  EXPECT_EQ(simulator.runLine("state", 6, false), Simulator::LineOutcome::ran);
  // A bad state anywhere in the list leaves the whole sequence as it was.
  EXPECT_EQ(simulator.runLine("lid sequence open ajar", 7, false), Simulator::LineOutcome::failed);
  EXPECT_EQ(simulator.runLine("state", 8, false), Simulator::LineOutcome::ran);
  EXPECT_EQ(recording.take(), (Lines{"state: lid=closed volume=0.12 muted=yes sound=idle",
                                     "state: lid=raw volume=0.12 muted=yes sound=idle",
                                     "state: lid=closed,none,open volume=0.12 muted=yes sound=idle",
                                     "sim: error line 7: lid: expected one of open, closed, none, not \"ajar\"",
                                     "state: lid=closed,none,open volume=0.12 muted=yes sound=idle"}));
}

TEST_F(SimulatorTest, SoundResourceCommandNeedsATemplateToRestoreFrom) {
  const std::string sound = mac.bundle().resourcesPath() + "/Final.mp3";
  EXPECT_EQ(simulator.runLine("sound resource invalid", 1, false), Simulator::LineOutcome::ran);
  EXPECT_EQ(mac.bundle().urlForResource("Final", "mp3"), sound);
  EXPECT_EQ(simulator.runLine("sound resource missing", 2, false), Simulator::LineOutcome::ran);
  EXPECT_EQ(mac.bundle().urlForResource("Final", "mp3"), std::nullopt);
  EXPECT_EQ(simulator.runLine("sound resource present", 3, false), Simulator::LineOutcome::failed);
  EXPECT_EQ(recording.take(), (Lines{"sim: error line 3: sound: the bundle template has no Final.mp3"}));
}

TEST_F(SimulatorTest, HelpListsEveryForm) {
  EXPECT_EQ(simulator.runLine("help", 1, false), Simulator::LineOutcome::ran);
  const Lines lines = recording.take();
  EXPECT_NE(std::find(lines.begin(), lines.end(), "sim: lid raw \"<text>\""), lines.end());
  EXPECT_NE(std::find(lines.begin(), lines.end(), "sim: wait <seconds>"), lines.end());
}

}  // namespace
}  // namespace brannic::sim
