// The simulated output device and audio player, alone and under the volume
// control and the alarm.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "build_config.h"
#include "lid_alarm/view_controller.h"
#include "lid_alarm/volume_control.h"
#include "platform/sim/devices/audio_hardware.h"
#include "platform/sim/devices/audio_player.h"
#include "platform/sim/base/transcript.h"
#include "tests/fakes/recording_logs.h"
#include "tests/lid_alarm/case_name.h"
#include "tests/lid_alarm/temp_dir.h"

namespace brannic::sim {
namespace {

using Lines = std::vector<std::string>;
using namespace std::string_literals;

struct RecordedTranscript {
  Lines lines;
  Transcript transcript{[this](const std::string& line) { lines.push_back(line); }};
};

// What each call answers for one property shape, read through the port.
struct ShapeAnswers {
  bool has;
  OSStatus settableStatus;
  bool settable;
  OSStatus readStatus;
  OSStatus writeStatus;
};

ShapeAnswers answersFor(SimAudioHardware& hardware, AudioObjectID object,
                        const AudioObjectPropertyAddress& address) {
  ShapeAnswers answers{};
  answers.has = hardware.hasProperty(object, address);
  answers.settableStatus = hardware.isPropertySettable(object, address, &answers.settable);
  std::uint32_t value = 0;
  std::uint32_t size = 4;
  answers.readStatus = hardware.getPropertyData(object, address, 0, nullptr, &size, &value);
  const std::uint32_t zero = 0;
  answers.writeStatus = hardware.setPropertyData(object, address, 0, nullptr, 4, &zero);
  return answers;
}

struct ShapeCase {
  const char* name;
  PropertyShape shape;
  ShapeAnswers expected;
};

class SimDevicePropertyShapeTest : public ::testing::TestWithParam<ShapeCase> {};

TEST_P(SimDevicePropertyShapeTest, VolumeAndMuteAnswerAsTheirShapeSays) {
  const ShapeCase& c = GetParam();
  for (const AudioObjectPropertyAddress& address : {kVolumeAddress, kMuteAddress}) {
    SimAudioHardware hardware(nullptr);
    hardware.setVolumeProperty(c.shape);
    hardware.setMuteProperty(c.shape);
    const ShapeAnswers got = answersFor(hardware, SimAudioHardware::kDefaultDeviceId, address);
    SCOPED_TRACE(address.mSelector);
    EXPECT_EQ(got.has, c.expected.has);
    EXPECT_EQ(got.settableStatus, c.expected.settableStatus);
    if (got.settableStatus == noErr) {
      EXPECT_EQ(got.settable, c.expected.settable);
    }
    EXPECT_EQ(got.readStatus, c.expected.readStatus);
    EXPECT_EQ(got.writeStatus, c.expected.writeStatus);
  }
}

constexpr OSStatus kWho = SimAudioHardware::kFailureStatus;
const ShapeCase kShapeCases[] = {
    {"Present", PropertyShape::present, {true, noErr, true, noErr, noErr}},
    {"Absent", PropertyShape::absent, {false, kWho, false, kWho, kWho}},
    {"ReadOnly", PropertyShape::readonly, {true, noErr, false, noErr, SimAudioHardware::kReadOnlyStatus}},
    {"Failing", PropertyShape::failing, {true, noErr, true, kWho, kWho}},
};

INSTANTIATE_TEST_SUITE_P(Shapes, SimDevicePropertyShapeTest, ::testing::ValuesIn(kShapeCases),
                         testing::CaseName());

TEST(SimAudioHardwareTest, OnlyTheModulesAddressesExist) {
  SimAudioHardware hardware(nullptr);
  const AudioObjectID device = SimAudioHardware::kDefaultDeviceId;
  const AudioObjectPropertyAddress inputVolume{kAudioHardwareServiceDeviceProperty_VirtualMainVolume,
                                               0x696E7074 /* 'inpt' */, 0};
  const AudioObjectPropertyAddress leftChannel{kAudioHardwareServiceDeviceProperty_VirtualMainVolume,
                                               kAudioDevicePropertyScopeOutput, 1};
  EXPECT_TRUE(hardware.hasProperty(kAudioObjectSystemObject, kDefaultOutputDeviceAddress));
  EXPECT_FALSE(hardware.hasProperty(device, kDefaultOutputDeviceAddress));
  EXPECT_FALSE(hardware.hasProperty(kAudioObjectSystemObject, kVolumeAddress));
  EXPECT_FALSE(hardware.hasProperty(device, inputVolume));
  EXPECT_FALSE(hardware.hasProperty(device, leftChannel));
  bool settable = false;
  EXPECT_EQ(hardware.isPropertySettable(99, kVolumeAddress, &settable), SimAudioHardware::kBadObjectStatus);

  float volume = 0;
  std::uint32_t shortSize = 2;
  EXPECT_EQ(hardware.getPropertyData(device, kVolumeAddress, 0, nullptr, &shortSize, &volume),
            SimAudioHardware::kBadSizeStatus);
  const double wide = 0.3;
  EXPECT_EQ(hardware.setPropertyData(device, kVolumeAddress, 0, nullptr, sizeof wide, &wide),
            SimAudioHardware::kBadSizeStatus);
  EXPECT_EQ(hardware.storedVolume(), 0.5f);
}

struct DefaultDeviceCase {
  const char* name;
  std::function<void(SimAudioHardware&)> setup;
  AudioObjectID device;
  Lines lines;
};

class SimDefaultDeviceTest : public ::testing::TestWithParam<DefaultDeviceCase> {};

TEST_P(SimDefaultDeviceTest, LookupThroughTheVolumeControl) {
  SimAudioHardware hardware(nullptr);
  GetParam().setup(hardware);
  testing::RecordingConsole console;
  EXPECT_EQ(defaultOutputDevice(hardware, console), GetParam().device);
  EXPECT_EQ(console.lines, GetParam().lines);
}

const DefaultDeviceCase kDefaultDeviceCases[] = {
    {"Present", [](SimAudioHardware&) {}, 73, {}},
    {"OtherId", [](SimAudioHardware& h) { h.setDeviceId(0x1A2B); }, 0x1A2B, {}},
    {"NoneAnswersZero", [](SimAudioHardware& h) { h.setDeviceId(0); }, 0, {}},
    {"Absent", [](SimAudioHardware& h) { h.setDefaultDevice(DefaultDeviceShape::absent); }, 0,
     {"Unable to get default audio device"}},
    {"Failing", [](SimAudioHardware& h) { h.setDefaultDevice(DefaultDeviceShape::failing); }, 0,
     {"Unable to get output audio device"}},
};

INSTANTIATE_TEST_SUITE_P(Shapes, SimDefaultDeviceTest, ::testing::ValuesIn(kDefaultDeviceCases),
                         testing::CaseName());

TEST(SimAudioHardwareTest, AppWritesGoToTheTranscriptAndMachineSettingsDoNot) {
  RecordedTranscript recorded;
  SimAudioHardware hardware(&recorded.transcript);
  hardware.setStoredVolume(1.7f);  // the machine may store any value
  hardware.setStoredMute(1);
  testing::RecordingConsole console;
  EXPECT_EQ(systemVolume(hardware, console), 1.0f);
  EXPECT_EQ(hardware.storedVolume(), 1.7f);

  setSystemVolume(hardware, console, 0.987f, true);
  setSystemMuted(hardware, console, true);
  hardware.setMuteProperty(PropertyShape::readonly);
  setSystemMuted(hardware, console, false);  // not settable: no write, no line
  EXPECT_EQ(recorded.lines, (Lines{"audio: volume 0.99", "audio: mute 0", "audio: mute 1"}));
  EXPECT_EQ(hardware.storedMute(), 1u);
  EXPECT_TRUE(console.lines.empty());
}

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
  RecordedTranscript recorded;
  testing::RecordingConsole console;
  SimAudioHardware hardware(&recorded.transcript);
  hardware.setStoredMute(1);
  SimAudioPlayerFactory players(&recorded.transcript);
  FolderBundle bundle(BRANNIC_SOURCE_DIR "/resources");

