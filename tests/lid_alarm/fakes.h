// Small stand-ins for the ports the lid probe, the alarm and the volume
// control use. They write what the code does to them into one shared event
// list, so a test can check the order across ports.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/audio_hardware.h"
#include "platform/audio_player.h"
#include "platform/bundle.h"
#include "platform/console.h"
#include "platform/shell.h"

namespace brannic::testing {

using Events = std::vector<std::string>;

// Console lines as "print <line>".
class EventConsole final : public Console {
 public:
  explicit EventConsole(Events& events) : events_(events) {}
  void writeLine(std::string_view line) override {
    events_.push_back("print " + std::string(line));
    lines.emplace_back(line);
  }
  std::vector<std::string> lines;

 private:
  Events& events_;
};

// One property of the fake device and how each call on it answers.
struct FakeProperty {
  bool present = true;
  OSStatus settableStatus = noErr;
  bool settable = true;
  OSStatus readStatus = noErr;
  OSStatus writeStatus = noErr;
};

inline constexpr OSStatus kFakeFailure = -50;

// A machine with one output device. Only the exact addresses of the module
// answer; any other object, scope, element or data size is a fault in the
// caller and is counted in `misuses`. Accepted writes are recorded as
// "write volume 0.50" / "write mute 1".
class FakeAudioHardware final : public AudioHardware {
 public:
  explicit FakeAudioHardware(Events& events) : events_(events) {}

  bool defaultDevicePresent = true;
  OSStatus defaultDeviceReadStatus = noErr;
  AudioObjectID device = 0x49;
  FakeProperty volume;
  FakeProperty mute;
  float storedVolume = 0.5f;
  std::uint32_t storedMute = 0;
  int misuses = 0;
  std::vector<std::string> writes;

  bool hasProperty(AudioObjectID object, const AudioObjectPropertyAddress& address) override {
    if (isDefaultDevice(object, address)) return defaultDevicePresent;
    FakeProperty* property = propertyFor(object, address);
    return property != nullptr && property->present;
  }

  OSStatus isPropertySettable(AudioObjectID object, const AudioObjectPropertyAddress& address,
                              bool* outIsSettable) override {
    FakeProperty* property = propertyFor(object, address);
    if (property == nullptr || !property->present) return misuse();
    if (property->settableStatus != noErr) return property->settableStatus;
    *outIsSettable = property->settable;
    return noErr;
  }

  OSStatus getPropertyData(AudioObjectID object, const AudioObjectPropertyAddress& address,
                           std::uint32_t qualifierDataSize, const void* qualifierData,
                           std::uint32_t* ioDataSize, void* outData) override {
    if (qualifierDataSize != 0 || qualifierData != nullptr || ioDataSize == nullptr || *ioDataSize != 4) {
      return misuse();
    }
    if (isDefaultDevice(object, address)) {
      if (!defaultDevicePresent) return misuse();
      if (defaultDeviceReadStatus != noErr) return defaultDeviceReadStatus;
      std::memcpy(outData, &device, 4);
      return noErr;
    }
    FakeProperty* property = propertyFor(object, address);
    if (property == nullptr || !property->present) return misuse();
    if (property->readStatus != noErr) return property->readStatus;
    std::memcpy(outData, property == &volume ? static_cast<const void*>(&storedVolume) : &storedMute, 4);
    return noErr;
  }

  OSStatus setPropertyData(AudioObjectID object, const AudioObjectPropertyAddress& address,
                           std::uint32_t qualifierDataSize, const void* qualifierData, std::uint32_t dataSize,
                           const void* data) override {
    if (qualifierDataSize != 0 || qualifierData != nullptr || dataSize != 4) return misuse();
    FakeProperty* property = propertyFor(object, address);
    // A write to a missing property is what the unmute after a level does
    // on a device without mute: it fails, it is not a misuse.
    if (property == nullptr) return misuse();
    if (!property->present) return kFakeFailure;
    if (property->writeStatus != noErr) return property->writeStatus;
    char text[64];
    if (property == &volume) {
      std::memcpy(&storedVolume, data, 4);
      std::snprintf(text, sizeof text, "write volume %.2f", static_cast<double>(storedVolume));
    } else {
      std::memcpy(&storedMute, data, 4);
      std::snprintf(text, sizeof text, "write mute %u", static_cast<unsigned>(storedMute));
    }
    writes.emplace_back(text + 6);
    events_.emplace_back(text);
    return noErr;
  }

