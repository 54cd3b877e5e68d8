// Standard output, written the way the platform's print facility writes it.
#pragma once

#include <sstream>
#include <string>
#include <string_view>
#include <type_traits>

namespace brannic {

class Console {
 public:
  virtual ~Console() = default;
  // Writes `line` followed by one line feed.
  virtual void writeLine(std::string_view line) = 0;
};

namespace console_detail {
template <typename T>
void appendItem(std::string& out, const T& item) {
  if constexpr (std::is_same_v<T, bool>) {
    out += item ? "true" : "false";
  } else if constexpr (std::is_convertible_v<const T&, std::string_view>) {
    out += std::string_view(item);
  } else {
    std::ostringstream text;
    text << item;
    out += text.str();
  }
}
}  // namespace console_detail

// print(a, b, ...): the items separated by one blank, ended by a line feed;
// a Boolean prints as "true" or "false".
template <typename... Items>
void print(Console& console, const Items&... items) {
  std::string line;
  bool first = true;
  ((line += first ? "" : " ", first = false, console_detail::appendItem(line, items)), ...);
  console.writeLine(line);
}

}  // namespace brannic