  playAlarmSound(bundle, players, hardware, console);
  playAlarmSound(bundle, players, hardware, console);
  EXPECT_EQ(recorded.lines, (Lines{"audio: volume 1.00", "audio: mute 0", "sound: play Final.mp3",
                                   "sound: stop", "audio: volume 1.00", "audio: mute 0",
                                   "sound: play Final.mp3"}));
  EXPECT_EQ(console.lines.back(), "Sound was played");
  EXPECT_TRUE(players.isPlaying());
  releaseAlarmPlayer();
  EXPECT_FALSE(players.isPlaying());
}

struct Mp3Case {
  const char* name;
  std::string bytes;
  bool mp3;
};

class LooksLikeMp3Test : public ::testing::TestWithParam<Mp3Case> {};

TEST_P(LooksLikeMp3Test, ChecksTagAndFrameHeader) {
  EXPECT_EQ(looksLikeMp3(GetParam().bytes), GetParam().mp3);
}

// An ID3v2.3 tag with 5 bytes of body, followed by `after`.
std::string tagged(const std::string& after, char flags = 0) {
  return "ID3\x03\x00"s + flags + "\x00\x00\x00\x05"s + "abcde" + after;
}
const std::string kMpeg1Frame = "\xFF\xFB\x90\x64"s;  // MPEG-1 Layer III, 128 kbit/s, 44.1 kHz
const std::string kMpeg2Frame = "\xFF\xF3\x40\xC4"s;  // MPEG-2 Layer III, as the shipped sound

const Mp3Case kMp3Cases[] = {
    {"Mpeg1Frame", kMpeg1Frame, true},
    {"Mpeg2Frame", kMpeg2Frame, true},
    {"Mpeg25Frame", "\xFF\xE3\x40\xC4"s, true},
    {"TaggedFrame", tagged(kMpeg1Frame), true},
    {"Id3v24WithFooter", "ID3\x04\x00\x10\x00\x00\x00\x01"s + "x" + std::string(10, 'F') + kMpeg1Frame, true},
    {"Empty", "", false},
    {"ShortFrame", "\xFF\xFB\x90", false},
    {"Text", "This is not a sound\n", false},
    {"NoSync", "\xFF\x1B\x90\x64"s, false},
    {"ReservedVersion", "\xFF\xEB\x90\x64"s, false},
    {"LayerTwo", "\xFF\xFD\x90\x64"s, false},
    {"ReservedLayer", "\xFF\xF9\x90\x64"s, false},
    {"BadBitRate", "\xFF\xFB\xF0\x64"s, false},
    {"ReservedSampleRate", "\xFF\xFB\x9C\x64"s, false},
    {"ReservedEmphasis", "\xFF\xFB\x90\x66"s, false},
    {"TagWithoutAudio", tagged(""), false},
    {"TagFollowedByText", tagged("text"), false},
    {"TagWithBadSize", "ID3\x03\x00\x00\x00\x00\x80\x05"s + "abcde" + kMpeg1Frame, false},
    {"TagOfUnknownVersion", "ID3\x09\x00\x00\x00\x00\x00\x05"s + "abcde" + kMpeg1Frame, false},
    {"WaveFile", "RIFF\x24\x00\x00\x00WAVEfmt "s, false},
};

INSTANTIATE_TEST_SUITE_P(Cases, LooksLikeMp3Test, ::testing::ValuesIn(kMp3Cases),
                         testing::CaseName());

class SimAudioPlayerTest : public ::testing::Test {
 protected:
  std::string write(const std::string& name, const std::string& bytes) {
    const auto path = folder.path() / name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path.string();
  }

