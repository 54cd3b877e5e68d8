// Text put into the shell scripts the simulated machine writes (its tool
// stand-ins), where a path or a value must reach the shell as one word
// whatever characters it holds.
#pragma once

#include <string>

namespace brannic::sim {

// `text` as one single-quoted shell word: the shell reads it back as exactly
// `text`, with no expansion of any kind.
std::string shellQuoted(const std::string& text);

}  // namespace brannic::sim
