#include "platform/sim/cli/command_table.h"

#include <charconv>
#include <cmath>
#include <sstream>

#include "platform/sim/base/transcript.h"

namespace brannic::sim {

CommandArguments::CommandArguments(const Command& command, std::string_view rest)
    : command_(command), restAsText_(rest) {
  try {
    words_ = splitScriptWords(rest);
  } catch (const CommandError& error) {
    fail(error.what());
  }
  if (words_.size() == 1 && words_.front().quoted) restAsText_ = words_.front().text;
}

void CommandArguments::fail(const std::string& why) const { throw CommandError(command_.name + ": " + why); }

void CommandArguments::failUsage() const {
  std::string forms;
  for (const auto& form : command_.usage) forms += (forms.empty() ? "" : " or ") + form;
  fail("usage: " + forms);
}

std::string CommandArguments::describeWord(std::size_t i) const {
  if (i >= words_.size()) return "nothing";
  return sim::quoted(words_[i].text);
}

void CommandArguments::expectCount(std::size_t count) const {
  if (words_.size() != count) failUsage();
}

const std::string& CommandArguments::keyword(std::size_t i) const {
  if (i >= words_.size()) failUsage();
  if (words_[i].quoted) fail("expected a word without quotes, not " + describeWord(i));
  return words_[i].text;
}

const std::string& CommandArguments::quotedText(std::size_t i) const {
  if (i >= words_.size()) failUsage();
  if (!words_[i].quoted) fail("expected text in double quotes, not " + describeWord(i));
  return words_[i].text;
}

double CommandArguments::number(std::size_t i, double lowest, double highest) const {
  const std::string& word = keyword(i);
  double value = 0;
  const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
  if (word.empty() || error != std::errc() || end != word.data() + word.size() || !std::isfinite(value)) {
    fail(describeWord(i) + " is not a number");
  }
  if (value < lowest || value > highest) {
    std::ostringstream range;
    range << lowest << "..." << highest;
    fail(describeWord(i) + " is outside " + range.str());
  }
  return value;
}

void CommandTable::add(Command command) { commands_.push_back(std::move(command)); }

const Command* CommandTable::find(std::string_view name) const {
  for (const auto& command : commands_) {
    if (command.name == name) return &command;
  }
  return nullptr;
}

void CommandTable::addStateKey(std::string key, StateValue value) {
  stateKeys_.emplace_back(std::move(key), std::move(value));
}

}  // namespace brannic::sim
