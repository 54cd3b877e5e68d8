// Telling an MP3 file by its head, and how long its frames play, on small
// crafted inputs.
#include "platform/sim/devices/mp3_frames.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "tests/support/case_name.h"
#include "tests/sim/devices/mp3_test_frames.h"

namespace brannic::sim {
namespace {

using namespace std::string_literals;
using testing::frame;
using testing::kMpeg1Header;
using testing::kMpeg2Header;
using testing::tagged;

constexpr const char* kMpeg25Header = "\xFF\xE3\x40\xC4";  // MPEG-2.5, 32 kbit/s, 11.025 kHz, mono: 208 bytes

struct Mp3Case {
  const char* name;
  std::string bytes;
  bool mp3;
};

class LooksLikeMp3Test : public ::testing::TestWithParam<Mp3Case> {};

TEST_P(LooksLikeMp3Test, ChecksTagAndFrameHeader) {
  EXPECT_EQ(looksLikeMp3(GetParam().bytes), GetParam().mp3);
}

const Mp3Case kMp3Cases[] = {
    {"Mpeg1Frame", kMpeg1Header, true},
    {"Mpeg2Frame", kMpeg2Header, true},
    {"Mpeg25Frame", kMpeg25Header, true},
    {"TaggedFrame", tagged(kMpeg1Header), true},
    {"Id3v24WithFooter", "ID3\x04\x00\x10\x00\x00\x00\x01"s + "x" + std::string(10, 'F') + kMpeg1Header,
     true},
    {"Empty", "", false},
    {"ShortFrame", "\xFF\xFB\x90", false},
    {"Text", "This is not a sound\n", false},
    {"NoSync", "\xFF\x1B\x90\x64"s, false},
    {"ReservedVersion", "\xFF\xEB\x90\x64"s, false},
    {"LayerTwo", "\xFF\xFD\x90\x64"s, false},
    {"ReservedLayer", "\xFF\xF9\x90\x64"s, false},
    {"BadBitRate", "\xFF\xFB\xF0\x64"s, false},
    {"ReservedSampleRate", "\xFF\xFB\x9C\x64"s, false},
    {"ReservedEmphasis", "\xFF\xFB\x90\x66"s, false},
    {"TagWithoutAudio", tagged(""), false},
    {"TagFollowedByText", tagged("text"), false},
    {"TagWithBadSize", "ID3\x03\x00\x00\x00\x00\x80\x05"s + "abcde" + kMpeg1Header, false},
    {"TagOfUnknownVersion", "ID3\x09\x00\x00\x00\x00\x00\x05"s + "abcde" + kMpeg1Header, false},
    {"WaveFile", "RIFF\x24\x00\x00\x00WAVEfmt "s, false},
};

INSTANTIATE_TEST_SUITE_P(Cases, LooksLikeMp3Test, ::testing::ValuesIn(kMp3Cases), testing::CaseName());

// Frame lengths and durations below are worked out by hand from the
// headers: 144 (MPEG-1) or 72 bytes per bit/s over the sampling rate, plus
// padding; 1152 (MPEG-1) or 576 samples a frame.
constexpr double kMpeg1Seconds = 1152.0 / 44100;  // 417 bytes, 418 padded
constexpr double kMpeg2Seconds = 576.0 / 22050;   // 104 bytes
constexpr double kMpeg25Seconds = 576.0 / 11025;  // 208 bytes

const std::string kMpeg1 = frame(kMpeg1Header, 417);
const std::string kMpeg1Padded = frame("\xFF\xFB\x92\x64", 418);
const std::string kMpeg2 = frame(kMpeg2Header, 104);
const std::string kMpeg25 = frame(kMpeg25Header, 208);

// An MPEG-2 mono frame whose side information (9 bytes) is followed by a
// stream-information marker.
std::string infoFrame(const char* marker) {
  std::string bytes = frame(kMpeg2Header, 104);
  bytes.replace(4 + 9, 4, marker);
  return bytes;
}

struct DurationCase {
  const char* name;
  std::string bytes;
  std::optional<double> seconds;
};

class Mp3DurationTest : public ::testing::TestWithParam<DurationCase> {};

TEST_P(Mp3DurationTest, CountsTheWholeFrames) {
  const std::optional<double> seconds = mp3Duration(GetParam().bytes);
  ASSERT_EQ(seconds.has_value(), GetParam().seconds.has_value());
  if (seconds) {
    EXPECT_NEAR(*seconds, *GetParam().seconds, 1e-9);
  }
}

const DurationCase kDurationCases[] = {
    // Valid streams of each kind.
    {"Mpeg1", kMpeg1 + kMpeg1 + kMpeg1, 3 * kMpeg1Seconds},
    {"Mpeg1Padded", kMpeg1 + kMpeg1Padded + kMpeg1, 3 * kMpeg1Seconds},
    {"Mpeg1At48kHzWithCheck", frame("\xFF\xFA\xE4\x00", 960) + frame("\xFF\xFA\xE4\x00", 960), 2 * 0.024},
    {"Mpeg1At32kHz", frame("\xFF\xFB\x98\x00", 576), 0.036},
    {"Mpeg2", kMpeg2 + kMpeg2, 2 * kMpeg2Seconds},
    {"Mpeg25", kMpeg25 + kMpeg25 + kMpeg25, 3 * kMpeg25Seconds},
    {"RatesMixed", kMpeg1 + kMpeg2 + kMpeg25, kMpeg1Seconds + kMpeg2Seconds + kMpeg25Seconds},
    {"OneFrame", kMpeg2, kMpeg2Seconds},
    // Tags and stream information.
    {"Tagged", tagged(kMpeg1 + kMpeg1), 2 * kMpeg1Seconds},
    {"TwoTags", tagged(tagged(kMpeg2)), kMpeg2Seconds},
    {"Id3v24WithFooter", "ID3\x04\x00\x10\x00\x00\x00\x01"s + "x" + std::string(10, 'F') + kMpeg2,
     kMpeg2Seconds},
    {"InfoFrameFirst", infoFrame("Info") + kMpeg2 + kMpeg2, 2 * kMpeg2Seconds},
    {"XingFrameFirst", infoFrame("Xing") + kMpeg2, kMpeg2Seconds},
    {"InfoMarkerLaterIsSound", kMpeg2 + infoFrame("Info"), 2 * kMpeg2Seconds},
    {"OnlyAnInfoFrame", infoFrame("Info"), std::nullopt},
    {"Id3v1TagAtTheEnd", kMpeg1 + kMpeg1 + "TAG" + std::string(125, ' '), 2 * kMpeg1Seconds},
    // Junk.
    {"JunkBetweenFrames", kMpeg2 + "garbage" + kMpeg2 + kMpeg2, 3 * kMpeg2Seconds},
    {"JunkHoldingASyncWord", kMpeg1 + kMpeg1Header + "xyz" + kMpeg1 + kMpeg1, 3 * kMpeg1Seconds},
    {"JunkBeforeTheFirstFrame", "\x00\x01junk"s + kMpeg2 + kMpeg2, 2 * kMpeg2Seconds},
    {"LoneHeaderInJunk", "junk"s + kMpeg1Header + std::string(500, 'j'), std::nullopt},
    {"Text", "This file is not an MP3 file.\n", std::nullopt},
    {"AllOnes", std::string(2000, '\xFF'), std::nullopt},
    {"Empty", "", std::nullopt},
    // Frames cut off.
    {"LastFrameCutOff", kMpeg1 + kMpeg1 + kMpeg1.substr(0, 200), 2 * kMpeg1Seconds},
    {"OnlyAHeader", kMpeg2Header, std::nullopt},
    {"FirstFrameCutOff", kMpeg2.substr(0, 64), std::nullopt},
    {"TagLongerThanTheFile", "ID3\x03\x00\x00\x00\x00\x7F\x7F"s + kMpeg2, std::nullopt},
    {"TagWithoutAudio", tagged(""), std::nullopt},
    // Free format: the header gives no length.
    {"FreeFormat", frame("\xFF\xFB\x00\x64", 400) + frame("\xFF\xFB\x00\x64", 400), std::nullopt},
};

INSTANTIATE_TEST_SUITE_P(Cases, Mp3DurationTest, ::testing::ValuesIn(kDurationCases), testing::CaseName());

TEST(Mp3DurationTest, EveryCutOfAStreamCountsOnlyItsWholeFrames) {
  const std::string stream = tagged(kMpeg1 + "junk" + kMpeg1Padded + kMpeg1);
  const double whole = mp3Duration(stream).value();
  EXPECT_NEAR(whole, 3 * kMpeg1Seconds, 1e-9);
  for (std::size_t length = 0; length < stream.size(); ++length) {
    const std::optional<double> seconds = mp3Duration(stream.substr(0, length));
    if (seconds) {
      EXPECT_LT(*seconds, whole) << length;
    }
  }
}

TEST(Mp3DurationTest, TheShippedSoundPlaysItsSixtyFourFrames) {
  const std::optional<double> seconds = mp3Duration(testing::shippedSound());
  ASSERT_TRUE(seconds.has_value());
  EXPECT_NEAR(*seconds, 64 * kMpeg2Seconds, 1e-9);
}

}  // namespace
}  // namespace brannic::sim
