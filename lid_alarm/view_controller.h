// The lid probe and the alarm sound: the two operations the watch runs on
// each tick.
#pragma once

#include <string_view>

#include "platform/audio_hardware.h"
#include "platform/audio_player.h"
#include "platform/bundle.h"
#include "platform/console.h"
#include "platform/shell.h"

namespace brannic {

// The probe's fixed command: the shell and its two arguments. The pipeline
// prints the first registry line that names the clamshell key.
inline constexpr std::string_view kLidProbeShell = "/bin/sh";
inline constexpr std::string_view kLidProbeCommand =
    "ioreg -r -k AppleClamshellState -d 4 | grep AppleClamshellState  | head -1";

// The alarm's sound resource and how far it raises the output volume.
inline constexpr std::string_view kAlarmSoundName = "Final";
inline constexpr std::string_view kAlarmSoundExtension = "mp3";
inline constexpr float kAlarmVolumeRaise = 0.99f;

// Whether the lid is open: the pipeline's output is valid UTF-8 and contains
// "No" (case-sensitive). Empty output (a machine without a lid), output that
// is not UTF-8 and a shell that cannot be started all count as closed, so
// the alarm errs on the side of sounding. Blocks until the pipeline ends.
bool lidIsOpen(Shell& shell);

// Sounds the alarm once: loads the bundle's Final.mp3 into a new player that
// replaces the one in the alarm player slot, raises the volume to the top
// (unmuting), starts the player and prints "Sound was played". Returns
// without waiting for the sound.
//
// When the sound cannot be loaded the slot is emptied, the volume is still
// raised, and "Unable to load alarm sound: <reason>" is printed instead; a
// player that does not start prints "Unable to start alarm sound". Later
// alarms try the resource again.
// REQUIRES: main thread (the slot is not locked).
void playAlarmSound(Bundle& bundle, AudioPlayerFactory& players, AudioHardware& hardware, Console& console);

// The alarm player slot: the player of the most recent alarm, or null before
// the first alarm and after one whose sound could not be loaded.
AudioPlayer* alarmPlayer();

// Empties the slot, releasing its player. For a host that tears down the
// machine the player belongs to; the application itself never does.
void releaseAlarmPlayer();

}  // namespace brannic
