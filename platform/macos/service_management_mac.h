// ServiceManagement: blessing the privileged helper (SMJobBless).
#pragma once

#include "platform/service_management.h"

namespace brannic::mac {

class MacServiceManagement final : public ServiceManagement {
 public:
  // `domain` is the name of the system's domain constant; only
  // "kSMDomainSystemLaunchd" is supported by blessing.
  bool jobBless(const std::string& domain, const std::string& executableLabel, AuthorizationRef authorization,
                std::optional<PlatformError>* outError) override;
};

}  // namespace brannic::mac
