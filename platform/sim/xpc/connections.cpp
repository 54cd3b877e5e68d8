#include "platform/sim/xpc/connections.h"

#include "platform/sim/xpc/connection.h"

namespace brannic::sim {

std::shared_ptr<XpcConnection> SimXpcConnections::connectionWithMachServiceName(const std::string& name,
                                                                                std::uint64_t options) {
  SimXpcServiceLookup* domain = (options & NSXPCConnectionPrivileged) != 0 ? &systemDomain_ : nullptr;
  return SimXpcConnection::toService(name, domain, traffic_);
}

}  // namespace brannic::sim
