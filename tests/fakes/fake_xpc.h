// Connections whose messages wait until the test answers them. The test
// stands in for each connection's queue: it runs replies, error handlers
// and the invalidation handler itself, from its own thread or another.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/xpc.h"

namespace brannic::testing {

struct FakeXpcMessage {
  std::string selector;
  std::vector<XpcValue> arguments;
  XpcReply reply;
  std::function<void(const PlatformError&)> errorHandler;

  // The first argument as text ("" when it is not one).
  std::string argumentText() const {
    const auto* text = arguments.empty() ? nullptr : std::get_if<std::string>(&arguments[0]);
    return text ? *text : std::string();
  }
  // The second argument as bytes (none when it is not one).
  std::optional<XpcData> authData() const {
    const auto* data = arguments.size() < 2 ? nullptr : std::get_if<XpcData>(&arguments[1]);
    return data ? std::optional<XpcData>(*data) : std::nullopt;
  }
};

// What remoteObjectProxyWithErrorHandler: gives.
enum class FakeProxyKind { conforming, notConforming, absent };

class FakeXpcConnection final : public XpcConnection, public std::enable_shared_from_this<FakeXpcConnection> {
 public:
  FakeXpcConnection(std::string machServiceName, std::uint64_t options, FakeProxyKind proxies)
      : machServiceName(std::move(machServiceName)), options(options), proxies(proxies) {}

  void setExportedInterface(const XpcInterface& interface) override {
    calls.push_back("setExportedInterface " + interface.protocolName);
  }
  void setExportedObject(std::shared_ptr<XpcExportedObject> object) override {
    calls.push_back("setExportedObject");
    exportedObject = std::move(object);
  }
  void setRemoteObjectInterface(const XpcInterface& interface) override {
    calls.push_back("setRemoteObjectInterface " + interface.protocolName);
    remoteInterface = interface;
  }
  void setInvalidationHandler(std::function<void()> handler) override {
    std::lock_guard lock(mutex_);
    calls.push_back(handler ? "setInvalidationHandler" : "setInvalidationHandler none");
    invalidationHandler_ = std::move(handler);
  }
  void resume() override { calls.push_back("resume"); }
  void invalidate() override { calls.push_back("invalidate"); }

  std::shared_ptr<XpcRemoteProxy> remoteObjectProxyWithErrorHandler(
      std::function<void(const PlatformError&)> handler) override;

  // --- The connection's queue, as the test drives it. ---

  // Runs the invalidation handler as the platform would after invalidating.
  void runInvalidationHandler() {
    std::function<void()> handler;
    {
      std::lock_guard lock(mutex_);
      handler = invalidationHandler_;
    }
    if (handler) handler();
  }
  bool hasInvalidationHandler() const {
    std::lock_guard lock(mutex_);
    return static_cast<bool>(invalidationHandler_);
  }
  // Answers or fails the message sent `index`-th on this connection.
  void reply(std::size_t index, XpcValue value) { message(index).reply(std::move(value)); }
  void fail(std::size_t index, const PlatformError& error) { message(index).errorHandler(error); }

  FakeXpcMessage& message(std::size_t index) {
    std::lock_guard lock(mutex_);
    return messages_.at(index);
  }
  std::size_t messageCount() const {
    std::lock_guard lock(mutex_);
    return messages_.size();
  }
  bool isInvalidated() const {
    for (const auto& call : calls)
      if (call == "invalidate") return true;
    return false;
  }

  const std::string machServiceName;
  const std::uint64_t options;
  FakeProxyKind proxies;
  std::vector<std::string> calls;  // configuration calls, in order
  std::shared_ptr<XpcExportedObject> exportedObject;
  std::optional<XpcInterface> remoteInterface;

 private:
  friend class FakeXpcProxy;
  void record(FakeXpcMessage message) {
    std::lock_guard lock(mutex_);
    messages_.push_back(std::move(message));
  }

  mutable std::mutex mutex_;
  std::function<void()> invalidationHandler_;
  std::deque<FakeXpcMessage> messages_;
};

class FakeXpcProxy final : public XpcRemoteProxy {
 public:
  FakeXpcProxy(std::shared_ptr<FakeXpcConnection> connection, bool conforms,
               std::function<void(const PlatformError&)> errorHandler)
      : connection_(std::move(connection)), conforms_(conforms), errorHandler_(std::move(errorHandler)) {}

  bool conformsToProtocol(const std::string& protocolName) const override {
    return conforms_ && connection_->remoteInterface &&
           connection_->remoteInterface->protocolName == protocolName;
  }
  // Only messages that the remote interface declares, with the declared
  // argument classes and a reply block exactly when one is declared, are
  // kept; anything else fails at once, as the platform refuses it.
  void send(const std::string& selector, std::vector<XpcValue> arguments, XpcReply reply) override {
    if (!declared(selector, arguments, static_cast<bool>(reply))) {
      errorHandler_(PlatformError{"NSCocoaErrorDomain", 4097, "undeclared message " + selector});
      return;
    }
    connection_->record(FakeXpcMessage{selector, std::move(arguments), std::move(reply), errorHandler_});
  }

 private:
  bool declared(const std::string& selector, const std::vector<XpcValue>& arguments, bool hasReply) const {
    const XpcMethod* method =
        connection_->remoteInterface ? connection_->remoteInterface->method(selector) : nullptr;
    if (method == nullptr || method->argumentClasses.size() != arguments.size()) return false;
    if (method->replyClass.has_value() != hasReply) return false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
      const bool matches = (method->argumentClasses[i] == XpcClass::string && arguments[i].index() == 1) ||
                           (method->argumentClasses[i] == XpcClass::data && arguments[i].index() == 2) ||
                           (method->argumentClasses[i] == XpcClass::number && arguments[i].index() == 3);
      if (!matches) return false;
    }
    return true;
  }

  std::shared_ptr<FakeXpcConnection> connection_;
  bool conforms_;
  std::function<void(const PlatformError&)> errorHandler_;
};

inline std::shared_ptr<XpcRemoteProxy> FakeXpcConnection::remoteObjectProxyWithErrorHandler(
    std::function<void(const PlatformError&)> handler) {
  calls.push_back("remoteObjectProxyWithErrorHandler");
  if (proxies == FakeProxyKind::absent) return nullptr;
  return std::make_shared<FakeXpcProxy>(shared_from_this(), proxies == FakeProxyKind::conforming,
                                        std::move(handler));
}

class FakeXpcConnections final : public XpcConnections {
 public:
  std::shared_ptr<XpcConnection> connectionWithMachServiceName(const std::string& name,
                                                               std::uint64_t options) override {
    ++requests;
    if (refuse) return nullptr;
    connections.push_back(std::make_shared<FakeXpcConnection>(name, options, proxies));
    return connections.back();
  }

  FakeXpcConnection& connection(std::size_t index) { return *connections.at(index); }
  FakeXpcConnection& last() { return *connections.back(); }
  // Every message on every connection, in the order of the connections.
  std::vector<FakeXpcMessage*> allMessages() {
    std::vector<FakeXpcMessage*> out;
    for (auto& c : connections)
      for (std::size_t i = 0; i < c->messageCount(); ++i) out.push_back(&c->message(i));
    return out;
  }

  bool refuse = false;                                // no connection object can be made
  FakeProxyKind proxies = FakeProxyKind::conforming;  // for connections made from now on
  int requests = 0;
  std::vector<std::shared_ptr<FakeXpcConnection>> connections;
};

}  // namespace brannic::testing
