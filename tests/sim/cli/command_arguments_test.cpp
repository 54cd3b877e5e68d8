// The checks a command's handler makes on its arguments, each with the error
// that says what was wrong.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <string_view>

#include "platform/sim/cli/command_table.h"

namespace brannic::sim {
namespace {

using namespace std::string_literals;

// A command whose handler records the arguments it read, or the error.
class ArgumentsTest : public ::testing::Test {
 protected:
  Command command{"probe", {"probe <word> \"<text>\" <number>"}, CommandPhase::any, nullptr};

  std::string errorOf(const std::function<void(const CommandArguments&)>& read, std::string_view rest) {
    try {
      read(CommandArguments(command, rest));
    } catch (const CommandError& error) {
      return error.what();
    }
    return "no error";
  }
};

TEST_F(ArgumentsTest, ReadsWordsTextNumbersAndChoices) {
  const CommandArguments arguments(command, "on \"some text\" 0.5");
  arguments.expectCount(3);
  EXPECT_EQ(arguments.choice<int>(0, {{"off", 0}, {"on", 1}}), 1);
  EXPECT_EQ(arguments.quotedText(1), "some text");
  EXPECT_EQ(arguments.number(2, 0, 1), 0.5);
  EXPECT_EQ(CommandArguments(command, "\"Toggle Brannic\"").restAsText(), "Toggle Brannic");
  EXPECT_EQ(CommandArguments(command, "Toggle  Brannic").restAsText(), "Toggle  Brannic");
}

TEST_F(ArgumentsTest, EachCheckSaysWhatWasWrong) {
  const auto count = [](const CommandArguments& a) { a.expectCount(1); };
  const auto choice = [](const CommandArguments& a) { a.choice<int>(0, {{"off", 0}, {"on", 1}}); };
  const auto quoted = [](const CommandArguments& a) { a.quotedText(0); };
  const auto keyword = [](const CommandArguments& a) { a.keyword(0); };
  const auto number = [](const CommandArguments& a) { a.number(0, 0, 3600); };
  const std::string usage = "probe: usage: probe <word> \"<text>\" <number>";
  EXPECT_EQ(errorOf(count, ""), usage);
  EXPECT_EQ(errorOf(count, "a b"), usage);
  EXPECT_EQ(errorOf(choice, "maybe"), "probe: expected one of off, on, not \"maybe\"");
  EXPECT_EQ(errorOf(choice, ""), usage);
  EXPECT_EQ(errorOf(quoted, "bare"), "probe: expected text in double quotes, not \"bare\"");
  EXPECT_EQ(errorOf(keyword, "\"on\""), "probe: expected a word without quotes, not \"on\"");
  for (const char* notANumber : {"abc", "1.5s", "nan", "inf", "0x10", "+1", "1e400"}) {
    EXPECT_EQ(errorOf(number, notANumber), "probe: \""s + notANumber + "\" is not a number") << notANumber;
  }
  EXPECT_EQ(errorOf(number, "-1"), "probe: \"-1\" is outside 0...3600");
  EXPECT_EQ(errorOf(number, "3600.5"), "probe: \"3600.5\" is outside 0...3600");
  EXPECT_EQ(errorOf(count, "\"open"), "probe: unterminated quoted text");
}

}  // namespace
}  // namespace brannic::sim
