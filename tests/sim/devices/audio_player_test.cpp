// The simulated audio player: which files open, what playing prints, the end
// of a sound on the run loop's clock, and the alarm with the shipped sound.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "build_config.h"
#include "lid_alarm/view_controller.h"
#include "platform/sim/devices/audio_hardware.h"
#include "platform/sim/devices/audio_player.h"
#include "platform/sim/run_loop/run_loop.h"
#include "tests/fakes/recording_logs.h"
#include "tests/sim/devices/mp3_test_frames.h"
#include "tests/sim/recording_transcript.h"
#include "tests/support/temp_dir.h"

namespace brannic::sim {
namespace {

using Lines = std::vector<std::string>;
using testing::frame;
using testing::kMpeg1Header;
using testing::kMpeg2Header;
using testing::tagged;

// A bundle whose resources live in one folder.
class FolderBundle final : public Bundle {
 public:
  explicit FolderBundle(std::string resources) : resources_(std::move(resources)) {}
  std::string bundleURL() override { return resources_; }
  std::optional<std::string> urlForResource(std::string_view name, std::string_view extension) override {
    const std::string path = resources_ + "/" + std::string(name) + "." + std::string(extension);
    if (!std::filesystem::exists(path)) return std::nullopt;
    return path;
  }
  std::optional<PropertyValue> copyInfoDictionaryForURL(const std::string&) override { return std::nullopt; }

 private:
  std::string resources_;
};

TEST(SimAlarmTest, AlarmsOnTheSimulatedMachineWithTheShippedSound) {
  releaseAlarmPlayer();
  testing::RecordingTranscript recorded;
  testing::RecordingConsole console;
  SimAudioHardware hardware(&recorded.transcript());
  hardware.setStoredMute(1);
  SimAudioPlayerFactory players(&recorded.transcript());
  FolderBundle bundle(BRANNIC_SOURCE_DIR "/resources");

  playAlarmSound(bundle, players, hardware, console);
  playAlarmSound(bundle, players, hardware, console);
  EXPECT_EQ(recorded.lines(), (Lines{"audio: volume 1.00", "audio: mute 0", "sound: play Final.mp3",
                                   "sound: stop", "audio: volume 1.00", "audio: mute 0",
                                   "sound: play Final.mp3"}));
  EXPECT_EQ(console.lines.back(), "Sound was played");
  EXPECT_TRUE(players.isPlaying());
  releaseAlarmPlayer();
  EXPECT_FALSE(players.isPlaying());
}

class SimAudioPlayerTest : public ::testing::Test {
 protected:
  std::string write(const std::string& name, const std::string& bytes) {
    const auto path = folder.path() / name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path.string();
  }

