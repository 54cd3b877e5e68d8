// The simulated output device, alone and under the volume control: the
// property shapes it answers for, the default device, and what it prints.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "lid_alarm/volume_control.h"
#include "platform/run_loop.h"
#include "platform/sim/devices/audio_hardware.h"
#include "tests/fakes/recording_logs.h"
#include "tests/sim/recording_transcript.h"
#include "tests/support/case_name.h"

namespace brannic::sim {
namespace {

using Lines = std::vector<std::string>;

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
  testing::RecordingTranscript recorded;
  SimAudioHardware hardware(&recorded.transcript());
  hardware.setStoredVolume(1.7f);  // the machine may store any value
  hardware.setStoredMute(1);
  testing::RecordingConsole console;
  EXPECT_EQ(systemVolume(hardware, console), 1.0f);
  EXPECT_EQ(hardware.storedVolume(), 1.7f);

  setSystemVolume(hardware, console, 0.987f, true);
  setSystemMuted(hardware, console, true);
  hardware.setMuteProperty(PropertyShape::readonly);
  setSystemMuted(hardware, console, false);  // not settable: no write, no line
  EXPECT_EQ(recorded.lines(), (Lines{"audio: volume 0.99", "audio: mute 0", "audio: mute 1"}));
  EXPECT_EQ(hardware.storedMute(), 1u);
  EXPECT_TRUE(console.lines.empty());
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
  testing::RecordingTranscript recorded;
  SimAudioHardware hardware(&recorded.transcript());
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
  EXPECT_EQ(recorded.lines().back(), "audio: volume 0.50");
}

}  // namespace
}  // namespace brannic::sim
