#include "lid_alarm/volume_control.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>

namespace brannic {
namespace {

// Every transfer is four bytes and carries no qualifier.
constexpr std::uint32_t kDataSize = 4;

// "0x%0x": lower-case hexadecimal, no padding.
std::string hexId(AudioObjectID device) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%0x", static_cast<unsigned>(device));
  return text;
}

// "%5.2f": two decimals, right-aligned in five characters.
std::string fixedVolume(float volume) {
  char text[64];
  std::snprintf(text, sizeof text, "%5.2f", static_cast<double>(volume));
  return text;
}

// NaN is not ordered, so it is caught before the range checks.
float clampedVolume(float volume) {
  if (std::isnan(volume)) return 0.0f;
  return std::clamp(volume, 0.0f, 1.0f);
}

bool differs(float requested, float clamped) { return std::isnan(requested) || requested != clamped; }

OSStatus writeUInt32(AudioHardware& hardware, AudioObjectID device, const AudioObjectPropertyAddress& address,
                     std::uint32_t value) {
  return hardware.setPropertyData(device, address, 0, nullptr, kDataSize, &value);
}

// The device's mute can be read and written: it exists and says it is settable.
bool muteIsSettable(AudioHardware& hardware, AudioObjectID device) {
  if (!hardware.hasProperty(device, kMuteAddress)) return false;
  bool settable = false;
  return hardware.isPropertySettable(device, kMuteAddress, &settable) == noErr && settable;
}

}  // namespace

AudioObjectID defaultOutputDevice(AudioHardware& hardware, Console& console) {
  if (!hardware.hasProperty(kAudioObjectSystemObject, kDefaultOutputDeviceAddress)) {
    print(console, "Unable to get default audio device");
    return kAudioObjectUnknown;
  }
  AudioObjectID device = kAudioObjectUnknown;
  std::uint32_t size = kDataSize;
  if (hardware.getPropertyData(kAudioObjectSystemObject, kDefaultOutputDeviceAddress, 0, nullptr, &size,
                               &device) != noErr) {
    print(console, "Unable to get output audio device");
    // Whatever a failed read may have left behind is not a device.
    return kAudioObjectUnknown;
  }
  return device;
}

float systemVolume(AudioHardware& hardware, Console& console) {
  const AudioObjectID device = defaultOutputDevice(hardware, console);
  if (device == kAudioObjectUnknown) {
    print(console, "Audio device not found!");
    return 0.0f;
  }
  if (!hardware.hasProperty(device, kVolumeAddress)) {
    print(console, "No volume control for device " + hexId(device));
    return 0.0f;
  }
  float volume = 0.0f;
  std::uint32_t size = kDataSize;
  if (hardware.getPropertyData(device, kVolumeAddress, 0, nullptr, &size, &volume) != noErr) {
    print(console, "Unable to read volume for device " + hexId(device));
    return 0.0f;
  }
  return clampedVolume(volume);
}

void setSystemVolume(AudioHardware& hardware, Console& console, float volume, bool autoMute) {
  const AudioObjectID device = defaultOutputDevice(hardware, console);
  if (device == kAudioObjectUnknown) {
    print(console, "Audio Device unknown");
    return;
  }
  const float level = clampedVolume(volume);
  if (differs(volume, level)) {
    print(console, "Tentative volume (" + fixedVolume(volume) + ") was out of range; reset to " +
                       fixedVolume(level));
  }

  const bool muting = level < kMuteThreshold;
  bool muteSettable = true;
  bool volumeSettable = true;
  const AudioObjectPropertyAddress& selected = muting ? kMuteAddress : kVolumeAddress;
  if (muting && hardware.hasProperty(device, kMuteAddress)) {
    const OSStatus status = hardware.isPropertySettable(device, kMuteAddress, &muteSettable);
    if (status != noErr || !muteSettable) {
      muteSettable = false;
      print(console, "Should mute device " + hexId(device) + " but did not succeed");
    }
  }
  // A missing mute property ends here too, as the selected property.
  if (!hardware.hasProperty(device, selected)) {
    print(console, "The device " + hexId(device) + " does not have a volume to set");
    return;
  }
  const OSStatus settableStatus = hardware.isPropertySettable(device, selected, &volumeSettable);
  if (settableStatus != noErr || !volumeSettable) {
    print(console, "The volume of device " + hexId(device) + " cannot be set");
    return;
  }

  if (muting) {
    // Only a device that changed its answer between the two questions gets
    // here with an unsettable mute; it is left alone.
    if (!muteSettable) return;
    if (writeUInt32(hardware, device, kMuteAddress, 1) != noErr) {
      print(console, "The device " + hexId(device) + " was not muted");
    }
    return;
  }

  OSStatus status = hardware.setPropertyData(device, kVolumeAddress, 0, nullptr, kDataSize, &level);
  if (status != noErr) print(console, "The device " + hexId(device) + " was unable to set volume");
  if (autoMute) {
    // The unmute is tried without asking whether the device can mute; its
    // status is the one that counts from here on.
    status = writeUInt32(hardware, device, kMuteAddress, 0);
  }
  if (status != noErr) print(console, "Unable to set volume for device " + hexId(device));
}

bool isSystemMuted(AudioHardware& hardware, Console& console) {
  const AudioObjectID device = defaultOutputDevice(hardware, console);
  if (device == kAudioObjectUnknown) {
    print(console, "Audio device unknown");
    return false;
  }
  if (!muteIsSettable(hardware, device)) return false;
  std::uint32_t muted = 0;
  std::uint32_t size = kDataSize;
  // A failed read leaves 0: not muted.
  if (hardware.getPropertyData(device, kMuteAddress, 0, nullptr, &size, &muted) != noErr) muted = 0;
  return muted != 0;
}

void setSystemMuted(AudioHardware& hardware, Console& console, bool muted) {
  const AudioObjectID device = defaultOutputDevice(hardware, console);
  if (device == kAudioObjectUnknown) {
    print(console, "Audio device unknown");
    return;
  }
  if (!muteIsSettable(hardware, device)) return;
  if (writeUInt32(hardware, device, kMuteAddress, muted ? 1 : 0) != noErr) {
    print(console, "Cannot change mute status of device " + hexId(device));
  }
}

void fadeSystemVolumeToMute(AudioHardware& hardware, Console& console, RunLoop& runLoop, float seconds,
                            bool blocking) {
  if (isSystemMuted(hardware, console)) return;
  auto fade = [&hardware, &console, &runLoop, seconds] {
    // Ten seconds at most; zero, negative and NaN durations make no step.
    float remaining = seconds > 0.0f ? std::min(seconds, 10.0f) : 0.0f;
    const float original = systemVolume(hardware, console);
    if (remaining > 0.0f) {
      // The step is taken from the requested duration, so a fade asked for
      // longer than ten seconds stops short of zero before the mute.
      const float step = original / (seconds * 2.0f);
      while (remaining > 0.0f) {
        setSystemVolume(hardware, console, systemVolume(hardware, console) - step, true);
        runLoop.sleepForTimeInterval(0.5);
        remaining -= 0.5f;
      }
    }
    setSystemMuted(hardware, console, true);
    setSystemVolume(hardware, console, original, false);
  };
  if (blocking) {
    fade();
  } else {
    runLoop.dispatchAsyncGlobal(fade);
  }
}

}  // namespace brannic
