// The interactive session: lines arrive on a descriptor while the run loop
// keeps serving the real clock; errors do not end the session.
#include "platform/sim/cli/interactive_session.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "platform/sim/cli/commands.h"
#include "tests/sim/recording_transcript.h"

namespace brannic::sim {
namespace {

using Lines = std::vector<std::string>;

class InteractiveSessionTest : public ::testing::Test {
 protected:
  InteractiveSessionTest() {
    // The areas this session uses; later areas add their own state keys.
    registerSessionCommands(table);
    registerAppCommands(table);
    registerDeviceCommands(table);
    EXPECT_EQ(pipe2(input, O_CLOEXEC), 0);
  }
  ~InteractiveSessionTest() override {
    for (int fd : input) {
      if (fd >= 0) close(fd);
    }
  }
  void type(const std::string& text) {
    ASSERT_EQ(write(input[1], text.data(), text.size()), static_cast<ssize_t>(text.size()));
  }
  void endInput() {
    close(input[1]);
    input[1] = -1;
  }

  static SimMacOptions options() {
    SimMacOptions options{ClockKind::realClock, std::nullopt, ""};
    options.answerTimeout = std::chrono::milliseconds(50);  // work that never ends is given up on quickly
    return options;
  }

  testing::RecordingTranscript recording;
  SimMac mac{recording.transcript(), options()};
  CommandTable table;
  Simulator simulator{mac, table};
  int input[2] = {-1, -1};
};

TEST_F(InteractiveSessionTest, ErrorsArePrintedAndTheSessionGoesOnUntilTheInputEnds) {
  type("bogus\n\n# comment\nstate\nlid ajar\nwait 0.01\nstate");  // the last line has no line feed
  endInput();
  EXPECT_EQ(runInteractiveSession(simulator, input[0]), Simulator::kExitSuccess);
  EXPECT_EQ(recording.take(),
            (Lines{"sim: error line 1: unknown command \"bogus\"",
                   "state: lid=open volume=0.50 muted=no sound=idle",
                   "sim: error line 5: lid: expected one of open, closed, none, not \"ajar\"",
                   "state: lid=open volume=0.50 muted=no sound=idle"}));
}

TEST_F(InteractiveSessionTest, QuitEndsTheSessionWhileTheInputStaysOpen) {
  std::thread owner([this] {
    type("launch\n");
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    type("menu Quit\nstate\n");
  });
  EXPECT_EQ(runInteractiveSession(simulator, input[0]), Simulator::kExitSuccess);
  owner.join();
  const Lines lines = recording.take();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), "sim: application terminated");
  EXPECT_TRUE(simulator.isTerminated());
}

// Ctrl-D while a long wait runs: the wait ends at once, the line typed
// before the end still runs, and the session ends.
TEST_F(InteractiveSessionTest, TheEndOfInputCutsALongWaitShort) {
  type("wait 3600\nstate\n");
  endInput();
  EXPECT_EQ(runInteractiveSession(simulator, input[0]), Simulator::kExitSuccess);
  EXPECT_EQ(recording.take(), (Lines{"state: lid=open volume=0.50 muted=no sound=idle"}));
  EXPECT_LT(mac.runLoop().now(), 60.0);
}

// A signal while a long wait runs, the input still open: the wait ends at
// once and the line typed after it never runs.
TEST_F(InteractiveSessionTest, TheEndDescriptorCutsALongWaitShortAndDropsWaitingLines) {
  int end[2];
  ASSERT_EQ(pipe2(end, O_CLOEXEC), 0);
  type("wait 3600\nstate\n");
  std::thread signal([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(write(end[1], "!", 1), 1);
  });
  EXPECT_EQ(runInteractiveSession(simulator, input[0], end[0]), Simulator::kExitSuccess);
  signal.join();
  EXPECT_EQ(recording.take(), Lines{});
  EXPECT_LT(mac.runLoop().now(), 60.0);
  close(end[0]);
  close(end[1]);
}

// Work on another thread that never ends (a helper that never answers) is
// waited for once, reported, and the session goes on.
TEST_F(InteractiveSessionTest, WorkThatNeverEndsIsGivenUpOnOnceAndTheSessionGoesOn) {
  ExternalWork stuck = mac.runLoop().beginExternalWork("com.brannic.helper");
  type("state\nwait 0.01\nstate\n");
  endInput();
  EXPECT_EQ(runInteractiveSession(simulator, input[0]), Simulator::kExitSuccess);
  EXPECT_EQ(recording.take(), (Lines{"sim: no answer from com.brannic.helper",
                                     "state: lid=open volume=0.50 muted=no sound=idle",
                                     "state: lid=open volume=0.50 muted=no sound=idle"}));
}

}  // namespace
}  // namespace brannic::sim
