#include "platform/sim/devices/audio_player.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <system_error>
#include <utility>

#include "platform/sim/devices/mp3_frames.h"

namespace brannic::sim {
namespace {

std::string fileName(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

class SimAudioPlayer final : public AudioPlayer {
 public:
  // `duration`: how long the sound plays, or nullopt for a file with
  // nothing to play.
  SimAudioPlayer(std::shared_ptr<SoundState> state, std::string name, std::optional<double> duration)
      : state_(std::move(state)), name_(std::move(name)), duration_(duration) {}
  SimAudioPlayer(const SimAudioPlayer&) = delete;
  SimAudioPlayer& operator=(const SimAudioPlayer&) = delete;

  ~SimAudioPlayer() override {
    if (end_) end_->invalidate();
    std::lock_guard lock(state_->mutex);
    if (!playing_) return;
    --state_->playing;
    if (state_->transcript != nullptr) state_->transcript->emit("sound", "stop");
  }

  bool play() override {
    SimRunLoop* runLoop = nullptr;
    {
      std::lock_guard lock(state_->mutex);
      // Playing an already playing player goes on with the sound; one whose
      // sound has ended starts it again from the beginning.
      if (playing_) return true;
      if (!duration_) return false;
      playing_ = true;
      ++state_->playing;
      if (state_->transcript != nullptr) state_->transcript->emit("sound", "play " + escapeText(name_));
      runLoop = state_->runLoop;
    }
    // The player invalidates the end when it goes, so the block never runs
    // after it; both happen on the main thread.
    if (runLoop != nullptr) end_ = runLoop->scheduleOnce(*duration_, [this] { soundEnded(); });
    return true;
  }

 private:
  void soundEnded() {
    std::lock_guard lock(state_->mutex);
    if (!playing_) return;
    playing_ = false;
    --state_->playing;
    if (state_->transcript != nullptr) state_->transcript->emit("sound", "end " + escapeText(name_));
  }

  std::shared_ptr<SoundState> state_;
  std::string name_;
  std::optional<double> duration_;
  bool playing_ = false;
  std::shared_ptr<Timer> end_;
};

}  // namespace

SimAudioPlayerFactory::SimAudioPlayerFactory(Transcript* transcript, SimRunLoop* runLoop)
    : state_(std::make_shared<SoundState>()) {
  state_->transcript = transcript;
  state_->runLoop = runLoop;
}

SimAudioPlayerFactory::~SimAudioPlayerFactory() {
  std::lock_guard lock(state_->mutex);
  state_->transcript = nullptr;
  state_->runLoop = nullptr;
}

std::unique_ptr<AudioPlayer> SimAudioPlayerFactory::playerWithContentsOfURL(const std::string& url,
                                                                            std::string* error) {
  auto fail = [error](std::string why) -> std::unique_ptr<AudioPlayer> {
    if (error != nullptr) *error = std::move(why);
    return nullptr;
  };
  const std::string name = fileName(url);
  std::error_code statusError;
  const auto status = std::filesystem::status(url, statusError);
  if (statusError) return fail("cannot open " + name + ": " + statusError.message());
  if (!std::filesystem::is_regular_file(status)) return fail("cannot open " + name + ": not a regular file");
  std::ifstream file(url, std::ios::binary);
  if (!file) return fail("cannot open " + name + ": " + std::strerror(errno));
  // The whole file is read, as the platform's player does: its length is
  // that of its frames.
  const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (file.bad()) return fail("cannot read " + name);
  if (!looksLikeMp3(bytes)) return fail(name + " is not an MP3 file");
  return std::make_unique<SimAudioPlayer>(state_, name, mp3Duration(bytes));
}

bool SimAudioPlayerFactory::isPlaying() const {
  std::lock_guard lock(state_->mutex);
  return state_->playing > 0;
}

}  // namespace brannic::sim
