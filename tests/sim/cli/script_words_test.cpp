// Splitting a script line into words: bare words, quoted text and its escapes,
// and the reasons a line is refused.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/sim/cli/command_table.h"
#include "platform/sim/cli/script_words.h"

namespace brannic::sim {
namespace {

using namespace std::string_literals;

ScriptWord bare(std::string text) { return ScriptWord{std::move(text), false}; }
ScriptWord text(std::string text) { return ScriptWord{std::move(text), true}; }

struct WordsCase {
  const char* name;
  std::string line;
  std::vector<ScriptWord> words;
};

class ScriptWordsTest : public ::testing::TestWithParam<WordsCase> {};

TEST_P(ScriptWordsTest, SplitsIntoWords) { EXPECT_EQ(splitScriptWords(GetParam().line), GetParam().words); }

INSTANTIATE_TEST_SUITE_P(
    Lines, ScriptWordsTest,
    ::testing::Values(
        WordsCase{"Empty", "", {}}, WordsCase{"OnlyBlanks", " \t ", {}},
        WordsCase{"BareWords", "  audio\tvolume  0.25 ", {bare("audio"), bare("volume"), bare("0.25")}},
        WordsCase{
            "QuotedWithBlanks", "textFieldInput \"/tmp/a b\"", {bare("textFieldInput"), text("/tmp/a b")}},
        WordsCase{"EmptyQuoted", "\"\"", {text("")}},
        WordsCase{"Escapes", R"("\\ \" \n \r \t \x00\xff\x7F")", {text("\\ \" \n \r \t \0\xff\x7f"s)}},
        WordsCase{"RawBytesPassThrough", "\"caf\xC3\xA9\"", {text("caf\xC3\xA9")}},
        WordsCase{"HashInsideAWord", "a#b \"#c\"", {bare("a#b"), text("#c")}}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

struct BadWordsCase {
  const char* name;
  std::string line;
  std::string error;
};

class BadScriptWordsTest : public ::testing::TestWithParam<BadWordsCase> {};

TEST_P(BadScriptWordsTest, IsRefusedWithTheReason) {
  try {
    splitScriptWords(GetParam().line);
    FAIL() << "accepted";
  } catch (const CommandError& error) {
    EXPECT_EQ(std::string(error.what()), GetParam().error);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Lines, BadScriptWordsTest,
    ::testing::Values(BadWordsCase{"Unterminated", "\"abc", "unterminated quoted text"},
                      BadWordsCase{"EndsInBackslash", "\"abc\\", "unterminated quoted text"},
                      BadWordsCase{"UnknownEscape", R"("a\qb")", "unknown escape \"\\\\q\""},
                      BadWordsCase{"ShortHexEscape", R"("\x4")", "\\x needs two hex digits"},
                      BadWordsCase{"NonHexEscape", R"("\xZZ")", "\\x needs two hex digits"},
                      BadWordsCase{"TextAfterQuote", "\"a\"b", "text right after a closing quote"},
                      BadWordsCase{"QuoteInsideWord", "ab\"c\"", "a quote inside the word \"ab\\\"\""}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

TEST(ScriptWordsTest, CommandNameIsTheFirstWordAndTheRestIsTrimmed) {
  EXPECT_EQ(splitCommandName("  menu   Toggle Brannic  "),
            (std::pair<std::string_view, std::string_view>{"menu", "Toggle Brannic"}));
  EXPECT_EQ(splitCommandName("settle"), (std::pair<std::string_view, std::string_view>{"settle", ""}));
}

}  // namespace
}  // namespace brannic::sim
