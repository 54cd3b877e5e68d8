// What the simulated audio player reads of an MP3 file: the ID3v2 tag it
// may start with and the MPEG audio Layer III frames (MPEG-1, MPEG-2 and
// MPEG-2.5) that follow, enough to tell whether a file is one and how long
// it plays. Nothing is decoded.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace brannic::sim {

// What one Layer III frame header says.
struct Mp3FrameHeader {
  enum class Version { mpeg1, mpeg2, mpeg25 };
  Version version;
  int sampleRate;          // Hz
  int samplesPerFrame;     // 1152 (MPEG-1) or 576
  std::size_t length = 0;  // the whole frame in bytes, header and padding included; 0: free format
  bool mono = false;
  bool hasCrc = false;     // a 16-bit check follows the header
};

// The length of the ID3v2 tag that `header` (at least its first 10 bytes)
// starts with, header and footer included; nullopt when it starts with no
// well-formed tag.
std::optional<std::size_t> id3TagLength(std::string_view header);

// The Layer III frame header that `bytes` start with: the 11-bit frame sync
// and no reserved version, bit rate, sampling rate or emphasis. Nullopt
// otherwise.
std::optional<Mp3FrameHeader> parseMp3FrameHeader(std::string_view bytes);

// Whether `bytes` start with a Layer III frame header.
bool isMp3FrameHeader(std::string_view bytes);

// Whether `bytes` start like an MP3 file: a frame header, or an ID3v2 tag
// directly followed by one.
bool looksLikeMp3(std::string_view bytes);

// How long the frames of `file` (a whole MP3 file) play, in seconds: the
// samples of every whole frame over its sampling rate. Leading ID3v2 tags
// are skipped, and so is anything between frames that is not one (the
// search for the next frame takes a header found there only when another
// frame or the end of the file follows it); a frame cut off by the end of
// the file, a free-format frame (whose header gives no length) and a
// leading Xing or Info frame (which describes the stream and holds no
// sound) do not count. Nullopt when no frame counts.
std::optional<double> mp3Duration(std::string_view file);

}  // namespace brannic::sim
