#include "platform/sim/launchd/service_management.h"

#include <filesystem>

namespace brannic::sim {

namespace {

bool isFileName(const std::string& label) {
  return !label.empty() && label != "." && label != ".." && label.find('/') == std::string::npos &&
         label.find('\0') == std::string::npos;
}

}  // namespace

PlatformError serviceManagementError(std::int64_t code) {
  return PlatformError{kSMErrorDomainLaunchd, code,
                       "Error Domain=" + std::string(kSMErrorDomainLaunchd) + " Code=" + std::to_string(code) +
                           " \"(null)\""};
}

SimServiceManagement::SimServiceManagement(SimAuthorizationServices& authorization,
                                           std::string launchServicesFolder, BlessJob bless)
    : authorization_(authorization), launchServicesFolder_(std::move(launchServicesFolder)), bless_(std::move(bless)) {}

void SimServiceManagement::setFailure(BlessFailure failure) {
  std::lock_guard lock(mutex_);
  failure_ = failure;
}

bool SimServiceManagement::jobBless(const std::string& domain, const std::string& executableLabel,
                                    AuthorizationRef authorization, std::optional<PlatformError>* outError) {
  const auto failWith = [outError](std::int64_t code) {
    if (outError) *outError = serviceManagementError(code);
    return false;
  };
  BlessFailure failure;
  {
    std::lock_guard lock(mutex_);
    failure = failure_;
  }
  if (failure == BlessFailure::withoutError) return false;
  if (failure == BlessFailure::withError) return failWith(kSMErrorInternalFailure);
  if (domain != kSMDomainSystemLaunchd) return failWith(kSMErrorInternalFailure);
  if (!isFileName(executableLabel)) return failWith(kSMErrorToolNotValid);
  if (!authorization_.holdsRight(authorization, kSMRightBlessPrivilegedHelper))
    return failWith(kSMErrorAuthorizationFailure);
  const auto executable = std::filesystem::path(launchServicesFolder_) / executableLabel;
  std::error_code error;
  if (!std::filesystem::is_regular_file(executable, error)) return failWith(kSMErrorToolNotValid);
  std::string why;
  if (!bless_ || !bless_(executableLabel, executable.string(), &why)) return failWith(kSMErrorInternalFailure);
  return true;
}

}  // namespace brannic::sim
