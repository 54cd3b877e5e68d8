// The application's side of the simulated transport: connections to Mach
// services. A privileged name is looked up in the system launchd domain
// only; the user's domain holds no services here, so any other name fails
// at lookup.
#pragma once

#include "platform/sim/xpc/service_lookup.h"
#include "platform/sim/xpc/traffic.h"
#include "platform/xpc.h"

namespace brannic::sim {

class SimXpcConnections final : public XpcConnections {
 public:
  // `traffic` may be null. REQUIRES: both outlive every connection made.
  SimXpcConnections(SimXpcServiceLookup& systemDomain, SimXpcTraffic* traffic)
      : systemDomain_(systemDomain), traffic_(traffic) {}

  std::shared_ptr<XpcConnection> connectionWithMachServiceName(const std::string& name,
                                                               std::uint64_t options) override;

 private:
  SimXpcServiceLookup& systemDomain_;
  SimXpcTraffic* traffic_;
};

}  // namespace brannic::sim
