// The authorization references one process holds. Each stands for one session
// of the simulated authority, named by the session's external form. As on the
// system, every create hands out a reference of its own, even for a session
// that already has one; a reference lives until it is freed (the application
// never frees its own, so those live as long as this table). Thread-safe.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <optional>

#include "platform/authorization.h"

namespace brannic::sim {

class SimAuthorizationRefs {
 public:
  // A new reference for `session`.
  AuthorizationRef refFor(const AuthorizationExternalForm& session);
  // The session behind `ref`; nullopt for null and for anything this table
  // did not hand out or has freed (never dereferenced).
  std::optional<AuthorizationExternalForm> sessionOf(AuthorizationRef ref) const;
  // Forgets `ref`; false when it was not held.
  bool free(AuthorizationRef ref);
  // How many references are held.
  std::size_t count() const;

 private:
  mutable std::mutex mutex_;
  // Each reference is the address of its own heap copy of the session's name.
  std::map<AuthorizationRef, std::unique_ptr<AuthorizationExternalForm>> byRef_;
};

}  // namespace brannic::sim
