// Escaping of transcript text, and the transcript's lines.
#include "platform/sim/base/transcript.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/sim/recording_transcript.h"

namespace brannic::sim {
namespace {

using namespace std::string_literals;

struct EscapeCase {
  const char* name;
  std::string bytes;
  std::string plain;   // escapeText(bytes)
  std::string quoted;  // quoted(bytes)
};

class EscapeTest : public ::testing::TestWithParam<EscapeCase> {};

TEST_P(EscapeTest, EscapesAsTheTranscriptContractSays) {
  EXPECT_EQ(escapeText(GetParam().bytes), GetParam().plain);
  EXPECT_EQ(sim::quoted(GetParam().bytes), GetParam().quoted);
}

INSTANTIATE_TEST_SUITE_P(
    Bytes, EscapeTest,
    ::testing::Values(
        EscapeCase{"Plain", "lid is closed", "lid is closed", "\"lid is closed\""},
        EscapeCase{"Empty", "", "", "\"\""}, EscapeCase{"Backslash", "a\\b", "a\\\\b", "\"a\\\\b\""},
        EscapeCase{"QuoteOnlyInsideQuotes", "say \"hi\"", "say \"hi\"", "\"say \\\"hi\\\"\""},
        EscapeCase{"LineFeedReturnTab", "a\nb\rc\td", "a\\nb\\rc\\td", "\"a\\nb\\rc\\td\""},
        EscapeCase{"OtherControlBytes", "\x01\x1f\x7f"s, "\\x01\\x1f\\x7f", "\"\\x01\\x1f\\x7f\""},
        EscapeCase{"NulByte", "a\0b"s, "a\\x00b", "\"a\\x00b\""},
        EscapeCase{"ValidMultibyte", "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x94\x92",
                   "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x94\x92",
                   "\"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x94\x92\""},
        EscapeCase{"StrayContinuation", "a\x80z", "a\\x80z", "\"a\\x80z\""},
        EscapeCase{"Latin1Byte", "caf\xE9", "caf\\xe9", "\"caf\\xe9\""},
        EscapeCase{"TruncatedAtEnd", "ok\xE2\x82", "ok\\xe2\\x82", "\"ok\\xe2\\x82\""},
        EscapeCase{"TruncatedBeforeAscii", "\xE2\x82z", "\\xe2\\x82z", "\"\\xe2\\x82z\""},
        EscapeCase{"Overlong", "\xC0\xAF\xE0\x80\xAF", "\\xc0\\xaf\\xe0\\x80\\xaf",
                   "\"\\xc0\\xaf\\xe0\\x80\\xaf\""},
        EscapeCase{"Surrogate", "\xED\xA0\x80", "\\xed\\xa0\\x80", "\"\\xed\\xa0\\x80\""},
        EscapeCase{"BeyondUnicode", "\xF4\x90\x80\x80", "\\xf4\\x90\\x80\\x80", "\"\\xf4\\x90\\x80\\x80\""},
        EscapeCase{"HighestCodePoint", "\xF4\x8F\xBF\xBF", "\xF4\x8F\xBF\xBF", "\"\xF4\x8F\xBF\xBF\""},
        EscapeCase{"NeverValidLeadBytes", "\xF5\xFF", "\\xf5\\xff", "\"\\xf5\\xff\""}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

TEST(TranscriptTest, WritesChannelLinesAndEchoesUntilClosed) {
  testing::RecordingTranscript recording;
  Transcript& transcript = recording.transcript();
  transcript.writeLine("> launch");
  transcript.emit("ui", "application hidden");
  transcript.close();
  transcript.emit("sound", "stop");
  transcript.writeLine("> state");
  EXPECT_EQ(recording.take(), (std::vector<std::string>{"> launch", "ui: application hidden"}));
}

}  // namespace
}  // namespace brannic::sim
