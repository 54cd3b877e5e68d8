// Inter-process connections to Mach services (NSXPCConnection,
// NSXPCInterface). The interfaces are made from the Objective-C protocols in
// helper_protocols_mac.h, found by the protocol name an XpcInterface gives.
#pragma once

#include "platform/xpc.h"

namespace brannic::mac {

class MacXpcConnections final : public XpcConnections {
 public:
  std::shared_ptr<XpcConnection> connectionWithMachServiceName(const std::string& name,
                                                               std::uint64_t options) override;
};

}  // namespace brannic::mac
