#include "platform/sim/authorization/system.h"

namespace brannic::sim {

SimAuthorizationSystem::SimAuthorizationSystem(const std::filesystem::path& machineRoot, Transcript* transcript)
    : database_(authorizationDatabasePath(machineRoot)),
      authority_(database_, transcript),
      services_(authority_),
      server_(authority_, authorizationSocketPath(machineRoot)) {}

}  // namespace brannic::sim
