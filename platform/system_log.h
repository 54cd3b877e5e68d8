// The system log (NSLog).
#pragma once

#include <string_view>

namespace brannic {

class SystemLog {
 public:
  virtual ~SystemLog() = default;
  // One line in the system log; `text` is used as is, never as a format.
  virtual void log(std::string_view text) = 0;
};

}  // namespace brannic
