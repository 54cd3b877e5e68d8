#include "platform/sim/xpc/connections.h"

#include "platform/sim/xpc/connection.h"

namespace brannic::sim {

std::shared_ptr<XpcConnection> SimXpcConnections::connectionWithMachServiceName(const std::string& name,
                                                                                std::uint64_t options) {
  SimXpcServiceLookup* domain = (options & NSXPCConnectionPrivileged) != 0 ? &systemDomain_ : nullptr;
  auto connection = SimXpcConnection::toService(name, domain, traffic_);
  connection->setProxiesWithheld(proxiesWithheld_);
  std::lock_guard lock(mutex_);
  std::erase_if(made_, [](const auto& made) { return made.expired(); });
  made_.push_back(connection);
  return connection;
}

void SimXpcConnections::abandonAll(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  std::vector<std::weak_ptr<SimXpcConnection>> made;
  {
    std::lock_guard lock(mutex_);
    made.swap(made_);
  }
  for (const auto& weak : made) {
    if (auto connection = weak.lock()) connection->abandon(deadline);
  }
}

}  // namespace brannic::sim
