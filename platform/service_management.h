// ServiceManagement: blessing a privileged helper.
#pragma once

#include <optional>
#include <string>

#include "platform/authorization.h"
#include "platform/platform_error.h"

namespace brannic {

inline constexpr const char* kSMDomainSystemLaunchd = "kSMDomainSystemLaunchd";
// The ServiceManagement header defines this name as a macro of the same
// value; code that includes both then uses the macro.
#ifndef kSMRightBlessPrivilegedHelper
inline constexpr const char* kSMRightBlessPrivilegedHelper = "com.apple.ServiceManagement.blesshelper";
#endif

class ServiceManagement {
 public:
  virtual ~ServiceManagement() = default;
  // SMJobBless(domain, executableLabel, authorization, outError). On false,
  // *outError may hold the platform's error.
  virtual bool jobBless(const std::string& domain, const std::string& executableLabel,
                        AuthorizationRef authorization, std::optional<PlatformError>* outError) = 0;
};

}  // namespace brannic
