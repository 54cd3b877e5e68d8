#include "platform/sim/base/shell_quoting.h"

namespace brannic::sim {

std::string shellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (const char c : text) {
    // A single quote cannot appear inside single quotes: close, add an
    // escaped one, and reopen.
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  return quoted + "'";
}

}  // namespace brannic::sim
