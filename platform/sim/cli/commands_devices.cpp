// The machine's devices as the script sets them up: the lid (through the
// I/O registry), the default output device and the alarm sound resource.
// Setting them prints nothing; `state` shows them.
#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <system_error>
#include <vector>

#include "platform/sim/base/file_io.h"
#include "platform/sim/cli/commands.h"
#include "platform/sim/cli/simulator.h"

namespace brannic::sim {
namespace {

constexpr const char* kSoundResource = "Final.mp3";
// What an unreadable sound resource holds instead of audio.
constexpr std::string_view kNotAudio = "This file is not an MP3 file.\n";
// What an unplayable one holds: the header of the bundled sound's first
// frame (MPEG-2 Layer III, 32 kbit/s, 22.05 kHz, mono: 104 bytes) and the
// first bytes of that frame, cut off. It opens as an MP3 and has no whole
// frame to play.
constexpr std::string_view kCutOffFrame{"\xFF\xF3\x40\xC4\x00\x00\x00\x00\x00\x00\x00\x00", 12};

LidState lidState(const CommandArguments& arguments, std::size_t i) {
  return arguments.choice<LidState>(
      i, {{"open", LidState::open}, {"closed", LidState::closed}, {"none", LidState::none}});
}

void setLid(Simulator& simulator, const CommandArguments& arguments) {
  SimIoRegistry& registry = simulator.mac().registry();
  if (arguments.size() == 2 && arguments.keyword(0) == "raw") {
    registry.setRawDump(arguments.quotedText(1));
    return;
  }
  if (arguments.size() >= 1 && arguments.keyword(0) == "sequence") {
    if (arguments.size() == 1) arguments.fail("a sequence needs at least one state: open, closed or none");
    std::vector<LidState> states;
    for (std::size_t i = 1; i < arguments.size(); ++i) states.push_back(lidState(arguments, i));
    registry.setLidSequence(states);
    return;
  }
  arguments.expectCount(1);
  registry.setLid(lidState(arguments, 0));
}

PropertyShape propertyShape(const CommandArguments& arguments, std::size_t i) {
  return arguments.choice<PropertyShape>(i, {{"present", PropertyShape::present},
                                             {"absent", PropertyShape::absent},
                                             {"readonly", PropertyShape::readonly},
                                             {"failing", PropertyShape::failing}});
}

AudioObjectID deviceId(const CommandArguments& arguments, std::size_t i) {
  const std::string& word = arguments.keyword(i);
  if (word == "none") return kAudioObjectUnknown;
  const bool hex = word.starts_with("0x") || word.starts_with("0X");
  const std::string_view digits = std::string_view(word).substr(hex ? 2 : 0);
  AudioObjectID id = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), id, hex ? 16 : 10);
  if (digits.empty() || error != std::errc() || end != digits.data() + digits.size() || id == 0) {
    arguments.fail("expected a device id from 1 to 4294967295 (decimal or 0x hex) or none, not " +
                   arguments.describeWord(i));
  }
  return id;
}

void setAudio(Simulator& simulator, const CommandArguments& arguments) {
  arguments.expectCount(2);
  SimAudioHardware& audio = simulator.mac().audioHardware();
  const std::string& what = arguments.keyword(0);
  if (what == "default") {
    audio.setDefaultDevice(
        arguments.choice<DefaultDeviceShape>(1, {{"present", DefaultDeviceShape::present},
                                                 {"absent", DefaultDeviceShape::absent},
                                                 {"failing", DefaultDeviceShape::failing}}));
  } else if (what == "device") {
    audio.setDeviceId(deviceId(arguments, 1));
  } else if (what == "volume") {
    // Stored as given, even outside 0...1, as long as a Float32 holds it;
    // `nan` stores a value that is not a number, as a device may answer.
    constexpr double kLargest = std::numeric_limits<float>::max();
    const bool notANumber = !arguments.words()[1].quoted && arguments.words()[1].text == "nan";
    audio.setStoredVolume(notANumber ? std::numeric_limits<float>::quiet_NaN()
                                     : static_cast<float>(arguments.number(1, -kLargest, kLargest)));
  } else if (what == "muted") {
    audio.setStoredMute(arguments.choice<std::uint32_t>(1, {{"yes", 1}, {"no", 0}}));
  } else if (what == "volume-property") {
    audio.setVolumeProperty(propertyShape(arguments, 1));
  } else if (what == "mute-property") {
    audio.setMuteProperty(propertyShape(arguments, 1));
  } else {
    arguments.failUsage();
  }
}

void writeResource(const std::string& path, std::string_view bytes) {
  if (!writeStringToFile(path, bytes)) throw CommandError("sound: cannot write " + sim::quoted(path));
}

void setSoundResource(Simulator& simulator, const CommandArguments& arguments) {
  arguments.expectCount(2);
  if (arguments.keyword(0) != "resource") arguments.failUsage();
  enum class Resource { present, missing, invalid, unplayable };
  const Resource resource = arguments.choice<Resource>(1, {{"present", Resource::present},
                                                           {"missing", Resource::missing},
                                                           {"invalid", Resource::invalid},
                                                           {"unplayable", Resource::unplayable}});
  SimMac& mac = simulator.mac();
  const std::string path = mac.bundle().resourcesPath() + "/" + kSoundResource;
  switch (resource) {
    case Resource::present: {
      const std::optional<std::string> original = mac.templateResource(kSoundResource);
      if (!original) arguments.fail("the bundle template has no " + std::string(kSoundResource));
      writeResource(path, *original);
      return;
    }
    case Resource::missing: {
      std::error_code error;
      std::filesystem::remove(path, error);
      if (error) arguments.fail("cannot remove " + sim::quoted(path) + ": " + error.message());
      return;
    }
    case Resource::invalid:
      writeResource(path, kNotAudio);
      return;
    case Resource::unplayable:
      writeResource(path, kCutOffFrame);
      return;
  }
}

std::string formatVolume(float volume) {
  if (std::isnan(volume)) return "nan";  // whatever its sign bit
  char text[64];
  std::snprintf(text, sizeof text, "%.2f", static_cast<double>(volume));
  return text;
}

}  // namespace

void registerDeviceCommands(CommandTable& table) {
  using enum CommandPhase;
  table.add({"lid", {"lid open|closed|none", "lid raw \"<text>\"", "lid sequence open|closed|none ..."}, any,
             setLid});
  table.add({"audio",
             {"audio default present|absent|failing", "audio device <id>|none", "audio volume <v>",
              "audio muted yes|no", "audio volume-property|mute-property present|absent|readonly|failing",
              "audio volume nan"},
             any,
             setAudio});
  table.add({"sound", {"sound resource present|missing|invalid", "sound resource unplayable"}, any,
             setSoundResource});

  table.addStateKey("lid", [](Simulator& simulator) { return simulator.mac().registry().lidDescription(); });
  table.addStateKey("volume", [](Simulator& simulator) {
    return formatVolume(simulator.mac().audioHardware().storedVolume());
  });
  table.addStateKey("muted", [](Simulator& simulator) -> std::string {
    return simulator.mac().audioHardware().storedMute() != 0 ? "yes" : "no";
  });
  table.addStateKey("sound", [](Simulator& simulator) -> std::string {
    return simulator.mac().audioPlayers().isPlaying() ? "playing" : "idle";
  });
}

}  // namespace brannic::sim
