#include "lid_alarm/view_controller.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "lid_alarm/utf8.h"
#include "lid_alarm/volume_control.h"

namespace brannic {
namespace {

// The module-wide slot, empty until the first alarm.
std::unique_ptr<AudioPlayer>& alarmPlayerSlot() {
  static std::unique_ptr<AudioPlayer> slot;
  return slot;
}

// A new player for the bundle's alarm sound, or null with the reason in
// `error`.
std::unique_ptr<AudioPlayer> loadAlarmSound(Bundle& bundle, AudioPlayerFactory& players, std::string& error) {
  const std::optional<std::string> url = bundle.urlForResource(kAlarmSoundName, kAlarmSoundExtension);
  if (!url) {
    error = "the bundle has no resource " + std::string(kAlarmSoundName) + "." +
            std::string(kAlarmSoundExtension);
    return nullptr;
  }
  std::string playerError;
  std::unique_ptr<AudioPlayer> player = players.playerWithContentsOfURL(*url, &playerError);
  if (!player) error = playerError.empty() ? "the file cannot be played: " + *url : playerError;
  return player;
}

}  // namespace

bool lidIsOpen(Shell& shell) {
  const std::optional<std::string> output = shell.launchAndReadStandardOutput(
      std::string(kLidProbeShell), std::vector<std::string>{"-c", std::string(kLidProbeCommand)});
  if (!output || !isValidUtf8(*output)) return false;
  return output->find("No") != std::string::npos;
}

void playAlarmSound(Bundle& bundle, AudioPlayerFactory& players, AudioHardware& hardware, Console& console) {
  std::string loadError;
  std::unique_ptr<AudioPlayer> player = loadAlarmSound(bundle, players, loadError);
  // The previous alarm's player is released here, so a sound still playing
  // stops and the new one starts from its beginning.
  alarmPlayerSlot() = std::move(player);

  // The volume goes up even without a sound: the device ends unmuted at the
  // top either way, and the outcome line below says what happened.
  setSystemVolume(hardware, console, systemVolume(hardware, console) + kAlarmVolumeRaise, true);

  AudioPlayer* current = alarmPlayerSlot().get();
  if (current == nullptr) {
    print(console, "Unable to load alarm sound: " + loadError);
  } else if (!current->play()) {
    print(console, "Unable to start alarm sound");
  } else {
    print(console, "Sound was played");
  }
}

AudioPlayer* alarmPlayer() { return alarmPlayerSlot().get(); }

void releaseAlarmPlayer() { alarmPlayerSlot().reset(); }

}  // namespace brannic
