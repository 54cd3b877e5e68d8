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
// A peer that does not keep up is bounded: while many calls of it await
// their replies the queue reads no more than one chunk before sending them,
// and a connection is dropped (with a goodbye saying why) when more than
// two frames of the largest size wait unread for the peer, or when more
// than 4096 of its calls await replies that the exported object keeps back.
//
// A client connection looks its service up and connects when the first
// message goes out after resume(). The lookup happens on the sending
// thread, so a service started on demand starts before send() returns; the
// connecting happens on the queue, and a service that does not take the
// connection within 2 s (its queue of pending connections stays full)
// interrupts the connection, as a broken one is.
//
// A remote proxy keeps its connection alive, as the platform's do.
// Destroying the last reference invalidates the connection first.
//
// The socket closes only after the invalidation handler has returned, so the
// other side sees a connection close once this side has handled its end.
#pragma once

#include <atomic>
#include <chrono>
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

  // The process this end belongs to is gone: the connection closes without
  // a goodbye and without running anything of this side (no handler, reply
  // block or exported object). Waits until the other side has closed its
  // end as well, which it does only after its own invalidation handler has
  // returned, or until `deadline`. Does nothing to a connection that has
  // already been invalidated.
  void abandon(std::chrono::steady_clock::time_point deadline);

  bool conformsToProtocol(const std::string& protocolName) const;
  // True once the connection has been invalidated, by either side; its
  // invalidation handler may still be running.
  bool isInvalidated() const;
  // True once the invalidation has run to its end: the handlers have
  // returned and the exported object is let go.
  bool hasEnded() const;
  // How errors name this connection ("connection to service named ...").
  const std::string& description() const;

  // While `*withheld` is true, remoteObjectProxyWithErrorHandler yields no
  // proxy. Set before the connection is shared.
  void setProxiesWithheld(std::shared_ptr<const std::atomic<bool>> withheld) {
    proxiesWithheld_ = std::move(withheld);
  }

  // Runs `hook` on the connection's queue once the connection has ended,
  // after its invalidation handler (the listener uses it to let go).
  void setEndedHook(std::function<void()> hook);

  // Sends one message; what the proxies do.
  void send(const std::string& selector, std::vector<XpcValue> arguments, XpcReply reply,
            std::function<void(const PlatformError&)> errorHandler);

 private:
  void startQueue();

  std::shared_ptr<Core> core_;
  std::shared_ptr<const std::atomic<bool>> proxiesWithheld_;
  std::once_flag queueStarted_;
  std::thread queue_;
};

}  // namespace brannic::sim
