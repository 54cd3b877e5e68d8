// Running a tool with an argument vector and no shell, both output streams
// captured (NSTask with two NSPipes). Used by the helper.
#pragma once

#include "platform/process_runner.h"

namespace brannic::mac {

class MacProcessRunner final : public ProcessRunner {
 public:
  // Safe from any thread; blocks the caller until the tool has ended.
  std::optional<ProcessResult> run(const std::string& executablePath,
                                   const std::vector<std::string>& arguments) override;
};

}  // namespace brannic::mac
