// The simulated machine's whole authorization system, as the simulator sets
// it up: the rights database in the machine folder, the authority, the
// application's authorization services and the socket through which the
// helper process asks the same authority.
#pragma once

#include <filesystem>

#include "platform/sim/authorization/server.h"
#include "platform/sim/authorization/authority.h"
#include "platform/sim/authorization/database.h"
#include "platform/sim/authorization/services.h"
#include "platform/sim/base/transcript.h"

namespace brannic::sim {

class SimAuthorizationSystem {
 public:
  // Throws std::runtime_error, saying why, when the database or the socket
  // cannot be set up. `transcript` may be null.
  SimAuthorizationSystem(const std::filesystem::path& machineRoot, Transcript* transcript);

  SimAuthorizationDatabase& database() { return database_; }
  SimAuthorizationAuthority& authority() { return authority_; }
  // What the application uses.
  SimAuthorizationServices& services() { return services_; }

 private:
  SimAuthorizationDatabase database_;
  SimAuthorizationAuthority authority_;
  SimAuthorizationServices services_;
  SimAuthServer server_;  // last: stops serving before the rest goes
};

}  // namespace brannic::sim
