#include <algorithm>
#include <string>
#include <vector>

#include "helper_client/helper_protocol.h"
#include "lid_alarm/view_controller.h"
#include "tests/helper_client/helper_client_fixture.h"
#include "tests/lid_alarm/fakes.h"
#include "tests/support/case_name.h"

namespace brannic::testing {
namespace {

constexpr const char* kOpenLid = "    | |   \"AppleClamshellState\" = No\n";
constexpr const char* kClosedLid = "    | |   \"AppleClamshellState\" = Yes\n";

// How the request to the helper comes out.
enum class Outcome { sent, authorizationError, noAuthorizationData, noHelper };

// The helper client's world with a lid, a sound and a player. Each test
// scripts the lid probes it expects, one output per probe; a probe more or
// less than scripted fails the test.
struct ArmingWorld : HelperClientWorld {
  ArmingWorld() : bundleWithSound(events), players(events) {
    fake.shell = &shell;
    fake.bundle = &bundleWithSound;
    fake.audioPlayers = &players;
    // The delegate was made on the earlier ports; make it again on these.
    delegate = std::make_unique<AppDelegate>(fake.platform());
    delegate->textViewOutput = &output;
    delegate->checkboxRequireAuthentication = &requireBox;
    delegate->checkboxCacheAuthentication = &cacheBox;
  }

  // The alarm's player slot outlives the test; its player must not outlive
  // this world's player factory.
  ~ArmingWorld() {
    releaseAlarmPlayer();
    EXPECT_EQ(shell.unscripted, 0) << "lid probes past the script";
    EXPECT_EQ(shell.unanswered(), 0u) << "scripted lid probes that never ran";
  }

  void arrange(Outcome outcome) {
    switch (outcome) {
      case Outcome::sent:
        break;
      case Outcome::authorizationError:
        requireBox.stateValue = NSControlStateValueOn;
        authorization.createResult = {errAuthorizationInternal, false};
        break;
      case Outcome::noAuthorizationData:
        requireBox.stateValue = NSControlStateValueOn;
        authorization.createResult = {noErr, false};
        break;
      case Outcome::noHelper:
        xpc.refuse = true;
        for (auto& connection : xpc.connections) connection->proxies = FakeProxyKind::absent;
        break;
    }
  }

  std::vector<std::string> console() const { return fake.console.lines; }
  int count(const std::string& line) const {
    return static_cast<int>(std::count(fake.console.lines.begin(), fake.console.lines.end(), line));
  }
  std::vector<std::string> sentArguments() {
    std::vector<std::string> out;
    for (auto* message : xpc.allMessages()) out.push_back(message->argumentText());
    return out;
  }
  bool armed() const { return delegate->watchTimer() && delegate->watchTimer()->isValid(); }

  Events events;
  FakeShell shell;
  SoundBundle bundleWithSound;
  FakePlayerFactory players;
};

class ArmingCycleTest : public ::testing::Test, public ArmingWorld {};

TEST_F(ArmingCycleTest, FirstLidCheckComesHalfASecondAfterArming) {
  shell.answer(kOpenLid, 3);
  delegate->didTapOne();
  EXPECT_EQ(console(), std::vector<std::string>{"SLEEP DISABLED 1"});
  EXPECT_EQ(fake.dynamicLoader.locks, 1);
  EXPECT_EQ(fake.dynamicLoader.lastMode, 1);
  EXPECT_EQ(sentArguments(), std::vector<std::string>{"1"});

  fake.runLoop.advance(0.49);
  EXPECT_EQ(shell.launches, 0);
  fake.runLoop.advance(0.01);
  EXPECT_EQ(console(), (std::vector<std::string>{"SLEEP DISABLED 1", "lid is open"}));
  fake.runLoop.advance(1.0);
  EXPECT_EQ(count("lid is open"), 3);
}

TEST_F(ArmingCycleTest, EveryClosedFiringSoundsTheAlarmAndAnOpenOneDoesNot) {
  shell.answer(kClosedLid, 6).answer(kOpenLid, 2);
  delegate->didTapOne();
  fake.runLoop.advance(1.5);
  EXPECT_EQ(count("lid is closed"), 3);
  EXPECT_EQ(count("false"), 3);
  EXPECT_EQ(count("Sound was played"), 3);
  EXPECT_EQ(std::count(events.begin(), events.end(), "play player 3"), 1);

  fake.runLoop.advance(1.0);
  EXPECT_EQ(count("lid is open"), 2);
  EXPECT_EQ(count("Sound was played"), 3);
}

TEST_F(ArmingCycleTest, FireTimerChecksOnceAndRegistersNoObserver) {
  shell.answer(kClosedLid, 2);
  delegate->fireTimer();
  const std::vector<std::string> lines = console();
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 3),
            (std::vector<std::string>{"Timer fired!", "lid is closed", "false"}));
  EXPECT_EQ(count("Sound was played"), 1);
  EXPECT_EQ(fake.notificationCenter.observerCount("com.apple.screenIsLocked"), 0u);
  EXPECT_EQ(fake.notificationCenter.observerCount("com.apple.screenIsUnlocked"), 0u);
  EXPECT_EQ(xpc.requests, 0);
}

