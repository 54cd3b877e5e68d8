#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "lid_alarm/utf8.h"
#include "lid_alarm/view_controller.h"
#include "tests/support/case_name.h"
#include "tests/lid_alarm/fakes.h"

namespace brannic {
namespace {

using namespace std::string_literals;

TEST(LidProbeTest, RunsTheFixedPipelineThroughTheShell) {
  testing::FakeShell shell;
  shell.answer("");
  lidIsOpen(shell);
  EXPECT_EQ(shell.launches, 1);
  EXPECT_EQ(shell.launchPath, "/bin/sh");
  const std::string command = "ioreg -r -k AppleClamshellState -d 4 | grep AppleClamshellState  | head -1";
  ASSERT_EQ(command.size(), 74u);
  EXPECT_EQ(shell.arguments, (std::vector<std::string>{"-c", command}));
}

struct ProbeCase {
  const char* name;
  std::optional<std::string> output;
  bool open;
};

class LidProbeOutputTest : public ::testing::TestWithParam<ProbeCase> {};

TEST_P(LidProbeOutputTest, OpenOnlyForUtf8OutputContainingNo) {
  testing::FakeShell shell;
  shell.answer(GetParam().output);
  EXPECT_EQ(lidIsOpen(shell), GetParam().open);
}

const ProbeCase kProbeCases[] = {
    {"KeyReadsNo", "    |   \"AppleClamshellState\" = No\n", true},
    {"KeyReadsYes", "    |   \"AppleClamshellState\" = Yes\n", false},
    {"NoLidPrintsNothing", "", false},
    {"ShellCannotStart", std::nullopt, false},
    {"LowerCaseOnly", "    |   \"AppleClamshellState\" = no\n", false},
    {"UpperCaseOnly", "\"AppleClamshellState\" = NO\n", false},
    {"NoAnywhereInTheText", "Nothing\n", true},
    {"NoWithoutLineFeed", "= No", true},
    {"MultiByteUtf8AroundNo", "\xC3\xA9\xE2\x82\xAC No \xF0\x9F\x94\x92\n", true},
    {"NulByteIsUtf8", "\0 = No\n"s, true},
    {"InvalidByteBeforeNo", "\xFF\xFE \"AppleClamshellState\" = No\n", false},
    {"TruncatedSequenceAtEnd", "= No \xE2\x82", false},
    {"OverlongSlash", "\xC0\xAF = No", false},
    {"Surrogate", "\xED\xA0\x80 = No", false},
    {"Latin1Text", "caf\xE9 = No\n", false},
};

INSTANTIATE_TEST_SUITE_P(Cases, LidProbeOutputTest, ::testing::ValuesIn(kProbeCases),
                         testing::CaseName());

struct Utf8Case {
  const char* name;
  std::string bytes;
  bool valid;
};

class Utf8Test : public ::testing::TestWithParam<Utf8Case> {};

TEST_P(Utf8Test, JudgesTheEdgesOfEachSequenceLength) {
  EXPECT_EQ(isValidUtf8(GetParam().bytes), GetParam().valid);
}

const Utf8Case kUtf8Cases[] = {
    {"Empty", "", true},
    {"Ascii", "AppleClamshellState", true},
    {"LoneContinuation", "\x80", false},
    {"TwoByteSmallest", "\xC2\x80", true},
    {"TwoByteOverlong", "\xC1\xBF", false},
    {"TwoByteBadContinuation", "\xC2\x41", false},
    {"ThreeByteSmallest", "\xE0\xA0\x80", true},
    {"ThreeByteOverlong", "\xE0\x9F\xBF", false},
    {"LastBeforeSurrogates", "\xED\x9F\xBF", true},
    {"FirstSurrogate", "\xED\xA0\x80", false},
    {"ThreeByteLargest", "\xEF\xBF\xBF", true},
    {"ThreeByteBadThird", "\xE2\x82\x41", false},
    {"FourByteSmallest", "\xF0\x90\x80\x80", true},
    {"FourByteOverlong", "\xF0\x8F\xBF\xBF", false},
    {"LargestCodePoint", "\xF4\x8F\xBF\xBF", true},
    {"PastLargestCodePoint", "\xF4\x90\x80\x80", false},
    {"LeadPastF4", "\xF5\x80\x80\x80", false},
    {"FourByteTruncated", "\xF0\x90\x80", false},
    {"FF", "\xFF", false},
};

INSTANTIATE_TEST_SUITE_P(Cases, Utf8Test, ::testing::ValuesIn(kUtf8Cases),
                         testing::CaseName());

}  // namespace
}  // namespace brannic
