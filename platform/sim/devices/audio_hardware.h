// The simulated default output device, behind CoreAudio's four calls.
// System object 1 answers the default-output-device query; the device has a
// virtual main volume (Float32) and a mute (UInt32) on the output scope.
#pragma once

#include <cstdint>
#include <mutex>

#include "platform/audio_hardware.h"
#include "platform/sim/base/transcript.h"

namespace brannic::sim {

enum class PropertyShape {
  present,   // present, settable, readable
  absent,    // AudioObjectHasProperty answers false
  readonly,  // present, not settable, readable
  failing,   // present, claims settable, every read and write fails
};
enum class DefaultDeviceShape { present, absent, failing };

class SimAudioHardware final : public AudioHardware {
 public:
  static constexpr AudioObjectID kDefaultDeviceId = 73;
  // A failing call answers this status ('who?', kAudioHardwareUnknownPropertyError),
  // and so does any call on a property the object lacks.
  static constexpr OSStatus kFailureStatus = 0x77686F3F;
  // A call on an object that does not exist ('!obj', kAudioHardwareBadObjectError).
  static constexpr OSStatus kBadObjectStatus = 0x216F626A;
  // A transfer of other than four bytes ('!siz', kAudioHardwareBadPropertySizeError).
  static constexpr OSStatus kBadSizeStatus = 0x2173697A;
  // A write to a read-only property ('nope', kAudioHardwareIllegalOperationError).
  static constexpr OSStatus kReadOnlyStatus = 0x6E6F7065;

  // `transcript` may be null (unit tests). Accepted writes of the app print
  // `audio: volume 0.99` / `audio: mute 1`.
  explicit SimAudioHardware(Transcript* transcript);
  SimAudioHardware(const SimAudioHardware&) = delete;
  SimAudioHardware& operator=(const SimAudioHardware&) = delete;

  // The machine's side (script commands); no transcript line.
  void setDefaultDevice(DefaultDeviceShape shape);
  void setDeviceId(AudioObjectID id);  // 0: the query succeeds with 0
  void setVolumeProperty(PropertyShape shape);
  void setMuteProperty(PropertyShape shape);
  void setStoredVolume(float volume);  // stored as given, even outside 0...1
  void setStoredMute(std::uint32_t mute);
  float storedVolume() const;
  std::uint32_t storedMute() const;
  AudioObjectID deviceId() const;

  bool hasProperty(AudioObjectID object, const AudioObjectPropertyAddress& address) override;
  OSStatus isPropertySettable(AudioObjectID object, const AudioObjectPropertyAddress& address,
                              bool* outIsSettable) override;
  OSStatus getPropertyData(AudioObjectID object, const AudioObjectPropertyAddress& address,
                           std::uint32_t qualifierDataSize, const void* qualifierData,
                           std::uint32_t* ioDataSize, void* outData) override;
  OSStatus setPropertyData(AudioObjectID object, const AudioObjectPropertyAddress& address,
                           std::uint32_t qualifierDataSize, const void* qualifierData, std::uint32_t dataSize,
                           const void* data) override;

 private:
  enum class Target { systemDefaultDevice, deviceVolume, deviceMute, none };
  // Which property of the machine an address on an object names.
  Target targetOf(AudioObjectID object, const AudioObjectPropertyAddress& address) const;
  PropertyShape shapeOf(Target target) const;
  bool objectExists(AudioObjectID object) const;

  mutable std::mutex mutex_;  // a fade may run on a background queue
  Transcript* transcript_;
  DefaultDeviceShape defaultDevice_ = DefaultDeviceShape::present;
  AudioObjectID deviceId_ = kDefaultDeviceId;
  PropertyShape volumeShape_ = PropertyShape::present;
  PropertyShape muteShape_ = PropertyShape::present;
  float volume_ = 0.5f;
  std::uint32_t mute_ = 0;
};

}  // namespace brannic::sim
