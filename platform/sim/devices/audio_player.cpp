#include "platform/sim/devices/audio_player.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <utility>

namespace brannic::sim {
namespace {

constexpr std::size_t kId3HeaderSize = 10;
constexpr std::size_t kFrameHeaderSize = 4;

std::uint8_t byteAt(std::string_view bytes, std::size_t index) {
  return static_cast<std::uint8_t>(bytes[index]);
}

std::string fileName(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

class SimAudioPlayer final : public AudioPlayer {
 public:
  SimAudioPlayer(std::shared_ptr<SoundState> state, std::string name)
      : state_(std::move(state)), name_(std::move(name)) {}
  SimAudioPlayer(const SimAudioPlayer&) = delete;
  SimAudioPlayer& operator=(const SimAudioPlayer&) = delete;

  ~SimAudioPlayer() override {
    std::lock_guard lock(state_->mutex);
    if (!started_) return;
    --state_->playing;
    if (state_->transcript != nullptr) state_->transcript->emit("sound", "stop");
  }

  bool play() override {
    std::lock_guard lock(state_->mutex);
    // Playing an already playing player goes on with the sound.
    if (started_) return true;
    started_ = true;
    ++state_->playing;
    if (state_->transcript != nullptr) state_->transcript->emit("sound", "play " + escapeText(name_));
    return true;
  }

 private:
  std::shared_ptr<SoundState> state_;
  std::string name_;
  bool started_ = false;
};

// Reads `count` bytes at `offset`; fewer when the file ends first.
std::string readAt(std::ifstream& file, std::size_t offset, std::size_t count) {
  std::string bytes(count, '\0');
  file.clear();
  file.seekg(static_cast<std::streamoff>(offset));
  file.read(bytes.data(), static_cast<std::streamsize>(count));
  bytes.resize(file ? count : static_cast<std::size_t>(file.gcount()));
  return bytes;
}

}  // namespace

std::optional<std::size_t> id3TagLength(std::string_view header) {
  if (header.size() < kId3HeaderSize || header.substr(0, 3) != "ID3") return std::nullopt;
  const std::uint8_t major = byteAt(header, 3);
  const std::uint8_t revision = byteAt(header, 4);
  const std::uint8_t flags = byteAt(header, 5);
  if (major < 2 || major > 4 || revision == 0xFF) return std::nullopt;
  std::size_t size = 0;
  for (std::size_t i = 6; i < kId3HeaderSize; ++i) {
    const std::uint8_t b = byteAt(header, i);
    if (b & 0x80) return std::nullopt;  // the size is "synchsafe": 7 bits a byte
    size = (size << 7) | b;
  }
  const bool hasFooter = major == 4 && (flags & 0x10) != 0;
  return kId3HeaderSize + size + (hasFooter ? kId3HeaderSize : 0);
}

bool isMp3FrameHeader(std::string_view bytes) {
  if (bytes.size() < kFrameHeaderSize) return false;
  const std::uint8_t b0 = byteAt(bytes, 0);
  const std::uint8_t b1 = byteAt(bytes, 1);
  const std::uint8_t b2 = byteAt(bytes, 2);
  const std::uint8_t b3 = byteAt(bytes, 3);
  if (b0 != 0xFF || (b1 & 0xE0) != 0xE0) return false;  // frame sync
  if (((b1 >> 3) & 0x3) == 0x1) return false;            // reserved version
  if (((b1 >> 1) & 0x3) != 0x1) return false;            // Layer III
  if ((b2 >> 4) == 0xF) return false;                     // bad bit rate
  if (((b2 >> 2) & 0x3) == 0x3) return false;            // reserved sampling rate
  if ((b3 & 0x3) == 0x2) return false;                    // reserved emphasis
  return true;
}

bool looksLikeMp3(std::string_view bytes) {
  if (const auto tagLength = id3TagLength(bytes)) {
    return bytes.size() > *tagLength && isMp3FrameHeader(bytes.substr(*tagLength));
  }
  return isMp3FrameHeader(bytes);
}

SimAudioPlayerFactory::SimAudioPlayerFactory(Transcript* transcript)
    : state_(std::make_shared<SoundState>()) {
  state_->transcript = transcript;
}

SimAudioPlayerFactory::~SimAudioPlayerFactory() {
  std::lock_guard lock(state_->mutex);
  state_->transcript = nullptr;
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
  // Only the head of the file is read: the tag's header, then the four
  // bytes after the tag, which a tag may push far into the file.
  const std::string header = readAt(file, 0, kId3HeaderSize);
  if (file.bad()) return fail("cannot read " + name);
  std::string head = header;
  if (const auto tagLength = id3TagLength(header)) {
    head = readAt(file, *tagLength, kFrameHeaderSize);
  }
  if (!isMp3FrameHeader(head)) return fail(name + " is not an MP3 file");
  return std::make_unique<SimAudioPlayer>(state_, name);
}

bool SimAudioPlayerFactory::isPlaying() const {
  std::lock_guard lock(state_->mutex);
  return state_->playing > 0;
}

}  // namespace brannic::sim
