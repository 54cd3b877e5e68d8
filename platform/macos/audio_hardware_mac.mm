#include "platform/macos/audio_hardware_mac.h"

#include <CoreAudio/CoreAudio.h>

#include <type_traits>

namespace brannic::mac {

// The port mirrors CoreAudio's own types and constants; these keep it honest.
static_assert(std::is_same_v<brannic::OSStatus, ::OSStatus>);
static_assert(std::is_same_v<brannic::AudioObjectID, ::AudioObjectID>);
static_assert(std::is_same_v<std::uint32_t, ::UInt32>);
static_assert(brannic::kAudioObjectUnknown == ::kAudioObjectUnknown);
static_assert(brannic::kAudioObjectSystemObject == ::kAudioObjectSystemObject);
static_assert(brannic::kAudioHardwarePropertyDefaultOutputDevice ==
              ::kAudioHardwarePropertyDefaultOutputDevice);
static_assert(brannic::kAudioDevicePropertyMute == ::kAudioDevicePropertyMute);
static_assert(brannic::kAudioObjectPropertyScopeGlobal == ::kAudioObjectPropertyScopeGlobal);
static_assert(brannic::kAudioDevicePropertyScopeOutput == ::kAudioDevicePropertyScopeOutput);

namespace {

::AudioObjectPropertyAddress toCoreAudio(const AudioObjectPropertyAddress& address) {
  return ::AudioObjectPropertyAddress{address.mSelector, address.mScope, address.mElement};
}

}  // namespace

bool MacAudioHardware::hasProperty(AudioObjectID object, const AudioObjectPropertyAddress& address) {
  const ::AudioObjectPropertyAddress native = toCoreAudio(address);
  return ::AudioObjectHasProperty(object, &native);
}

OSStatus MacAudioHardware::isPropertySettable(AudioObjectID object, const AudioObjectPropertyAddress& address,
                                              bool* outIsSettable) {
  const ::AudioObjectPropertyAddress native = toCoreAudio(address);
  // Starts from the caller's value, so a call that leaves it alone leaves the
  // caller's flag alone too, as with the system's own Boolean.
  Boolean settable = outIsSettable != nullptr && *outIsSettable;
  const OSStatus status = ::AudioObjectIsPropertySettable(object, &native, &settable);
  if (outIsSettable != nullptr) *outIsSettable = settable != 0;
  return status;
}

OSStatus MacAudioHardware::getPropertyData(AudioObjectID object, const AudioObjectPropertyAddress& address,
                                           std::uint32_t qualifierDataSize, const void* qualifierData,
                                           std::uint32_t* ioDataSize, void* outData) {
  const ::AudioObjectPropertyAddress native = toCoreAudio(address);
  return ::AudioObjectGetPropertyData(object, &native, qualifierDataSize, qualifierData, ioDataSize, outData);
}

OSStatus MacAudioHardware::setPropertyData(AudioObjectID object, const AudioObjectPropertyAddress& address,
                                           std::uint32_t qualifierDataSize, const void* qualifierData,
                                           std::uint32_t dataSize, const void* data) {
  const ::AudioObjectPropertyAddress native = toCoreAudio(address);
  return ::AudioObjectSetPropertyData(object, &native, qualifierDataSize, qualifierData, dataSize, data);
}

}  // namespace brannic::mac
