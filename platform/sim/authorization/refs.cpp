#include "platform/sim/authorization/refs.h"

namespace brannic::sim {

AuthorizationRef SimAuthorizationRefs::refFor(const AuthorizationExternalForm& session) {
  std::lock_guard lock(mutex_);
  auto& held = bySession_[session];
  if (!held) {
    held = std::make_unique<AuthorizationExternalForm>(session);
    // The reference is an opaque handle: only compared, never dereferenced.
    byRef_[reinterpret_cast<AuthorizationRef>(held.get())] = held.get();
  }
  return reinterpret_cast<AuthorizationRef>(held.get());
}

std::optional<AuthorizationExternalForm> SimAuthorizationRefs::sessionOf(AuthorizationRef ref) const {
  std::lock_guard lock(mutex_);
  const auto found = byRef_.find(ref);
  if (found == byRef_.end()) return std::nullopt;
  return *found->second;
}

}  // namespace brannic::sim
