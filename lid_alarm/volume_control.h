// Reading and changing the loudness and mute state of the system's current
// default output device. Every operation looks the device up afresh, keeps no
// state, and reports each failure as one console line; the callers get only
// the neutral result (device 0, volume 0.0, not muted).
//
// Threads: any thread. The operations share nothing, so none takes a lock;
// the ports they are given must be safe to call from the caller's thread.
#pragma once

#include "platform/audio_hardware.h"
#include "platform/console.h"
#include "platform/run_loop.h"

namespace brannic {

// Below this level a requested volume mutes the device instead of setting it.
inline constexpr float kMuteThreshold = 0.05f;

// The property addresses the module uses, all on the main element.
inline constexpr AudioObjectPropertyAddress kDefaultOutputDeviceAddress{
    kAudioHardwarePropertyDefaultOutputDevice, kAudioObjectPropertyScopeGlobal,
    kAudioObjectPropertyElementMain};
inline constexpr AudioObjectPropertyAddress kVolumeAddress{
    kAudioHardwareServiceDeviceProperty_VirtualMainVolume, kAudioDevicePropertyScopeOutput,
    kAudioObjectPropertyElementMain};
inline constexpr AudioObjectPropertyAddress kMuteAddress{
    kAudioDevicePropertyMute, kAudioDevicePropertyScopeOutput, kAudioObjectPropertyElementMain};

// The identifier of the default output device, or 0 when there is none (or
// the query fails).
AudioObjectID defaultOutputDevice(AudioHardware& hardware, Console& console);

// The device's volume, always within 0.0...1.0; 0.0 on any failure.
float systemVolume(AudioHardware& hardware, Console& console);

// Sets the volume, clamped to 0.0...1.0 (a NaN counts as out of range and
// becomes 0.0). A level below kMuteThreshold mutes the device instead and
// leaves its level alone. With `autoMute`, setting a level also unmutes.
void setSystemVolume(AudioHardware& hardware, Console& console, float volume, bool autoMute);

// No caller in the application; kept as the volume control defines it.
// Whether the device is muted; false when its mute cannot be set or on any
// failure.
bool isSystemMuted(AudioHardware& hardware, Console& console);

// No caller in the application; kept as the volume control defines it.
// Mutes or unmutes the device, when its mute can be set.
void setSystemMuted(AudioHardware& hardware, Console& console, bool muted);

// No caller in the application; kept as the volume control defines it.
// Lowers the volume in 0.5-second steps over `seconds` (at most 10 are
// used), then mutes the device and stores its former level again. Nothing
// happens on a device that already reads as muted. Zero, negative and NaN
// seconds mute at once. Blocking runs the fade on the calling thread (it
// sleeps between steps); otherwise the fade is submitted to the global queue
// and the call returns at once.
// REQUIRES: for a non-blocking fade, the three ports outlive the fade.
void fadeSystemVolumeToMute(AudioHardware& hardware, Console& console, RunLoop& runLoop, float seconds,
                            bool blocking);

}  // namespace brannic
