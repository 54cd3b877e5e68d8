// The simulated machine's authorization authority: it keeps the sessions that
// AuthorizationCreate starts, decides requests for rights by the rules of the
// rights database, and asks the administrator when a rule says so. The
// administrator is the script: each prompt is answered with the answer set
// last (allow by default) and shows as `auth: prompt <right> -> <answer>`.
//
// A session is named by 32 random bytes, which are also its external form.
// Once the administrator has authenticated in a session, the session keeps
// that credential: every later request in it that a rule answers with "ask
// the administrator" (for the same right or another) is granted without
// asking again. The rules are still applied each time, so a right whose rule
// now refuses is refused. Other sessions are not affected.
//
// Thread-safe: the application asks in-process, the helper process through
// the authorization socket's serving thread.
#pragma once

#include <map>
#include <mutex>
#include <random>
#include <string>
#include <string_view>

#include "platform/authorization.h"
#include "platform/sim/authorization/database.h"
#include "platform/sim/base/transcript.h"

namespace brannic::sim {

enum class AdminAnswer { allow, deny, cancel };
std::string_view adminAnswerName(AdminAnswer answer);

class SimAuthorizationAuthority {
 public:
  // `transcript` may be null. REQUIRES: `database` outlives this.
  SimAuthorizationAuthority(SimAuthorizationDatabase& database, Transcript* transcript);

  void setAdminAnswer(AdminAnswer answer);
  AdminAnswer adminAnswer() const;

  // Starts a session. With kAuthorizationFlagExtendRights it first obtains
  // `rights` as copyRights does; on failure no session is started.
  OSStatus createSession(const AuthorizationItemSet& rights, AuthorizationFlags flags,
                         AuthorizationExternalForm* outSession);
  bool hasSession(const AuthorizationExternalForm& session) const;
  // Grants every right in `rights` to the session or fails. A right that
  // needs the administrator while the session has no credential yet is
  // obtained only with kAuthorizationFlagExtendRights, and its prompt needs
  // kAuthorizationFlagInteractionAllowed. With kAuthorizationFlagPartialRights
  // a refused right is skipped instead of failing the call (a cancelled
  // prompt still ends it).
  OSStatus copyRights(const AuthorizationExternalForm& session, const AuthorizationItemSet& rights,
                      AuthorizationFlags flags);
  // Whether the session would be granted `right` without asking anyone.
  bool sessionHoldsRight(const AuthorizationExternalForm& session, const std::string& right) const;

  // AuthorizationRightGet: errAuthorizationDenied when the right is not in
  // the database.
  OSStatus rightGet(const std::string& name, std::optional<PropertyValue>* outDefinition) const;
  // AuthorizationRightSet by a session: a dictionary rule is stored as given,
  // a text rule as a delegation to the rule it names; a non-empty description
  // becomes the definition's "default-prompt". Prints `auth: right written
  // <name>` once stored.
  OSStatus rightSet(const AuthorizationExternalForm& session, const std::string& name, const PropertyValue& rule,
                    const std::string& description);

 private:
  struct Session {
    bool administratorCredential = false;
  };
  // REQUIRES: mutex_ held.
  OSStatus obtainRights(Session& session, const AuthorizationItemSet& rights, AuthorizationFlags flags);
  OSStatus obtainRight(Session& session, const std::string& right, AuthorizationFlags flags);
  AuthorizationExternalForm newSessionName();

  mutable std::mutex mutex_;
  SimAuthorizationDatabase& database_;
  Transcript* transcript_;
  AdminAnswer adminAnswer_ = AdminAnswer::allow;
  std::map<AuthorizationExternalForm, Session> sessions_;
  std::random_device randomSource_;
};

}  // namespace brannic::sim
