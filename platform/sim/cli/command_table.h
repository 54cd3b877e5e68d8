// The simulator's command language: each command is known by its first
// word and registered, with its usage and its handler, by the file of its
// area (commands_app.cpp, commands_devices.cpp, ...; see commands.h).
// Areas also register the keys of the `state` line.
#pragma once

#include <functional>
#include <initializer_list>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/sim/cli/script_words.h"

namespace brannic::sim {

class Simulator;

// A script line that cannot be run; the message says why.
class CommandError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// When a command may run.
enum class CommandPhase { any, beforeLaunch, afterLaunch };

class CommandArguments;

struct Command {
  std::string name;
  // One entry per form, e.g. `lid open|closed|none` and `lid raw "<text>"`.
  std::vector<std::string> usage;
  CommandPhase phase = CommandPhase::any;
  // Throws CommandError for a line it cannot run.
  std::function<void(Simulator&, const CommandArguments&)> run;
};

// What follows the command name, with helpers that check it and throw
// CommandError with a message that names the command.
class CommandArguments {
 public:
  // Throws CommandError when `rest` is not well formed (see splitScriptWords).
  CommandArguments(const Command& command, std::string_view rest);

  const std::vector<ScriptWord>& words() const { return words_; }
  std::size_t size() const { return words_.size(); }
  // The text after the command name without surrounding blanks; a line
  // that is one quoted word gives that word's text.
  const std::string& restAsText() const { return restAsText_; }

  void expectCount(std::size_t count) const;
  // Word i, which must be a bare word.
  const std::string& keyword(std::size_t i) const;
  // Word i, which must be text in double quotes.
  const std::string& quotedText(std::size_t i) const;
  // Word i as a finite decimal number within [lowest, highest].
  double number(std::size_t i, double lowest, double highest) const;
  // Word i as one of the named choices.
  template <typename T>
  T choice(std::size_t i, std::initializer_list<std::pair<std::string_view, T>> choices) const {
    const std::string& word = keyword(i);
    std::string names;
    for (const auto& [name, value] : choices) {
      if (name == word) return value;
      names += names.empty() ? "" : ", ";
      names += name;
    }
    fail("expected one of " + names + ", not " + describeWord(i));
  }
  [[noreturn]] void fail(const std::string& why) const;
  [[noreturn]] void failUsage() const;
  // Word i as it reads in an error message.
  std::string describeWord(std::size_t i) const;

 private:
  const Command& command_;
  std::string restAsText_;
  std::vector<ScriptWord> words_;
};

class CommandTable {
 public:
  using StateValue = std::function<std::string(Simulator&)>;

  // REQUIRES: no command of that name yet.
  void add(Command command);
  const Command* find(std::string_view name) const;
  const std::vector<Command>& commands() const { return commands_; }

  // A `key=value` pair of the `state` line; keys print in the order they
  // were added. REQUIRES: no key of that name yet.
  void addStateKey(std::string key, StateValue value);
  const std::vector<std::pair<std::string, StateValue>>& stateKeys() const { return stateKeys_; }

 private:
  std::vector<Command> commands_;
  std::vector<std::pair<std::string, StateValue>> stateKeys_;
};

}  // namespace brannic::sim
