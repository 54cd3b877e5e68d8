// A platform error object (NSError): domain, code and the description the
// platform formats for it.
#pragma once

#include <cstdint>
#include <string>

namespace brannic {

struct PlatformError {
  std::string domain;
  std::int64_t code = 0;
  std::string description;  // -description, as the platform formats it
  bool operator==(const PlatformError&) const = default;
};

}  // namespace brannic
