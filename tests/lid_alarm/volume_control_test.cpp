#include "lid_alarm/volume_control.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "tests/fakes/fake_run_loop.h"
#include "tests/support/case_name.h"
#include "tests/lid_alarm/fakes.h"

namespace brannic {
namespace {

using testing::EventConsole;
using testing::Events;
using testing::FakeAudioHardware;
using testing::kFakeFailure;
using Lines = std::vector<std::string>;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// One machine: a fake device with id 0x49 holding volume 0.5, not muted,
// both properties present and settable.
struct Machine {
  Events events;
  FakeAudioHardware hardware{events};
  EventConsole console{events};
};

using Setup = std::function<void(FakeAudioHardware&)>;
const Setup kAsIs = [](FakeAudioHardware&) {};

// Every way the default-device lookup can come to nothing.
const Setup kNoDefaultDeviceProperty = [](FakeAudioHardware& h) { h.defaultDevicePresent = false; };
const Setup kDefaultDeviceReadFails = [](FakeAudioHardware& h) { h.defaultDeviceReadStatus = kFakeFailure; };
const Setup kDefaultDeviceIsZero = [](FakeAudioHardware& h) { h.device = kAudioObjectUnknown; };

// Single faults of the device's two properties.
const Setup kMuteWriteFails = [](FakeAudioHardware& h) { h.mute.writeStatus = kFakeFailure; };
const Setup kNoMute = [](FakeAudioHardware& h) { h.mute.present = false; };
const Setup kVolumeSettableQueryFails = [](FakeAudioHardware& h) { h.volume.settableStatus = kFakeFailure; };
const Setup kVolumeWriteFails = [](FakeAudioHardware& h) { h.volume.writeStatus = kFakeFailure; };

struct SetVolumeCase {
  const char* name;
  Setup setup;
  float volume;
  bool autoMute;
  Lines lines;
  Lines writes;
};

class SetSystemVolumeTest : public ::testing::TestWithParam<SetVolumeCase> {};

TEST_P(SetSystemVolumeTest, PrintsAndWritesExactly) {
  const SetVolumeCase& c = GetParam();
  Machine machine;
  c.setup(machine.hardware);
  setSystemVolume(machine.hardware, machine.console, c.volume, c.autoMute);
  EXPECT_EQ(machine.console.lines, c.lines);
  EXPECT_EQ(machine.hardware.writes, c.writes);
  EXPECT_EQ(machine.hardware.misuses, 0);
}

const SetVolumeCase kSetVolumeCases[] = {
    {"LevelThenUnmute", kAsIs, 0.7f, true, {}, {"volume 0.70", "mute 0"}},
    {"LevelWithoutAutoMuteLeavesMuteAlone", kMuteWriteFails, 0.7f, false, {}, {"volume 0.70"}},
    {"AboveRangeIsClampedToOne", kAsIs, 1.5f, true,
     {"Tentative volume ( 1.50) was out of range; reset to  1.00"}, {"volume 1.00", "mute 0"}},
    {"ExactlyOneIsInRange", kAsIs, 1.0f, true, {}, {"volume 1.00", "mute 0"}},
    {"BelowRangeMutes", kAsIs, -0.5f, true, {"Tentative volume (-0.50) was out of range; reset to  0.00"},
     {"mute 1"}},
    {"ExactlyZeroIsInRangeAndMutes", kAsIs, 0.0f, true, {}, {"mute 1"}},
    {"NaNIsOutOfRangeAndMutes", kAsIs, kNaN, true,
     {"Tentative volume (  nan) was out of range; reset to  0.00"}, {"mute 1"}},
    {"BelowThresholdMutesWithoutAutoMute", kAsIs, 0.04f, false, {}, {"mute 1"}},
    {"BelowThresholdMutesWithAutoMute", kAsIs, 0.04f, true, {}, {"mute 1"}},
    {"ThresholdItselfIsALevel", kAsIs, 0.05f, true, {}, {"volume 0.05", "mute 0"}},
    {"MutingWithoutMuteProperty", kNoMute, 0.0f, true,
     {"The device 0x49 does not have a volume to set"}, {}},
    {"MutingWithReadOnlyMute", [](FakeAudioHardware& h) { h.mute.settable = false; }, 0.0f, true,
     {"Should mute device 0x49 but did not succeed", "The volume of device 0x49 cannot be set"}, {}},
    {"MutingWhenSettableQueryFails", [](FakeAudioHardware& h) { h.mute.settableStatus = kFakeFailure; }, 0.0f,
     true, {"Should mute device 0x49 but did not succeed", "The volume of device 0x49 cannot be set"}, {}},
    {"MuteWriteFails", kMuteWriteFails, 0.0f, true,
     {"The device 0x49 was not muted"}, {}},
    {"LevelWithoutVolumeProperty", [](FakeAudioHardware& h) { h.volume.present = false; }, 0.7f, true,
     {"The device 0x49 does not have a volume to set"}, {}},
    {"LevelWithReadOnlyVolume", [](FakeAudioHardware& h) { h.volume.settable = false; }, 0.7f, true,
     {"The volume of device 0x49 cannot be set"}, {}},
    {"LevelWhenSettableQueryFails", kVolumeSettableQueryFails, 0.7f, true,
     {"The volume of device 0x49 cannot be set"}, {}},
    {"FailedLevelThenSuccessfulUnmute", kVolumeWriteFails, 0.7f, true,
     {"The device 0x49 was unable to set volume"}, {"mute 0"}},
    {"FailedLevelWithoutAutoMute", kVolumeWriteFails, 0.7f, false,
     {"The device 0x49 was unable to set volume", "Unable to set volume for device 0x49"}, {}},
    {"LevelOnDeviceWithoutMute", kNoMute, 0.7f, true, {"Unable to set volume for device 0x49"},
     {"volume 0.70"}},
    {"LevelOnDeviceWithoutMuteAndNoAutoMute", kNoMute, 0.7f, false, {}, {"volume 0.70"}},
    {"UnmuteFails", kMuteWriteFails, 0.7f, true,
     {"Unable to set volume for device 0x49"}, {"volume 0.70"}},
    {"NoDefaultDeviceProperty", kNoDefaultDeviceProperty, 0.7f, true,
     {"Unable to get default audio device", "Audio Device unknown"}, {}},
    {"DefaultDeviceReadFails", kDefaultDeviceReadFails, 0.7f, true,
     {"Unable to get output audio device", "Audio Device unknown"}, {}},
    {"DefaultDeviceIsZero", kDefaultDeviceIsZero, 0.7f, true, {"Audio Device unknown"}, {}},
    {"DeviceIdIsLowerCaseHexWithoutPadding",
     [](FakeAudioHardware& h) {
       h.device = 0xABC0D;
       h.volume.present = false;
     },
     0.7f, true, {"The device 0xabc0d does not have a volume to set"}, {}},
};

INSTANTIATE_TEST_SUITE_P(Cases, SetSystemVolumeTest, ::testing::ValuesIn(kSetVolumeCases),
                         testing::CaseName());

struct ReadCase {
  const char* name;
  Setup setup;
  float volume;
  Lines lines;
};

class SystemVolumeTest : public ::testing::TestWithParam<ReadCase> {};

TEST_P(SystemVolumeTest, ReturnsClampedVolumeOrZero) {
  const ReadCase& c = GetParam();
  Machine machine;
  c.setup(machine.hardware);
  EXPECT_EQ(systemVolume(machine.hardware, machine.console), c.volume);
  EXPECT_EQ(machine.console.lines, c.lines);
  EXPECT_TRUE(machine.hardware.writes.empty());
  EXPECT_EQ(machine.hardware.misuses, 0);
}

const ReadCase kReadCases[] = {
    {"StoredLevel", kAsIs, 0.5f, {}},
    {"AboveOneReadsOne", [](FakeAudioHardware& h) { h.storedVolume = 1.7f; }, 1.0f, {}},
    {"BelowZeroReadsZero", [](FakeAudioHardware& h) { h.storedVolume = -0.3f; }, 0.0f, {}},
    {"NaNReadsZero", [](FakeAudioHardware& h) { h.storedVolume = kNaN; }, 0.0f, {}},
    {"NoVolumeProperty", [](FakeAudioHardware& h) { h.volume.present = false; }, 0.0f,
     {"No volume control for device 0x49"}},
    {"ReadFails", [](FakeAudioHardware& h) { h.volume.readStatus = kFakeFailure; }, 0.0f,
     {"Unable to read volume for device 0x49"}},
    {"NoDefaultDeviceProperty", kNoDefaultDeviceProperty, 0.0f,
     {"Unable to get default audio device", "Audio device not found!"}},
    {"DefaultDeviceReadFails", kDefaultDeviceReadFails, 0.0f,
     {"Unable to get output audio device", "Audio device not found!"}},
    {"DefaultDeviceIsZero", kDefaultDeviceIsZero, 0.0f, {"Audio device not found!"}},
};

INSTANTIATE_TEST_SUITE_P(Cases, SystemVolumeTest, ::testing::ValuesIn(kReadCases),
                         testing::CaseName());

struct MuteCase {
  const char* name;
  Setup setup;
  bool isMuted;          // what isSystemMuted answers
  Lines isMutedLines;    // and prints
  Lines setMutedWrites;  // what setSystemMuted(true) writes
  Lines setMutedLines;   // and prints
};

class MuteStateTest : public ::testing::TestWithParam<MuteCase> {};

TEST_P(MuteStateTest, ReadsAndWritesOnlyASettableMute) {
  const MuteCase& c = GetParam();
  Machine reading;
  c.setup(reading.hardware);
  EXPECT_EQ(isSystemMuted(reading.hardware, reading.console), c.isMuted);
  EXPECT_EQ(reading.console.lines, c.isMutedLines);
  EXPECT_EQ(reading.hardware.misuses, 0);

  Machine writing;
  c.setup(writing.hardware);
  setSystemMuted(writing.hardware, writing.console, true);
  EXPECT_EQ(writing.hardware.writes, c.setMutedWrites);
  EXPECT_EQ(writing.console.lines, c.setMutedLines);
  EXPECT_EQ(writing.hardware.misuses, 0);
}

const MuteCase kMuteCases[] = {
    {"Unmuted", kAsIs, false, {}, {"mute 1"}, {}},
    {"Muted", [](FakeAudioHardware& h) { h.storedMute = 1; }, true, {}, {"mute 1"}, {}},
    {"AnyNonZeroIsMuted", [](FakeAudioHardware& h) { h.storedMute = 2; }, true, {}, {"mute 1"}, {}},
    {"ReadOnlyMuteReadsUnmutedEvenWhenMuted",
     [](FakeAudioHardware& h) {
       h.storedMute = 1;
       h.mute.settable = false;
     },
     false, {}, {}, {}},
    {"SettableQueryFails",
     [](FakeAudioHardware& h) {
       h.storedMute = 1;
       h.mute.settableStatus = kFakeFailure;
     },
     false, {}, {}, {}},
    {"NoMuteProperty", kNoMute, false, {}, {}, {}},
    {"ReadFailsCountsAsUnmuted",
     [](FakeAudioHardware& h) {
       h.storedMute = 1;
       h.mute.readStatus = kFakeFailure;
     },
     false, {}, {"mute 1"}, {}},
    {"WriteFails", kMuteWriteFails, false, {}, {},
     {"Cannot change mute status of device 0x49"}},
    {"NoDefaultDeviceProperty", kNoDefaultDeviceProperty, false,
     {"Unable to get default audio device", "Audio device unknown"}, {},
     {"Unable to get default audio device", "Audio device unknown"}},
    {"DefaultDeviceIsZero", kDefaultDeviceIsZero, false, {"Audio device unknown"}, {},
     {"Audio device unknown"}},
};

INSTANTIATE_TEST_SUITE_P(Cases, MuteStateTest, ::testing::ValuesIn(kMuteCases),
                         testing::CaseName());

TEST(SetSystemMutedTest, UnmutingWritesZero) {
  Machine machine;
  machine.hardware.storedMute = 1;
  setSystemMuted(machine.hardware, machine.console, false);
  EXPECT_EQ(machine.hardware.writes, Lines{"mute 0"});
}

// The fade runs its steps on a hand-stepped run loop: sleeping only adds up
// the time, and the global queue runs when the test says so.
struct FadeCase {
  const char* name;
  float seconds;
  Lines writes;
  double slept;
};

class FadeTest : public ::testing::TestWithParam<FadeCase> {};

TEST_P(FadeTest, StepsDownThenMutesAndRestoresTheLevel) {
  const FadeCase& c = GetParam();
  Machine machine;
  testing::FakeRunLoop runLoop;
  fadeSystemVolumeToMute(machine.hardware, machine.console, runLoop, c.seconds, true);
  EXPECT_EQ(machine.hardware.writes, c.writes);
  EXPECT_DOUBLE_EQ(runLoop.slept, c.slept);
  EXPECT_TRUE(machine.console.lines.empty()) << machine.console.lines.front();
  EXPECT_EQ(machine.hardware.storedMute, 1u);
  EXPECT_EQ(machine.hardware.storedVolume, 0.5f);
}

const FadeCase kFadeCases[] = {
    // 0.5 in two steps of 0.25: the second step reaches 0 and mutes.
    {"OneSecond", 1.0f, {"volume 0.25", "mute 0", "mute 1", "mute 1", "volume 0.50"}, 1.0},
    {"HalfASecond", 0.5f, {"mute 1", "mute 1", "volume 0.50"}, 0.5},
    {"ZeroMutesAtOnce", 0.0f, {"mute 1", "volume 0.50"}, 0.0},
    {"NegativeMutesAtOnce", -3.0f, {"mute 1", "volume 0.50"}, 0.0},
    {"NaNMutesAtOnce", kNaN, {"mute 1", "volume 0.50"}, 0.0},
};

INSTANTIATE_TEST_SUITE_P(Cases, FadeTest, ::testing::ValuesIn(kFadeCases),
                         testing::CaseName());

TEST(FadeLimitTest, LongerThanTenSecondsStopsHalfWayBeforeMuting) {
  Machine machine;
  machine.hardware.storedVolume = 1.0f;
  testing::FakeRunLoop runLoop;
  // 20 steps of 1/40 are made, so the level ends near 0.5 before the mute.
  fadeSystemVolumeToMute(machine.hardware, machine.console, runLoop, 20.0f, true);
  EXPECT_DOUBLE_EQ(runLoop.slept, 10.0);
  ASSERT_EQ(machine.hardware.writes.size(), 20u * 2 + 2);
  EXPECT_EQ(machine.hardware.writes[38], "volume 0.50");
  EXPECT_EQ(machine.hardware.writes[40], "mute 1");
  EXPECT_EQ(machine.hardware.writes[41], "volume 1.00");
}

TEST(FadeLimitTest, AlreadyMutedDeviceIsLeftAlone) {
  Machine machine;
  machine.hardware.storedMute = 1;
  testing::FakeRunLoop runLoop;
  fadeSystemVolumeToMute(machine.hardware, machine.console, runLoop, 1.0f, true);
  fadeSystemVolumeToMute(machine.hardware, machine.console, runLoop, 1.0f, false);
  runLoop.runGlobalQueue();
  EXPECT_TRUE(machine.hardware.writes.empty());
}

TEST(FadeLimitTest, NonBlockingFadeRunsOnTheGlobalQueue) {
  Machine machine;
  testing::FakeRunLoop runLoop;
  fadeSystemVolumeToMute(machine.hardware, machine.console, runLoop, 1.0f, false);
  EXPECT_TRUE(machine.hardware.writes.empty());
  runLoop.runGlobalQueue();
  EXPECT_EQ(machine.hardware.writes, (Lines{"volume 0.25", "mute 0", "mute 1", "mute 1", "volume 0.50"}));
}

}  // namespace
}  // namespace brannic
