// The helper's side of its Mach service (NSXPCListener), accepting only
// clients that satisfy a code-signing requirement.
#pragma once

#include <memory>
#include <string>

#include "platform/xpc.h"

namespace brannic::mac {

class MacXpcListener final : public XpcListener {
 public:
  // `clientRequirement`: the code-signing requirement (in the requirement
  // language) that every client must satisfy. An empty or malformed one
  // refuses every client.
  MacXpcListener(const std::string& machServiceName, const std::string& clientRequirement);
  ~MacXpcListener() override;
  MacXpcListener(const MacXpcListener&) = delete;
  MacXpcListener& operator=(const MacXpcListener&) = delete;

  // The decision runs on the listener's queue, for clients that passed the
  // requirement. REQUIRES: called before resume().
  void setShouldAcceptNewConnection(std::function<bool(std::shared_ptr<XpcConnection>)> decide) override;
  // Never returns: the process serves its connections until it ends.
  void resume() override;

 private:
  struct Listener;
  std::unique_ptr<Listener> listener_;
};

}  // namespace brannic::mac
