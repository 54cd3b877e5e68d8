// The audio binding against CoreAudio. The tests named AudioOutputDevice need
// a default output device with a volume and carry the label macos-audio, so
// a machine without one can leave them out; they only read.
#include <gtest/gtest.h>

#include <string>

#include "lid_alarm/volume_control.h"
#include "platform/macos/audio_hardware_mac.h"
#include "tests/fakes/recording_logs.h"

namespace brannic {
namespace {

std::string joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

TEST(AudioOutputDevice, ReadsTheDefaultDeviceAndItsVolumeWithoutChangingThem) {
  mac::MacAudioHardware hardware;
  testing::RecordingConsole console;
  const AudioObjectID device = defaultOutputDevice(hardware, console);
  ASSERT_NE(device, kAudioObjectUnknown) << "no default output device:\n" << joined(console.lines);
  ASSERT_TRUE(hardware.hasProperty(device, kVolumeAddress)) << "the default output device has no volume";

  const float volume = systemVolume(hardware, console);
  EXPECT_GE(volume, 0.0f);
  EXPECT_LE(volume, 1.0f);
  float direct = -1.0f;
  std::uint32_t size = sizeof direct;
  EXPECT_EQ(hardware.getPropertyData(device, kVolumeAddress, 0, nullptr, &size, &direct), noErr);
  EXPECT_EQ(size, sizeof direct);
  EXPECT_EQ(direct, volume);
  bool settable = false;
  EXPECT_EQ(hardware.isPropertySettable(device, kVolumeAddress, &settable), noErr);

  EXPECT_EQ(defaultOutputDevice(hardware, console), device);
  EXPECT_EQ(systemVolume(hardware, console), volume);
  EXPECT_TRUE(console.lines.empty()) << joined(console.lines);
}

// No device needed: a failure comes back as CoreAudio's status.
TEST(AudioHardwareBinding, ReportsAnUnknownObjectAsAFailure) {
  mac::MacAudioHardware hardware;
  EXPECT_FALSE(hardware.hasProperty(kAudioObjectUnknown, kVolumeAddress));
  float volume = 0.5f;
  std::uint32_t size = sizeof volume;
  EXPECT_NE(hardware.getPropertyData(kAudioObjectUnknown, kVolumeAddress, 0, nullptr, &size, &volume), noErr);
  EXPECT_NE(hardware.setPropertyData(kAudioObjectUnknown, kVolumeAddress, 0, nullptr, sizeof volume, &volume),
            noErr);
}

}  // namespace
}  // namespace brannic
