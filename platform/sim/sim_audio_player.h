// The simulated audio player: opens only a readable MP3 file (it checks for
// an ID3 tag or an MPEG audio frame header) and reports when a player starts
// (`sound: play <file name>`) and when a playing player is released
// (`sound: stop`).
#pragma once

#include <memory>
#include <string>

#include "platform/audio_player.h"
#include "platform/sim/transcript.h"

namespace brannic::sim {

// What the machine can tell about sound at any moment; shared by the factory
// and every player it made, so players may outlive the factory.
struct SoundState {
  std::mutex mutex;
  Transcript* transcript = nullptr;  // null once the simulator is gone
  int playing = 0;                   // players started and not yet released
};

class SimAudioPlayerFactory final : public AudioPlayerFactory {
 public:
  explicit SimAudioPlayerFactory(Transcript* transcript);
  ~SimAudioPlayerFactory() override;  // detaches the transcript from players still alive

  std::unique_ptr<AudioPlayer> playerWithContentsOfURL(const std::string& url, std::string* error) override;
  // `playing` while a started player has not been released.
  bool isPlaying() const;

 private:
  std::shared_ptr<SoundState> state_;
};

// Whether `bytes` start like an MP3 file.
bool looksLikeMp3(std::string_view bytes);

}  // namespace brannic::sim