// What a run of lid checks prints, from the watch and from fireTimer alike:
// on a closed lid the second probe's own answer, never the first one's.
struct LidCheckCase {
  const char* name;
  std::vector<const char*> probes;  // each probe's output, in order
  int checks;
  std::vector<std::string> lidLines;
  int alarms;
};

class LidCheckTest : public ::testing::TestWithParam<LidCheckCase> {};

TEST_P(LidCheckTest, PrintsWhatEachProbeRead) {
  const LidCheckCase& c = GetParam();
  const auto lidLines = [](const ArmingWorld& world) {
    std::vector<std::string> lines;
    for (const std::string& line : world.console()) {
      if (line.starts_with("lid is ") || line == "true" || line == "false") lines.push_back(line);
    }
    return lines;
  };
  for (const bool fromTheWatch : {true, false}) {
    SCOPED_TRACE(fromTheWatch ? "watch" : "fireTimer");
    ArmingWorld world;
    for (const char* output : c.probes) world.shell.answer(output);
    if (fromTheWatch) {
      world.delegate->didTapOne();
      world.fake.runLoop.advance(0.5 * c.checks);
    } else {
      for (int i = 0; i < c.checks; ++i) world.delegate->fireTimer();
    }
    EXPECT_EQ(lidLines(world), c.lidLines);
    EXPECT_EQ(world.count("Sound was played"), c.alarms);
  }
}

const LidCheckCase kLidCheckCases[] = {
    {"Open", {kOpenLid}, 1, {"lid is open"}, 0},
    {"StaysClosed", {kClosedLid, kClosedLid}, 1, {"lid is closed", "false"}, 1},
    // The alarm starts all the same: the check found the lid closed.
    {"OpenedBetweenTheProbes", {kClosedLid, kOpenLid}, 1, {"lid is closed", "true"}, 1},
    // An open lid is probed once; the next check reads the closed lid.
    {"ClosedAfterAnOpenCheck",
     {kOpenLid, kClosedLid, kClosedLid},
     2,
     {"lid is open", "lid is closed", "false"},
     1},
    {"OpenedAndClosedAgain",
     {kClosedLid, kOpenLid, kClosedLid, kClosedLid},
     2,
     {"lid is closed", "true", "lid is closed", "false"},
     2},
};

INSTANTIATE_TEST_SUITE_P(Cases, LidCheckTest, ::testing::ValuesIn(kLidCheckCases), CaseName());

TEST_F(ArmingCycleTest, ScreenObserversAreRegisteredOnceOverManyFiringsAndArmings) {
  shell.answer(kOpenLid, 8);
  delegate->didTapOne();
  EXPECT_EQ(fake.notificationCenter.observerCount("com.apple.screenIsUnlocked"), 0u);
  fake.runLoop.advance(2.0);
  delegate->didTapOne();
  fake.runLoop.advance(2.0);
  EXPECT_EQ(fake.notificationCenter.observerCount("com.apple.screenIsLocked"), 1u);
  EXPECT_EQ(fake.notificationCenter.observerCount("com.apple.screenIsUnlocked"), 1u);

  fake.notificationCenter.postNotificationName("com.apple.screenIsLocked");
  fake.runLoop.runUntilIdle();
  EXPECT_EQ(fake.systemLog.lines, std::vector<std::string>{"Screen Locked"});
}