  testing::TempDir folder;
  RecordedTranscript recorded;
};

TEST_F(SimAudioPlayerTest, OpensOnlyReadableMp3Files) {
  SimAudioPlayerFactory players(&recorded.transcript);
  struct Case {
    std::string url;
    std::string error;  // empty: opens
  };
  const Case cases[] = {
      {BRANNIC_SOURCE_DIR "/resources/Final.mp3", ""},
      {write("Tagged.mp3", tagged(kMpeg2Frame + std::string(100, '\0'))), ""},
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
  EXPECT_TRUE(recorded.lines.empty());
}

TEST_F(SimAudioPlayerTest, ReportsStartAndReleaseOfAPlayingPlayerOnly) {
  SimAudioPlayerFactory players(&recorded.transcript);
  const std::string url = write("Alarm \"1\".mp3", kMpeg1Frame);
  auto idle = players.playerWithContentsOfURL(url, nullptr);
  auto playing = players.playerWithContentsOfURL(url, nullptr);
  EXPECT_TRUE(playing->play());
  EXPECT_TRUE(playing->play());  // already playing: goes on, no second line
  EXPECT_TRUE(players.isPlaying());
  idle.reset();
  playing.reset();
  EXPECT_FALSE(players.isPlaying());
  EXPECT_EQ(recorded.lines, (Lines{"sound: play Alarm \"1\".mp3", "sound: stop"}));
}

TEST_F(SimAudioPlayerTest, PlayerMayOutliveItsFactory) {
  std::unique_ptr<AudioPlayer> player;
  {
    SimAudioPlayerFactory players(&recorded.transcript);
    player = players.playerWithContentsOfURL(write("Final.mp3", kMpeg1Frame), nullptr);
    player->play();
  }
  player.reset();  // the transcript is detached: nothing more is written
  EXPECT_EQ(recorded.lines, Lines{"sound: play Final.mp3"});
}

// A run loop whose global queue is a real thread, as on the platform.
class ThreadedGlobalQueue final : public RunLoop {
 public:
  ~ThreadedGlobalQueue() override { join(); }
  void addOperationToMainQueue(Block) override {}
  void dispatchAsyncMain(Block) override {}
  void dispatchAsyncGlobal(Block block) override { worker_ = std::thread(std::move(block)); }
  std::shared_ptr<Timer> scheduleRepeatingTimer(double, std::function<void(Timer&)>) override {
    return nullptr;
  }
  void sleepForTimeInterval(double) override { std::this_thread::yield(); }
  void join() {
    if (worker_.joinable()) worker_.join();
  }

 private:
  std::thread worker_;
};

TEST(SimAudioHardwareTest, BackgroundFadeAndMainThreadCallsShareTheDevice) {
  RecordedTranscript recorded;
  SimAudioHardware hardware(&recorded.transcript);
  testing::RecordingConsole console;
  ThreadedGlobalQueue queue;
  fadeSystemVolumeToMute(hardware, console, queue, 10.0f, false);
  for (int i = 0; i < 200; ++i) {
    const float volume = systemVolume(hardware, console);
    EXPECT_GE(volume, 0.0f);
    EXPECT_LE(volume, 0.5f);
  }
  queue.join();
  EXPECT_EQ(hardware.storedMute(), 1u);
  EXPECT_EQ(hardware.storedVolume(), 0.5f);
  EXPECT_EQ(recorded.lines.back(), "audio: volume 0.50");
}

}  // namespace
}  // namespace brannic::sim
