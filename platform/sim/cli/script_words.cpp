#include "platform/sim/cli/script_words.h"

#include "platform/sim/cli/command_table.h"
#include "platform/sim/base/transcript.h"

namespace brannic::sim {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads quoted text starting after the opening quote at text[i]; leaves i
// after the closing quote.
std::string readQuoted(std::string_view text, std::size_t& i) {
  std::string out;
  for (;;) {
    if (i >= text.size()) throw CommandError("unterminated quoted text");
    const char c = text[i++];
    if (c == '"') return out;
    if (c != '\\') {
      out += c;
      continue;
    }
    if (i >= text.size()) throw CommandError("unterminated quoted text");
    const char escape = text[i++];
    switch (escape) {
      case '\\':
        out += '\\';
        break;
      case '"':
        out += '"';
        break;
      case 'n':
        out += '\n';
        break;
      case 'r':
        out += '\r';
        break;
      case 't':
        out += '\t';
        break;
      case 'x': {
        const int high = i < text.size() ? hexDigit(text[i]) : -1;
        const int low = i + 1 < text.size() ? hexDigit(text[i + 1]) : -1;
        if (high < 0 || low < 0) throw CommandError("\\x needs two hex digits");
        out += static_cast<char>(high * 16 + low);
        i += 2;
        break;
      }
      default:
        throw CommandError("unknown escape " + sim::quoted(std::string("\\") + escape));
    }
  }
}

}  // namespace

std::vector<ScriptWord> splitScriptWords(std::string_view text) {
  std::vector<ScriptWord> words;
  std::size_t i = 0;
  for (;;) {
    while (i < text.size() && isBlank(text[i])) ++i;
    if (i >= text.size()) return words;
    if (text[i] == '"') {
      ++i;
      words.push_back(ScriptWord{readQuoted(text, i), true});
      if (i < text.size() && !isBlank(text[i])) throw CommandError("text right after a closing quote");
      continue;
    }
    const std::size_t start = i;
    while (i < text.size() && !isBlank(text[i])) {
      if (text[i] == '"')
        throw CommandError("a quote inside the word " + sim::quoted(text.substr(start, i + 1 - start)));
      ++i;
    }
    words.push_back(ScriptWord{std::string(text.substr(start, i - start)), false});
  }
}

std::string_view trimBlanks(std::string_view text) {
  while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
  return text;
}

std::pair<std::string_view, std::string_view> splitCommandName(std::string_view line) {
  line = trimBlanks(line);
  std::size_t end = 0;
  while (end < line.size() && !isBlank(line[end])) ++end;
  return {line.substr(0, end), trimBlanks(line.substr(end))};
}

}  // namespace brannic::sim
