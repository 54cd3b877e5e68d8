#include "platform/sim/authorization/refs.h"

namespace brannic::sim {

AuthorizationRef SimAuthorizationRefs::refFor(const AuthorizationExternalForm& session) {
  auto held = std::make_unique<AuthorizationExternalForm>(session);
  // The reference is an opaque handle: only compared, never dereferenced.
  const auto ref = reinterpret_cast<AuthorizationRef>(held.get());
  std::lock_guard lock(mutex_);
  byRef_.emplace(ref, std::move(held));
  return ref;
}

std::optional<AuthorizationExternalForm> SimAuthorizationRefs::sessionOf(AuthorizationRef ref) const {
  std::lock_guard lock(mutex_);
  const auto found = byRef_.find(ref);
  if (found == byRef_.end()) return std::nullopt;
  return *found->second;
}

bool SimAuthorizationRefs::free(AuthorizationRef ref) {
  std::lock_guard lock(mutex_);
  return byRef_.erase(ref) == 1;
}

std::size_t SimAuthorizationRefs::count() const {
  std::lock_guard lock(mutex_);
  return byRef_.size();
}

}  // namespace brannic::sim