  testing::TempDir folder;
  testing::RecordingTranscript recorded;
};

TEST_F(SimAudioPlayerTest, OpensOnlyReadableMp3Files) {
  SimAudioPlayerFactory players(&recorded.transcript());
  struct Case {
    std::string url;
    std::string error;  // empty: opens
  };
  const Case cases[] = {
      {BRANNIC_SOURCE_DIR "/resources/Final.mp3", ""},
      {write("Tagged.mp3", tagged(frame(kMpeg2Header, 104))), ""},
      {write("CutOff.mp3", frame(kMpeg2Header, 50)), ""},
      {write("Final.txt", "not a sound"), "Final.txt is not an MP3 file"},
      {write("Empty.mp3", ""), "Empty.mp3 is not an MP3 file"},
      {write("Cut.mp3", tagged("")), "Cut.mp3 is not an MP3 file"},
      {(folder.path() / "Missing.mp3").string(), "cannot open Missing.mp3: No such file or directory"},
      {folder.path().string(), "cannot open " + folder.path().filename().string() + ": not a regular file"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.url);
    std::string error = "untouched";
    const auto player = players.playerWithContentsOfURL(c.url, &error);
    EXPECT_EQ(player != nullptr, c.error.empty());
    if (!c.error.empty()) {
      EXPECT_EQ(error, c.error);
    }
    EXPECT_EQ(players.playerWithContentsOfURL(c.url, nullptr) != nullptr, c.error.empty());
  }
  EXPECT_TRUE(recorded.lines().empty());
}

TEST_F(SimAudioPlayerTest, ReportsStartAndReleaseOfAPlayingPlayerOnly) {
  SimAudioPlayerFactory players(&recorded.transcript());
  const std::string url = write("Alarm \"1\".mp3", frame(kMpeg1Header, 417));
  auto idle = players.playerWithContentsOfURL(url, nullptr);
  auto playing = players.playerWithContentsOfURL(url, nullptr);
  EXPECT_TRUE(playing->play());
  EXPECT_TRUE(playing->play());  // already playing: goes on, no second line
  EXPECT_TRUE(players.isPlaying());
  idle.reset();
  playing.reset();
  EXPECT_FALSE(players.isPlaying());
  EXPECT_EQ(recorded.lines(), (Lines{"sound: play Alarm \"1\".mp3", "sound: stop"}));
}

TEST_F(SimAudioPlayerTest, PlayerMayOutliveItsFactory) {
  std::unique_ptr<AudioPlayer> player;
  {
    SimAudioPlayerFactory players(&recorded.transcript());
    player = players.playerWithContentsOfURL(write("Final.mp3", frame(kMpeg1Header, 417)), nullptr);
    player->play();
  }
  player.reset();  // the transcript is detached: nothing more is written
  EXPECT_EQ(recorded.lines(), Lines{"sound: play Final.mp3"});
}

TEST_F(SimAudioPlayerTest, AFileWithoutAWholeFrameOpensButDoesNotPlay) {
  SimAudioPlayerFactory players(&recorded.transcript());
  auto player = players.playerWithContentsOfURL(write("Final.mp3", frame(kMpeg2Header, 50)), nullptr);
  ASSERT_NE(player, nullptr);
  EXPECT_FALSE(player->play());
  EXPECT_FALSE(players.isPlaying());
  player.reset();
  EXPECT_TRUE(recorded.lines().empty());
}

// The shipped sound on the virtual clock: 64 frames of 576 samples at
// 22.05 kHz, 1.6718 s.
class SimSoundEndTest : public SimAudioPlayerTest {
 protected:
  std::unique_ptr<AudioPlayer> startShippedSound() {
    auto player = players.playerWithContentsOfURL(BRANNIC_SOURCE_DIR "/resources/Final.mp3", nullptr);
    EXPECT_TRUE(player->play());
    return player;
  }

  SimRunLoop loop{ClockKind::virtualClock};
  SimAudioPlayerFactory players{&recorded.transcript(), &loop};
};

TEST_F(SimSoundEndTest, TheSoundEndsAfterItsFramesAndTheLaterReleaseIsSilent) {
  auto player = startShippedSound();
  loop.advance(1.67);
  EXPECT_TRUE(players.isPlaying());
  EXPECT_EQ(recorded.lines(), Lines{"sound: play Final.mp3"});
  loop.advance(0.002);
  EXPECT_FALSE(players.isPlaying());
  player.reset();
  EXPECT_EQ(recorded.lines(), (Lines{"sound: play Final.mp3", "sound: end Final.mp3"}));
}

TEST_F(SimSoundEndTest, ReleasingAPlayingPlayerStopsTheSoundBeforeItsEnd) {
  auto player = startShippedSound();
  loop.advance(1);
  player.reset();
  loop.advance(5);
  EXPECT_FALSE(players.isPlaying());
  EXPECT_EQ(recorded.lines(), (Lines{"sound: play Final.mp3", "sound: stop"}));
}

TEST_F(SimSoundEndTest, PlayingAgainAfterTheEndStartsFromTheBeginning) {
  auto player = startShippedSound();
  loop.advance(2);
  EXPECT_TRUE(player->play());
  loop.advance(1);
  EXPECT_TRUE(players.isPlaying());
  loop.advance(1);
  EXPECT_EQ(recorded.lines(), (Lines{"sound: play Final.mp3", "sound: end Final.mp3", "sound: play Final.mp3",
                                   "sound: end Final.mp3"}));
}

}  // namespace
}  // namespace brannic::sim
