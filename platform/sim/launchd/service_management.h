// SMJobBless on the simulated machine: the authorization must hold the right
// to bless a privileged helper (obtained when it was created with
// pre-authorization) and the application bundle must carry the helper at
// Contents/Library/LaunchServices/<label>; then the launchd stand-in copies
// it into the system domain and registers its job.
//
// Failures answer false with an error like the platform's: domain
// "CFErrorDomainLaunchd", one of ServiceManagement's codes below, and the
// description an error without user information has, e.g.
//   Error Domain=CFErrorDomainLaunchd Code=4 "(null)"
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

#include "platform/service_management.h"
#include "platform/sim/authorization/services.h"

namespace brannic::sim {

inline constexpr const char* kSMErrorDomainLaunchd = "CFErrorDomainLaunchd";
inline constexpr std::int64_t kSMErrorInternalFailure = 2;
inline constexpr std::int64_t kSMErrorAuthorizationFailure = 4;
inline constexpr std::int64_t kSMErrorToolNotValid = 5;

PlatformError serviceManagementError(std::int64_t code);

// What the script makes every blessing do: work, or fail without or with an
// error (kSMErrorInternalFailure).
enum class BlessFailure { none, withoutError, withError };

class SimServiceManagement final : public ServiceManagement {
 public:
  // The launchd stand-in's bless: copies `executable` into the system domain
  // and registers the job `label`; false, with `error` saying why, on failure.
  using BlessJob =
      std::function<bool(const std::string& label, const std::string& executable, std::string* error)>;

  // `launchServicesFolder`: the bundle's Contents/Library/LaunchServices.
  // REQUIRES: `authorization` outlives this.
  SimServiceManagement(SimAuthorizationServices& authorization, std::string launchServicesFolder, BlessJob bless);

  void setFailure(BlessFailure failure);

  // A label must name a file: not empty, no "/", not "." or "..". A bundle
  // without that helper is kSMErrorToolNotValid; a stand-in that fails,
  // kSMErrorInternalFailure.
  bool jobBless(const std::string& domain, const std::string& executableLabel, AuthorizationRef authorization,
                std::optional<PlatformError>* outError) override;

 private:
  SimAuthorizationServices& authorization_;
  const std::string launchServicesFolder_;
  BlessJob bless_;
  std::mutex mutex_;  // guards failure_
  BlessFailure failure_ = BlessFailure::none;
};

}  // namespace brannic::sim
