#include "platform/macos/console_mac.h"

#include <cstdio>

namespace brannic::mac {

void MacConsole::writeLine(std::string_view line) {
  // One locked write per line, so lines from other threads never interleave;
  // flushed at once because the diagnostics matter most just before a hang.
  flockfile(stdout);
  fwrite(line.data(), 1, line.size(), stdout);
  fputc('\n', stdout);
  fflush(stdout);
  funlockfile(stdout);
}

}  // namespace brannic::mac
