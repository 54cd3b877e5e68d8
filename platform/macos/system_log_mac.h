// The system log (NSLog).
#pragma once

#include "platform/system_log.h"

namespace brannic::mac {

class MacSystemLog final : public SystemLog {
 public:
  void log(std::string_view text) override;
};

}  // namespace brannic::mac
