// Standard output, written as the platform's print facility writes it.
#pragma once

#include "platform/console.h"

namespace brannic::mac {

class MacConsole final : public Console {
 public:
  void writeLine(std::string_view line) override;
};

}  // namespace brannic::mac
