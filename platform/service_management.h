// ServiceManagement: blessing a privileged helper.
#pragma once

#include <optional>
#include <string>

#include "platform/authorization.h"
#include "platform/platform_error.h"

namespace brannic {

inline constexpr const char* kSMDomainSystemLaunchd = "kSMDomainSystemLaunchd";
inline constexpr const char* kSMRightBlessPrivilegedHelper = "com.apple.ServiceManagement.blesshelper";

class ServiceManagement {
 public:
  virtual ~ServiceManagement() = default;
  // SMJobBless(domain, executableLabel, authorization, outError). On false,
  // *outError may hold the platform's error.
  virtual bool jobBless(const std::string& domain, const std::string& executableLabel,
                        AuthorizationRef authorization, std::optional<PlatformError>* outError) = 0;
};

}  // namespace brannic
