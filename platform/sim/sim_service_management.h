// SMJobBless on the simulated machine: the authorization must hold the right
// to bless a privileged helper (obtained when it was created with
// pre-authorization); then the launchd stand-in copies the helper out of the
// application bundle and registers its job.
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
#include "platform/sim/sim_authorization_services.h"

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
  // Copies the helper `label` from the application bundle into the system
  // domain and registers its job. Answers 0 when done, otherwise the
  // ServiceManagement code of the failure.
  using InstallJob = std::function<std::int64_t(const std::string& label)>;

  // REQUIRES: `authorization` outlives this.
  SimServiceManagement(SimAuthorizationServices& authorization, InstallJob install);

  void setFailure(BlessFailure failure);

  // A label must name a file: not empty, no "/", not "." or "..".
  bool jobBless(const std::string& domain, const std::string& executableLabel, AuthorizationRef authorization,
                std::optional<PlatformError>* outError) override;

 private:
  SimAuthorizationServices& authorization_;
  InstallJob install_;
  std::mutex mutex_;  // guards failure_
  BlessFailure failure_ = BlessFailure::none;
};

}  // namespace brannic::sim
