#include "platform/sim/devices/audio_hardware.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace brannic::sim {
namespace {

constexpr std::uint32_t kValueSize = 4;

bool sameAddress(const AudioObjectPropertyAddress& a, AudioObjectPropertySelector selector,
                 AudioObjectPropertyScope scope) {
  return a.mSelector == selector && a.mScope == scope && a.mElement == kAudioObjectPropertyElementMain;
}

PropertyShape shapeOfDefaultDevice(DefaultDeviceShape shape) {
  switch (shape) {
    case DefaultDeviceShape::present: return PropertyShape::present;
    case DefaultDeviceShape::absent: return PropertyShape::absent;
    case DefaultDeviceShape::failing: return PropertyShape::failing;
  }
  return PropertyShape::absent;
}

}  // namespace

SimAudioHardware::SimAudioHardware(Transcript* transcript) : transcript_(transcript) {}

void SimAudioHardware::setDefaultDevice(DefaultDeviceShape shape) {
  std::lock_guard lock(mutex_);
  defaultDevice_ = shape;
}

void SimAudioHardware::setDeviceId(AudioObjectID id) {
  std::lock_guard lock(mutex_);
  deviceId_ = id;
}

void SimAudioHardware::setVolumeProperty(PropertyShape shape) {
  std::lock_guard lock(mutex_);
  volumeShape_ = shape;
}

void SimAudioHardware::setMuteProperty(PropertyShape shape) {
  std::lock_guard lock(mutex_);
  muteShape_ = shape;
}

void SimAudioHardware::setStoredVolume(float volume) {
  std::lock_guard lock(mutex_);
  volume_ = volume;
}

void SimAudioHardware::setStoredMute(std::uint32_t mute) {
  std::lock_guard lock(mutex_);
  mute_ = mute;
}

float SimAudioHardware::storedVolume() const {
  std::lock_guard lock(mutex_);
  return volume_;
}

std::uint32_t SimAudioHardware::storedMute() const {
  std::lock_guard lock(mutex_);
  return mute_;
}

AudioObjectID SimAudioHardware::deviceId() const {
  std::lock_guard lock(mutex_);
  return deviceId_;
}

bool SimAudioHardware::objectExists(AudioObjectID object) const {
  return object == kAudioObjectSystemObject || (object != kAudioObjectUnknown && object == deviceId_);
}

SimAudioHardware::Target SimAudioHardware::targetOf(AudioObjectID object,
                                                    const AudioObjectPropertyAddress& address) const {
  if (object == kAudioObjectSystemObject &&
      sameAddress(address, kAudioHardwarePropertyDefaultOutputDevice, kAudioObjectPropertyScopeGlobal)) {
    return Target::systemDefaultDevice;
  }
  if (object != kAudioObjectUnknown && object == deviceId_) {
    if (sameAddress(address, kAudioHardwareServiceDeviceProperty_VirtualMainVolume,
                    kAudioDevicePropertyScopeOutput)) {
      return Target::deviceVolume;
    }
    if (sameAddress(address, kAudioDevicePropertyMute, kAudioDevicePropertyScopeOutput)) {
      return Target::deviceMute;
    }
  }
  return Target::none;
}

PropertyShape SimAudioHardware::shapeOf(Target target) const {
  switch (target) {
    case Target::systemDefaultDevice: return shapeOfDefaultDevice(defaultDevice_);
    case Target::deviceVolume: return volumeShape_;
    case Target::deviceMute: return muteShape_;
    case Target::none: return PropertyShape::absent;
  }
  return PropertyShape::absent;
}

bool SimAudioHardware::hasProperty(AudioObjectID object, const AudioObjectPropertyAddress& address) {
  std::lock_guard lock(mutex_);
  return shapeOf(targetOf(object, address)) != PropertyShape::absent;
}

OSStatus SimAudioHardware::isPropertySettable(AudioObjectID object, const AudioObjectPropertyAddress& address,
                                              bool* outIsSettable) {
  std::lock_guard lock(mutex_);
  if (!objectExists(object)) return kBadObjectStatus;
  const Target target = targetOf(object, address);
  const PropertyShape shape = shapeOf(target);
  if (shape == PropertyShape::absent) return kFailureStatus;
  if (outIsSettable == nullptr) return kBadSizeStatus;
  // Choosing the output device is the user's business, not the app's.
  *outIsSettable = target != Target::systemDefaultDevice && shape != PropertyShape::readonly;
  return noErr;
}

OSStatus SimAudioHardware::getPropertyData(AudioObjectID object, const AudioObjectPropertyAddress& address,
                                           std::uint32_t /*qualifierDataSize*/, const void* /*qualifierData*/,
                                           std::uint32_t* ioDataSize, void* outData) {
  std::lock_guard lock(mutex_);
  if (!objectExists(object)) return kBadObjectStatus;
  const Target target = targetOf(object, address);
  const PropertyShape shape = shapeOf(target);
  if (shape == PropertyShape::absent || shape == PropertyShape::failing) return kFailureStatus;
  if (ioDataSize == nullptr || *ioDataSize < kValueSize || outData == nullptr) return kBadSizeStatus;
  switch (target) {
    case Target::systemDefaultDevice: std::memcpy(outData, &deviceId_, kValueSize); break;
    case Target::deviceVolume: std::memcpy(outData, &volume_, kValueSize); break;
    case Target::deviceMute: std::memcpy(outData, &mute_, kValueSize); break;
    case Target::none: return kFailureStatus;
  }
  *ioDataSize = kValueSize;
  return noErr;
}

OSStatus SimAudioHardware::setPropertyData(AudioObjectID object, const AudioObjectPropertyAddress& address,
                                           std::uint32_t /*qualifierDataSize*/, const void* /*qualifierData*/,
                                           std::uint32_t dataSize, const void* data) {
  std::lock_guard lock(mutex_);
  if (!objectExists(object)) return kBadObjectStatus;
  const Target target = targetOf(object, address);
  switch (shapeOf(target)) {
    case PropertyShape::absent:
    case PropertyShape::failing: return kFailureStatus;
    case PropertyShape::readonly: return kReadOnlyStatus;
    case PropertyShape::present: break;
  }
  if (target == Target::systemDefaultDevice) return kReadOnlyStatus;
  if (dataSize != kValueSize || data == nullptr) return kBadSizeStatus;
  char line[64];
  switch (target) {
    case Target::systemDefaultDevice: return kReadOnlyStatus;
    case Target::deviceVolume:
      std::memcpy(&volume_, data, kValueSize);
      std::snprintf(line, sizeof line, "volume %.2f", static_cast<double>(volume_));
      break;
    case Target::deviceMute:
      std::memcpy(&mute_, data, kValueSize);
      std::snprintf(line, sizeof line, "mute %u", static_cast<unsigned>(mute_));
      break;
    case Target::none: return kFailureStatus;
  }
  // Under the lock, so the transcript order is the order of the writes.
  if (transcript_ != nullptr) transcript_->emit("audio", line);
  return noErr;
}

}  // namespace brannic::sim
