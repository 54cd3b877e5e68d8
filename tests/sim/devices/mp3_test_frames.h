// Small MP3 inputs for the tests of the simulated player: frame headers,
// frames of a given length, ID3v2 tags, and the shipped sound.
#pragma once

#include <fstream>
#include <iterator>
#include <string>

#include "build_config.h"

namespace brannic::testing {

// MPEG-1 Layer III, 128 kbit/s, 44.1 kHz, joint stereo: 417-byte frames.
inline constexpr const char* kMpeg1Header = "\xFF\xFB\x90\x64";
// MPEG-2 Layer III, 32 kbit/s, 22.05 kHz, mono, as the shipped sound: 104-byte frames.
inline constexpr const char* kMpeg2Header = "\xFF\xF3\x40\xC4";

// A frame: the four header bytes, then silence up to `length` bytes.
inline std::string frame(const char* header, std::size_t length) {
  std::string bytes(header, 4);
  bytes.resize(length, '\0');
  return bytes;
}

// An ID3v2.3 tag with 5 bytes of body, followed by `after`.
inline std::string tagged(const std::string& after, char flags = 0) {
  using namespace std::string_literals;
  return "ID3\x03\x00"s + flags + "\x00\x00\x00\x05"s + "abcde" + after;
}

inline std::string shippedSound() {
  std::ifstream file(BRANNIC_SOURCE_DIR "/resources/Final.mp3", std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

}  // namespace brannic::testing
