// Child-process tasks with a pipe on standard output (NSTask + NSPipe).
#pragma once

#include "platform/shell.h"

namespace brannic::mac {

class MacShell final : public Shell {
 public:
  std::optional<std::string> launchAndReadStandardOutput(const std::string& launchPath,
                                                         const std::vector<std::string>& arguments) override;
};

}  // namespace brannic::mac
