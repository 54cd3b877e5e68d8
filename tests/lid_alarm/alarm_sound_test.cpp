#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lid_alarm/view_controller.h"
#include "tests/support/case_name.h"
#include "tests/lid_alarm/fakes.h"

namespace brannic {
namespace {

using testing::Events;

// The alarm player slot is module-wide: every test starts and ends with it
// empty, before its fakes go away.
class AlarmSoundTest : public ::testing::Test {
 protected:
  void SetUp() override { releaseAlarmPlayer(); }
  void TearDown() override { releaseAlarmPlayer(); }

  void alarm() { playAlarmSound(bundle, players, hardware, console); }

  Events events;
  testing::SoundBundle bundle{events};
  testing::FakePlayerFactory players{events};
  testing::FakeAudioHardware hardware{events};
  testing::EventConsole console{events};
};

TEST_F(AlarmSoundTest, LoadsRaisesThenPlaysInThatOrder) {
  hardware.storedVolume = 0.5f;
  hardware.storedMute = 1;
  alarm();
  EXPECT_EQ(events, (Events{
                        "resource Final.mp3",
                        "create player 1",
                        "print Tentative volume ( 1.49) was out of range; reset to  1.00",
                        "write volume 1.00",
                        "write mute 0",
                        "play player 1",
                        "print Sound was played",
                    }));
  EXPECT_EQ(players.urls, std::vector<std::string>{"/Applications/Brannic.app/Contents/Resources/Final.mp3"});
  EXPECT_EQ(hardware.storedMute, 0u);
  EXPECT_NE(alarmPlayer(), nullptr);
}

TEST_F(AlarmSoundTest, SilentDeviceGoesToJustBelowTheTopWithoutRangeLine) {
  hardware.storedVolume = 0.0f;
  alarm();
  EXPECT_EQ(console.lines, std::vector<std::string>{"Sound was played"});
  EXPECT_EQ(hardware.writes, (std::vector<std::string>{"volume 0.99", "mute 0"}));
  EXPECT_FLOAT_EQ(hardware.storedVolume, 0.99f);
}

TEST_F(AlarmSoundTest, NextAlarmReplacesThePlayerAfterCreatingTheNewOne) {
  alarm();
  AudioPlayer* first = alarmPlayer();
  events.clear();
  alarm();
  EXPECT_EQ(events[0], "resource Final.mp3");
  EXPECT_EQ(events[1], "create player 2");
  EXPECT_EQ(events[2], "release player 1");
  EXPECT_EQ(events.back(), "print Sound was played");
  EXPECT_EQ(players.alive, 1);
  EXPECT_NE(alarmPlayer(), first);
}

struct LoadFailureCase {
  const char* name;
  bool hasSound;
  std::optional<std::string> playerError;
  std::string line;
};

class AlarmLoadFailureTest : public AlarmSoundTest, public ::testing::WithParamInterface<LoadFailureCase> {};

TEST_P(AlarmLoadFailureTest, EmptiesTheSlotStillRaisesAndSaysWhy) {
  alarm();  // a working alarm first, so the failing one has a player to replace
  ASSERT_EQ(players.alive, 1);
  bundle.hasSound = GetParam().hasSound;
  players.failure = GetParam().playerError;
  hardware.storedVolume = 0.0f;
  hardware.storedMute = 1;
  console.lines.clear();

  alarm();
  EXPECT_EQ(alarmPlayer(), nullptr);
  EXPECT_EQ(players.alive, 0);
  EXPECT_EQ(console.lines, std::vector<std::string>{GetParam().line});
  EXPECT_FLOAT_EQ(hardware.storedVolume, 0.99f);
  EXPECT_EQ(hardware.storedMute, 0u);

  // The sound comes back as soon as the resource does.
  bundle.hasSound = true;
  players.failure.reset();
  console.lines.clear();
  alarm();
  EXPECT_NE(alarmPlayer(), nullptr);
  EXPECT_EQ(console.lines.back(), "Sound was played");
}

const LoadFailureCase kLoadFailures[] = {
    {"MissingResource", false, std::nullopt,
     "Unable to load alarm sound: the bundle has no resource Final.mp3"},
    {"NotAudio", true, "Final.mp3 is not an MP3 file",
     "Unable to load alarm sound: Final.mp3 is not an MP3 file"},
    {"NoReasonGiven", true, "",
     "Unable to load alarm sound: the file cannot be played: "
     "/Applications/Brannic.app/Contents/Resources/Final.mp3"},
};

INSTANTIATE_TEST_SUITE_P(Cases, AlarmLoadFailureTest, ::testing::ValuesIn(kLoadFailures),
                         testing::CaseName());

TEST_F(AlarmSoundTest, PlayerThatDoesNotStartIsNotReportedAsPlayed) {
  players.playSucceeds = false;
  alarm();
  EXPECT_EQ(console.lines.back(), "Unable to start alarm sound");
  EXPECT_NE(alarmPlayer(), nullptr);
}

TEST_F(AlarmSoundTest, VolumeProblemsDoNotStopTheSound) {
  hardware.device = kAudioObjectUnknown;
  alarm();
  EXPECT_EQ(console.lines, (std::vector<std::string>{"Audio device not found!", "Audio Device unknown",
                                                     "Sound was played"}));
}

}  // namespace
}  // namespace brannic
