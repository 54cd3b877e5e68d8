// The simulated audio player: opens only a readable MP3 file (an ID3v2 tag
// followed by an MPEG audio Layer III frame header, or such a header at
// once) and reports when a player starts (`sound: play <file name>`), when
// its sound ends (`sound: end <file name>`, as long as the file's frames
// play; see mp3Duration) and when a player still playing is released
// (`sound: stop`). A file that holds no whole frame opens but does not play.
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "platform/audio_player.h"
#include "platform/sim/base/transcript.h"
#include "platform/sim/run_loop/run_loop.h"

namespace brannic::sim {

// What the machine can tell about sound at any moment; shared by the factory
// and every player it made, so players may outlive the factory.
struct SoundState {
  std::mutex mutex;
  Transcript* transcript = nullptr;  // null once the factory is gone
  SimRunLoop* runLoop = nullptr;     // null once the factory is gone, or in unit tests
  int playing = 0;                   // players started and neither ended nor released
};

class SimAudioPlayerFactory final : public AudioPlayerFactory {
 public:
  // `transcript` may be null (unit tests). Sounds end on `runLoop`'s clock;
  // without one (unit tests) they play until their player is released.
  // REQUIRES: `runLoop` outlives the factory; players are started and
  // released on its main thread.
  explicit SimAudioPlayerFactory(Transcript* transcript, SimRunLoop* runLoop = nullptr);
  ~SimAudioPlayerFactory() override;  // detaches the transcript and run loop from players still alive
  SimAudioPlayerFactory(const SimAudioPlayerFactory&) = delete;
  SimAudioPlayerFactory& operator=(const SimAudioPlayerFactory&) = delete;

  // Null, with the reason in `error`, for a file that cannot be read or is
  // not an MP3.
  std::unique_ptr<AudioPlayer> playerWithContentsOfURL(const std::string& url, std::string* error) override;
  // Whether a started player is still playing: its sound has not ended and
  // it has not been released.
  bool isPlaying() const;

 private:
  std::shared_ptr<SoundState> state_;
};

}  // namespace brannic::sim