 private:
  static bool isDefaultDevice(AudioObjectID object, const AudioObjectPropertyAddress& a) {
    return object == kAudioObjectSystemObject && a.mSelector == kAudioHardwarePropertyDefaultOutputDevice &&
           a.mScope == kAudioObjectPropertyScopeGlobal && a.mElement == kAudioObjectPropertyElementMain;
  }
  FakeProperty* propertyFor(AudioObjectID object, const AudioObjectPropertyAddress& a) {
    if (object != device || device == kAudioObjectUnknown || a.mScope != kAudioDevicePropertyScopeOutput ||
        a.mElement != kAudioObjectPropertyElementMain) {
      return nullptr;
    }
    if (a.mSelector == kAudioHardwareServiceDeviceProperty_VirtualMainVolume) return &volume;
    if (a.mSelector == kAudioDevicePropertyMute) return &mute;
    return nullptr;
  }
  OSStatus misuse() {
    ++misuses;
    return kFakeFailure;
  }
  Events& events_;
};

// A shell that records what it was asked to run and answers each call with
// the next output of its script, in order. The script is strict: a call past
// its end is a probe the test did not expect (an extra one, or one after the
// watch stopped); it is counted in `unscripted` and answers as a shell that
// could not start.
class FakeShell final : public Shell {
 public:
  // Appends `output` to the script, `times` over.
  FakeShell& answer(std::optional<std::string> output, int times = 1) {
    for (int i = 0; i < times; ++i) outputs.push_back(output);
    return *this;
  }
  std::size_t unanswered() const { return outputs.size() - answered_; }

  std::vector<std::optional<std::string>> outputs;
  std::string launchPath;
  std::vector<std::string> arguments;
  int launches = 0;
  int unscripted = 0;

  std::optional<std::string> launchAndReadStandardOutput(const std::string& path,
                                                         const std::vector<std::string>& args) override {
    ++launches;
    launchPath = path;
    arguments = args;
    if (answered_ == outputs.size()) {
      ++unscripted;
      return std::nullopt;
    }
    return outputs[answered_++];
  }

 private:
  std::size_t answered_ = 0;
};

// A bundle that has the alarm sound or not.
class SoundBundle final : public Bundle {
 public:
  explicit SoundBundle(Events& events) : events_(events) {}
  bool hasSound = true;
  std::string bundleURL() override { return "/Applications/Brannic.app"; }
  std::optional<std::string> urlForResource(std::string_view name, std::string_view extension) override {
    events_.push_back("resource " + std::string(name) + "." + std::string(extension));
    if (!hasSound) return std::nullopt;
    return bundleURL() + "/Contents/Resources/" + std::string(name) + "." + std::string(extension);
  }
  std::optional<PropertyValue> copyInfoDictionaryForURL(const std::string&) override { return std::nullopt; }

 private:
  Events& events_;
};

// Players numbered in creation order: "create player 1", "play player 1",
// "release player 1".
class FakePlayerFactory final : public AudioPlayerFactory {
 public:
  explicit FakePlayerFactory(Events& events) : events_(events) {}
  std::optional<std::string> failure;  // the error of a file that cannot be opened
  bool playSucceeds = true;
  std::vector<std::string> urls;
  int alive = 0;

  std::unique_ptr<AudioPlayer> playerWithContentsOfURL(const std::string& url, std::string* error) override {
    urls.push_back(url);
    if (failure) {
      if (error != nullptr) *error = *failure;
      return nullptr;
    }
    const int number = ++created_;
    events_.push_back("create player " + std::to_string(number));
    return std::make_unique<Player>(*this, number);
  }

 private:
  class Player final : public AudioPlayer {
   public:
    Player(FakePlayerFactory& factory, int number) : factory_(factory), number_(number) { ++factory_.alive; }
    ~Player() override {
      --factory_.alive;
      factory_.events_.push_back("release player " + std::to_string(number_));
    }
    bool play() override {
      factory_.events_.push_back("play player " + std::to_string(number_));
      return factory_.playSucceeds;
    }

   private:
    FakePlayerFactory& factory_;
    int number_;
  };
  Events& events_;
  int created_ = 0;
};

}  // namespace brannic::testing
