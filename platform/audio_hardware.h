// CoreAudio's hardware-object calls: the whole of what the volume control
// needs from the platform.
#pragma once

#include <cstdint>

namespace brannic {

using OSStatus = std::int32_t;
using AudioObjectID = std::uint32_t;
using AudioObjectPropertySelector = std::uint32_t;
using AudioObjectPropertyScope = std::uint32_t;
using AudioObjectPropertyElement = std::uint32_t;

inline constexpr OSStatus noErr = 0;

struct AudioObjectPropertyAddress {
  AudioObjectPropertySelector mSelector;
  AudioObjectPropertyScope mScope;
  AudioObjectPropertyElement mElement;
};

inline constexpr AudioObjectID kAudioObjectUnknown = 0;
inline constexpr AudioObjectID kAudioObjectSystemObject = 1;
inline constexpr AudioObjectPropertySelector kAudioHardwarePropertyDefaultOutputDevice = 0x644F7574;  // 'dOut'
inline constexpr AudioObjectPropertySelector kAudioHardwareServiceDeviceProperty_VirtualMainVolume = 0x766D7663;  // 'vmvc'
inline constexpr AudioObjectPropertySelector kAudioDevicePropertyMute = 0x6D757465;  // 'mute'
inline constexpr AudioObjectPropertyScope kAudioObjectPropertyScopeGlobal = 0x676C6F62;  // 'glob'
inline constexpr AudioObjectPropertyScope kAudioDevicePropertyScopeOutput = 0x6F757470;  // 'outp'
inline constexpr AudioObjectPropertyElement kAudioObjectPropertyElementMain = 0;

class AudioHardware {
 public:
  virtual ~AudioHardware() = default;
  // AudioObjectHasProperty.
  virtual bool hasProperty(AudioObjectID object, const AudioObjectPropertyAddress& address) = 0;
  // AudioObjectIsPropertySettable.
  virtual OSStatus isPropertySettable(AudioObjectID object, const AudioObjectPropertyAddress& address,
                                      bool* outIsSettable) = 0;
  // AudioObjectGetPropertyData. REQUIRES: *ioDataSize bytes writable at outData.
  virtual OSStatus getPropertyData(AudioObjectID object, const AudioObjectPropertyAddress& address,
                                   std::uint32_t qualifierDataSize, const void* qualifierData,
                                   std::uint32_t* ioDataSize, void* outData) = 0;
  // AudioObjectSetPropertyData.
  virtual OSStatus setPropertyData(AudioObjectID object, const AudioObjectPropertyAddress& address,
                                   std::uint32_t qualifierDataSize, const void* qualifierData,
                                   std::uint32_t dataSize, const void* data) = 0;
};

}  // namespace brannic
