// The authorization references one process holds. Each stands for one session
// of the simulated authority, named by the session's external form. Callers
// never free references, so they live as long as this table; a session has at
// most one reference, so asking again for the same session hands out the same
// one. Thread-safe.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <optional>

#include "platform/authorization.h"

namespace brannic::sim {

class SimAuthorizationRefs {
 public:
  // The reference for `session`, made on first use.
  AuthorizationRef refFor(const AuthorizationExternalForm& session);
  // The session behind `ref`; nullopt for null and for anything this table
  // did not hand out (never dereferenced).
  std::optional<AuthorizationExternalForm> sessionOf(AuthorizationRef ref) const;

 private:
  mutable std::mutex mutex_;
  // Each reference is the address of its session's heap copy.
  std::map<AuthorizationExternalForm, std::unique_ptr<AuthorizationExternalForm>> bySession_;
  std::map<AuthorizationRef, const AuthorizationExternalForm*> byRef_;
};

}  // namespace brannic::sim