TEST_F(ArmingCycleTest, ArmingAgainLeavesOneWatch) {
  shell.answer(kOpenLid);
  delegate->didTapOne();
  delegate->didTapOne();
  EXPECT_EQ(fake.runLoop.validTimers(), 1u);
  fake.runLoop.advance(0.5);
  EXPECT_EQ(count("lid is open"), 1);

  fake.notificationCenter.postNotificationName("com.apple.screenIsUnlocked");
  fake.runLoop.runUntilIdle();
  EXPECT_FALSE(armed());
  EXPECT_EQ(fake.runLoop.validTimers(), 0u);
}

TEST_F(ArmingCycleTest, UnlockingTheScreenDisarms) {
  shell.answer(kOpenLid);
  delegate->didTapOne();
  fake.runLoop.advance(0.5);
  fake.notificationCenter.postNotificationName("com.apple.screenIsUnlocked");
  fake.runLoop.runUntilIdle();
  EXPECT_EQ(fake.systemLog.lines, std::vector<std::string>{"Screen Unlocked"});
  EXPECT_EQ(sentArguments(), (std::vector<std::string>{"1", "0"}));
  EXPECT_FALSE(armed());
  const auto linesBefore = console().size();
  fake.runLoop.advance(2.0);
  EXPECT_EQ(console().size(), linesBefore) << "no more lid checks once disarmed";
}

TEST_F(ArmingCycleTest, MissingScreenLockLibraryOrEntryPointStillArms) {
  struct Case {
    bool library;
    bool entry;
    const char* logLine;
  };
  const Case cases[] = {
      {false, true, "Could not lock the screen: the login framework was not found"},
      {true, false, "Could not lock the screen: SACLockScreenImmediate was not found"},
  };
  for (const auto& c : cases) {
    fake.dynamicLoader.libraryPresent = c.library;
    fake.dynamicLoader.entryPresent = c.entry;
    output.storage.entries.clear();
    delegate->didTapOne();
    EXPECT_TRUE(armed());
    EXPECT_EQ(fake.dynamicLoader.locks, 0);
    EXPECT_EQ(log(), std::vector<std::string>{c.logLine});
  }
  EXPECT_EQ(count("SLEEP DISABLED 1"), 2);
}

// Each row: what arming, the explicit disarm and the unlock disarm do after
// each outcome of the request to the helper.
TEST_F(ArmingCycleTest, OutcomesOfTheHelperRequest) {
  struct Case {
    Outcome outcome;
    bool requestWentOut;
    bool goesOn;  // console line, lock, and the disarms stop the watch
  };
  const Case cases[] = {
      {Outcome::sent, true, true},
      {Outcome::authorizationError, false, true},
      {Outcome::noAuthorizationData, false, false},
      {Outcome::noHelper, false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.outcome));
    {  // Arming.
      ArmingWorld world;
      world.arrange(c.outcome);
      world.delegate->didTapOne();
      EXPECT_TRUE(world.armed()) << "the watch runs whatever the outcome";
      EXPECT_EQ(world.count("SLEEP DISABLED 1"), c.goesOn ? 1 : 0);
      EXPECT_EQ(world.fake.dynamicLoader.locks, c.goesOn ? 1 : 0);
      EXPECT_EQ(world.sentArguments().size(), c.requestWentOut ? 1u : 0u);
    }
    {  // The explicit disarm, armed or not.
      ArmingWorld world;
      world.delegate->didTapOne();
      world.arrange(c.outcome);
      world.delegate->didTapTwo();
      EXPECT_EQ(world.count("sleep enabled 0"), c.goesOn ? 1 : 0);
      EXPECT_EQ(world.armed(), !c.goesOn);
      ArmingWorld idle;
      idle.arrange(c.outcome);
      idle.delegate->didTapTwo();
      EXPECT_EQ(idle.count("sleep enabled 0"), c.goesOn ? 1 : 0);
    }
    {  // The unlock disarm.
      ArmingWorld world;
      world.shell.answer(kOpenLid);
      world.delegate->didTapOne();
      world.fake.runLoop.advance(0.5);
      world.arrange(c.outcome);
      world.fake.notificationCenter.postNotificationName("com.apple.screenIsUnlocked");
      world.runMainQueue();
      EXPECT_EQ(world.fake.systemLog.lines, std::vector<std::string>{"Screen Unlocked"});
      EXPECT_EQ(world.armed(), !c.goesOn);
      EXPECT_EQ(world.count("sleep enabled 0"), 0);
    }
  }
}

}  // namespace
}  // namespace brannic::testing
