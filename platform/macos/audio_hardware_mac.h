// CoreAudio's four hardware-object calls, passed straight through.
#pragma once

#include "platform/audio_hardware.h"

namespace brannic::mac {

class MacAudioHardware final : public AudioHardware {
 public:
  bool hasProperty(AudioObjectID object, const AudioObjectPropertyAddress& address) override;
  OSStatus isPropertySettable(AudioObjectID object, const AudioObjectPropertyAddress& address,
                              bool* outIsSettable) override;
  OSStatus getPropertyData(AudioObjectID object, const AudioObjectPropertyAddress& address,
                           std::uint32_t qualifierDataSize, const void* qualifierData,
                           std::uint32_t* ioDataSize, void* outData) override;
  OSStatus setPropertyData(AudioObjectID object, const AudioObjectPropertyAddress& address,
                           std::uint32_t qualifierDataSize, const void* qualifierData, std::uint32_t dataSize,
                           const void* data) override;
};

}  // namespace brannic::mac
