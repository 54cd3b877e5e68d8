#include "platform/sim/devices/mp3_frames.h"

#include <array>
#include <cstdint>
#include <map>

namespace brannic::sim {
namespace {

constexpr std::size_t kId3HeaderSize = 10;
constexpr std::size_t kFrameHeaderSize = 4;

std::uint8_t byteAt(std::string_view bytes, std::size_t index) {
  return static_cast<std::uint8_t>(bytes[index]);
}

// Layer III bit rates in kbit/s by bit-rate index; index 0 is free format,
// 15 is reserved.
constexpr std::array<int, 15> kMpeg1BitRates{0,   32,  40,  48,  56,  64,  80, 96,
                                              112, 128, 160, 192, 224, 256, 320};
constexpr std::array<int, 15> kMpeg2BitRates{0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
// Sampling rates in Hz by sampling-rate index (3 is reserved).
constexpr std::array<int, 3> kMpeg1SampleRates{44100, 48000, 32000};

// Whether `frame`, the first frame of a stream, is a Xing or Info frame: its
// marker follows the header, the check and the side information.
bool isStreamInfoFrame(std::string_view frame, const Mp3FrameHeader& header) {
  const bool mpeg1 = header.version == Mp3FrameHeader::Version::mpeg1;
  const std::size_t sideInfo = mpeg1 ? (header.mono ? 17 : 32) : (header.mono ? 9 : 17);
  const std::size_t at = kFrameHeaderSize + (header.hasCrc ? 2 : 0) + sideInfo;
  if (frame.size() < at + 4) return false;
  const std::string_view marker = frame.substr(at, 4);
  return marker == "Xing" || marker == "Info";
}

// Two headers of one stream agree on version and sampling rate.
bool sameStream(const Mp3FrameHeader& a, const Mp3FrameHeader& b) {
  return a.version == b.version && a.sampleRate == b.sampleRate;
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

std::optional<Mp3FrameHeader> parseMp3FrameHeader(std::string_view bytes) {
  if (bytes.size() < kFrameHeaderSize) return std::nullopt;
  const std::uint8_t b0 = byteAt(bytes, 0);
  const std::uint8_t b1 = byteAt(bytes, 1);
  const std::uint8_t b2 = byteAt(bytes, 2);
  const std::uint8_t b3 = byteAt(bytes, 3);
  if (b0 != 0xFF || (b1 & 0xE0) != 0xE0) return std::nullopt;  // frame sync
  const int versionBits = (b1 >> 3) & 0x3;
  if (versionBits == 0x1) return std::nullopt;  // reserved version
  if (((b1 >> 1) & 0x3) != 0x1) return std::nullopt;  // not Layer III
  const int bitRateIndex = b2 >> 4;
  if (bitRateIndex == 0xF) return std::nullopt;  // bad bit rate
  const int sampleRateIndex = (b2 >> 2) & 0x3;
  if (sampleRateIndex == 0x3) return std::nullopt;  // reserved sampling rate
  if ((b3 & 0x3) == 0x2) return std::nullopt;       // reserved emphasis

  Mp3FrameHeader header{};
  header.version = versionBits == 0x3   ? Mp3FrameHeader::Version::mpeg1
                   : versionBits == 0x2 ? Mp3FrameHeader::Version::mpeg2
                                        : Mp3FrameHeader::Version::mpeg25;
  const bool mpeg1 = header.version == Mp3FrameHeader::Version::mpeg1;
  // MPEG-2 halves the MPEG-1 rates, MPEG-2.5 quarters them.
  const int divisor = mpeg1 ? 1 : header.version == Mp3FrameHeader::Version::mpeg2 ? 2 : 4;
  header.sampleRate = kMpeg1SampleRates[static_cast<std::size_t>(sampleRateIndex)] / divisor;
  header.samplesPerFrame = mpeg1 ? 1152 : 576;
  header.mono = (b3 >> 6) == 0x3;
  header.hasCrc = (b1 & 0x1) == 0;
  const int kbits = (mpeg1 ? kMpeg1BitRates : kMpeg2BitRates)[static_cast<std::size_t>(bitRateIndex)];
  if (kbits != 0) {
    // Bytes per frame: samples / 8 bits * bit rate / sampling rate, rounded
    // down, plus the padding byte.
    const int bytesPerFrame = header.samplesPerFrame / 8 * kbits * 1000 / header.sampleRate;
    header.length = static_cast<std::size_t>(bytesPerFrame + ((b2 >> 1) & 0x1));
  }
  return header;
}

bool isMp3FrameHeader(std::string_view bytes) { return parseMp3FrameHeader(bytes).has_value(); }

bool looksLikeMp3(std::string_view bytes) {
  if (const auto tagLength = id3TagLength(bytes)) {
    return bytes.size() > *tagLength && isMp3FrameHeader(bytes.substr(*tagLength));
  }
  return isMp3FrameHeader(bytes);
}

std::optional<double> mp3Duration(std::string_view file) {
  std::size_t at = 0;
  while (const auto tagLength = id3TagLength(file.substr(at))) {
    if (*tagLength >= file.size() - at) return std::nullopt;
    at += *tagLength;
  }

  // A frame found where the previous one ended (or where the audio starts)
  // is taken as it is; after anything else, only a header that another
  // frame of the same stream or the end of the file follows, so that junk
  // which happens to hold a sync word is not taken for sound.
  const auto whole = [&file](std::size_t position) -> std::optional<Mp3FrameHeader> {
    auto header = parseMp3FrameHeader(file.substr(position));
    if (!header || header->length == 0 || header->length > file.size() - position) return std::nullopt;
    return header;
  };
  std::map<int, std::uint64_t> samplesByRate;
  bool inStep = true;
  bool first = true;
  while (file.size() - at >= kFrameHeaderSize) {
    const auto header = whole(at);
    bool counts = header.has_value();
    if (counts && !inStep) {
      const std::size_t next = at + header->length;
      const auto following = whole(next);
      counts = next == file.size() || (following && sameStream(*header, *following));
    }
    if (!counts) {
      inStep = false;
      ++at;
      continue;
    }
    if (!(first && isStreamInfoFrame(file.substr(at, header->length), *header))) {
      samplesByRate[header->sampleRate] += static_cast<std::uint64_t>(header->samplesPerFrame);
    }
    first = false;
    inStep = true;
    at += header->length;
  }
  if (samplesByRate.empty()) return std::nullopt;
  double seconds = 0;
  for (const auto& [rate, samples] : samplesByRate) seconds += static_cast<double>(samples) / rate;
  return seconds;
}

}  // namespace brannic::sim
