// The words of a script line. A word is a run of non-blank characters, or
// text in double quotes, written with the transcript's escapes: `\\`, `\"`,
// `\n`, `\r`, `\t` and `\xNN` (two hex digits, any byte).
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace brannic::sim {

struct ScriptWord {
  std::string text;
  bool quoted = false;
  bool operator==(const ScriptWord&) const = default;
};

// Throws CommandError (command_table.h) for an unterminated quote, an
// unknown escape, a quote inside a bare word or text right after a closing
// quote.
std::vector<ScriptWord> splitScriptWords(std::string_view text);

// The command name (the first run of non-blank characters) and the rest of
// the line after it, both without surrounding blanks.
std::pair<std::string_view, std::string_view> splitCommandName(std::string_view line);

// `text` without leading and trailing blanks (spaces and tabs).
std::string_view trimBlanks(std::string_view text);

}  // namespace brannic::sim
