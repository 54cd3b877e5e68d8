// The simulated audio player: opens only a readable MP3 file (an ID3v2 tag
// followed by an MPEG audio Layer III frame header, or such a header at
// once) and reports when a player starts (`sound: play <file name>`) and
// when a playing player is released (`sound: stop`). A simulated sound does
// not end by itself: a started player counts as playing until it is
// released.
#pragma once

#include <cstddef>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "platform/audio_player.h"
#include "platform/sim/base/transcript.h"

namespace brannic::sim {

// What the machine can tell about sound at any moment; shared by the factory
// and every player it made, so players may outlive the factory.
struct SoundState {
  std::mutex mutex;
  Transcript* transcript = nullptr;  // null once the factory is gone
  int playing = 0;                   // players started and not yet released
};

class SimAudioPlayerFactory final : public AudioPlayerFactory {
 public:
  // `transcript` may be null (unit tests).
  explicit SimAudioPlayerFactory(Transcript* transcript);
  ~SimAudioPlayerFactory() override;  // detaches the transcript from players still alive
  SimAudioPlayerFactory(const SimAudioPlayerFactory&) = delete;
  SimAudioPlayerFactory& operator=(const SimAudioPlayerFactory&) = delete;

  // Null, with the reason in `error`, for a file that cannot be read or is
  // not an MP3.
  std::unique_ptr<AudioPlayer> playerWithContentsOfURL(const std::string& url, std::string* error) override;
  // Whether a started player has not been released yet.
  bool isPlaying() const;

 private:
  std::shared_ptr<SoundState> state_;
};

// The length of the ID3v2 tag that `header` (at least its first 10 bytes)
// starts with, header and footer included; nullopt when it starts with no
// well-formed tag.
std::optional<std::size_t> id3TagLength(std::string_view header);

// Whether `bytes` start with an MPEG audio Layer III frame header: the
// 11-bit frame sync and no reserved version, bit rate, sampling rate or
// emphasis.
bool isMp3FrameHeader(std::string_view bytes);

// Whether `bytes` start like an MP3 file: a frame header, or an ID3v2 tag
// directly followed by one.
bool looksLikeMp3(std::string_view bytes);

}  // namespace brannic::sim
