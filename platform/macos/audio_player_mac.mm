#include "platform/macos/audio_player_mac.h"

// AVAudioPlayer lives in AVFAudio, the framework the build links.
#import <AVFAudio/AVFAudio.h>

#include "platform/macos/foundation_bridge_mac.h"

namespace brannic::mac {

namespace {

class MacAudioPlayer final : public AudioPlayer {
 public:
  explicit MacAudioPlayer(AVAudioPlayer* player) : player_(player) {}
  // Stopping before the release makes "a sound ends with its player" hold
  // even if the audio machinery kept its own reference for a moment.
  ~MacAudioPlayer() override { [player_ stop]; }
  MacAudioPlayer(const MacAudioPlayer&) = delete;
  MacAudioPlayer& operator=(const MacAudioPlayer&) = delete;

  bool play() override { return [player_ play]; }

 private:
  AVAudioPlayer* player_;
};

}  // namespace

std::unique_ptr<AudioPlayer> MacAudioPlayerFactory::playerWithContentsOfURL(const std::string& url,
                                                                            std::string* error) {
  NSError* failure = nil;
  AVAudioPlayer* player = [[AVAudioPlayer alloc] initWithContentsOfURL:[NSURL fileURLWithPath:toNSString(url)]
                                                                 error:&failure];
  if (player == nil) {
    if (error != nullptr)
      *error = failure != nil ? toStdString(failure.localizedDescription) : "no audio player";
    return nullptr;
  }
  return std::make_unique<MacAudioPlayer>(player);
}

}  // namespace brannic::mac
