// The application's side of the simulated transport: connections to Mach
// services. A privileged name is looked up in the system launchd domain
// only; the user's domain holds no services here, so any other name fails
// at lookup.
#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/sim/xpc/service_lookup.h"
#include "platform/sim/xpc/traffic.h"
#include "platform/xpc.h"

namespace brannic::sim {

class SimXpcConnection;

class SimXpcConnections final : public XpcConnections {
 public:
  // `traffic` may be null. REQUIRES: both outlive every connection made.
  SimXpcConnections(SimXpcServiceLookup& systemDomain, SimXpcTraffic* traffic)
      : systemDomain_(systemDomain), traffic_(traffic) {}

  std::shared_ptr<XpcConnection> connectionWithMachServiceName(const std::string& name,
                                                               std::uint64_t options) override;

  // The application's process has ended (it crashed, or quit): every
  // connection it made that is still open closes without a goodbye, and
  // nothing of the application runs on them any more. Returns once the
  // services have closed their ends, which they do after handling the
  // connection's end, each wait ending at most `timeout` from now.
  void abandonAll(std::chrono::milliseconds timeout);

  // Whether the connections made here, earlier ones included, yield a
  // remote proxy (they do until told otherwise). Any thread.
  void setYieldsProxies(bool yields) { proxiesWithheld_->store(!yields); }

 private:
  SimXpcServiceLookup& systemDomain_;
  SimXpcTraffic* traffic_;
  std::mutex mutex_;
  std::vector<std::weak_ptr<SimXpcConnection>> made_;

  std::shared_ptr<std::atomic<bool>> proxiesWithheld_ = std::make_shared<std::atomic<bool>>(false);
};

}  // namespace brannic::sim
