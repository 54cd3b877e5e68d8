// Sound playback (AVAudioPlayer).
#pragma once

#include <memory>
#include <string>

namespace brannic {

// One loaded sound. Destroying a player releases it; a sound it is playing
// ends with it.
class AudioPlayer {
 public:
  virtual ~AudioPlayer() = default;
  // -play: starts playback once, at full player volume. Returns whether it
  // started.
  virtual bool play() = 0;
};

class AudioPlayerFactory {
 public:
  virtual ~AudioPlayerFactory() = default;
  // -[AVAudioPlayer initWithContentsOfURL:error:]. Returns null and fills
  // `error` (when given) when the file cannot be opened as audio.
  // A player may outlive the factory that made it.
  virtual std::unique_ptr<AudioPlayer> playerWithContentsOfURL(const std::string& url,
                                                               std::string* error) = 0;
};

}  // namespace brannic
