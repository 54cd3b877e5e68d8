// Sound playback with AVAudioPlayer.
#pragma once

#include "platform/audio_player.h"

namespace brannic::mac {

class MacAudioPlayerFactory final : public AudioPlayerFactory {
 public:
  // `url` is a file-system path.
  std::unique_ptr<AudioPlayer> playerWithContentsOfURL(const std::string& url, std::string* error) override;
};

}  // namespace brannic::mac
