// How a connection finds the socket of a Mach service: the launchd domain
// it is looked up in answers with the service's socket path.
#pragma once

#include <optional>
#include <string>

namespace brannic::sim {

class SimXpcServiceLookup {
 public:
  virtual ~SimXpcServiceLookup() = default;
  // The path of the listening socket of service `name`, after its job has
  // been started when it was not running; nullopt when the domain has no
  // such service. Safe from any thread.
  virtual std::optional<std::string> lookUpService(const std::string& name) = 0;
};

}  // namespace brannic::sim
