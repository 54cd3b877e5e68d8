// One end of a simulated inter-process connection over a Unix-domain
// socket, with its own serial queue: a thread that does all of the
// connection's socket work and runs, one at a time, the reply blocks, the
// error handlers, the invalidation handler and the calls on the exported
// object. No lock is held while any of them runs.
//
// Every frame received is checked: a frame that does not decode, is larger
// than the format allows, stops short, or carries a message that the
// declared interface does not allow (an unknown selector, the wrong number
// or class of arguments, a reply of the wrong class or to no message) makes
// this side drop the connection, telling the other side why first. Either
// way the messages still awaiting replies end in their error handlers (see
// sim_xpc_error.h), then the invalidation handler runs once; messages sent
// later end in their error handlers at once.
//
// A client connection looks its service up and connects when the first
// message goes out after resume(). The lookup happens on the sending
// thread, so a service started on demand starts before send() returns.
//
// A remote proxy keeps its connection alive, as the platform's do.
// Destroying the last reference invalidates the connection first.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/sim/xpc/service_lookup.h"
#include "platform/sim/base/unix_socket.h"
#include "platform/sim/xpc/traffic.h"
#include "platform/xpc.h"

namespace brannic::sim {

class SimXpcConnection final : public XpcConnection, public std::enable_shared_from_this<SimXpcConnection> {
  class Core;
  struct Private {};

 public:
  // A connection to the Mach service `serviceName`, looked up through
  // `lookup` (null: a domain without services). `traffic` is told about
  // every message and may be null. REQUIRES: both outlive the connection.
  static std::shared_ptr<SimXpcConnection> toService(const std::string& serviceName,
                                                     SimXpcServiceLookup* lookup, SimXpcTraffic* traffic);
  // The server end of a connection a listener accepted.
  static std::shared_ptr<SimXpcConnection> accepted(OwnedFd socket, const std::string& description);

  SimXpcConnection(Private, std::shared_ptr<Core> core);
  ~SimXpcConnection() override;
  SimXpcConnection(const SimXpcConnection&) = delete;
  SimXpcConnection& operator=(const SimXpcConnection&) = delete;

  void setExportedInterface(const XpcInterface& interface) override;
  void setExportedObject(std::shared_ptr<XpcExportedObject> object) override;
  void setRemoteObjectInterface(const XpcInterface& interface) override;
  void setInvalidationHandler(std::function<void()> handler) override;
  void resume() override;
  void invalidate() override;
  std::shared_ptr<XpcRemoteProxy> remoteObjectProxyWithErrorHandler(
      std::function<void(const PlatformError&)> handler) override;

  bool conformsToProtocol(const std::string& protocolName) const;
  // True once the connection has been invalidated, by either side; its
  // invalidation handler may still be running.
  bool isInvalidated() const;
  // True once the invalidation has run to its end: the handlers have
  // returned and the exported object is let go.
  bool hasEnded() const;
  // How errors name this connection ("connection to service named ...").
  const std::string& description() const;

  // Runs `hook` on the connection's queue once the connection has ended,
  // after its invalidation handler (the listener uses it to let go).
  void setEndedHook(std::function<void()> hook);

  // Sends one message; what the proxies do.
  void send(const std::string& selector, std::vector<XpcValue> arguments, XpcReply reply,
            std::function<void(const PlatformError&)> errorHandler);

 private:
  void startQueue();

  std::shared_ptr<Core> core_;
  std::once_flag queueStarted_;
  std::thread queue_;
};

}  // namespace brannic::sim
