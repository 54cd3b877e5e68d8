// Inter-process connections to Mach services (NSXPCConnection,
// NSXPCInterface, NSXPCListener).
//
// Threads: replies, error handlers, the invalidation handler and incoming
// calls on the exported object are delivered on the connection's own serial
// queue, never on the main thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "platform/platform_error.h"

namespace brannic {

// One argument or reply object: nil, NSString, NSData or NSNumber.
struct XpcNil {
  bool operator==(const XpcNil&) const = default;
};
using XpcData = std::vector<std::uint8_t>;
using XpcValue = std::variant<XpcNil, std::string, XpcData, std::int64_t>;

// The class of an argument or reply object, as an interface declares it.
enum class XpcClass { string, data, number };

// One required instance method of a protocol.
struct XpcMethod {
  std::string selector;
  std::vector<XpcClass> argumentClasses;  // excluding the reply block
  std::optional<XpcClass> replyClass;     // none: the method has no reply block
  std::string typeEncoding;
};

// NSXPCInterface interfaceWithProtocol:. Messages that the interface does not
// declare, or whose arguments are not of the declared classes, never reach the
// other side's object.
struct XpcInterface {
  std::string protocolName;
  std::vector<XpcMethod> methods;
  const XpcMethod* method(const std::string& selector) const {
    for (const auto& m : methods)
      if (m.selector == selector) return &m;
    return nullptr;
  }
};

// The Foundation class a declared argument or reply is of, by its name.
inline const char* xpcClassName(XpcClass xpcClass) {
  switch (xpcClass) {
    case XpcClass::string:
      return "NSString";
    case XpcClass::data:
      return "NSData";
    case XpcClass::number:
      return "NSNumber";
  }
  return "?";
}

// Whether `value` may travel where `declared` is expected; nil may stand
// for an object of any class.
inline bool isOfClass(const XpcValue& value, XpcClass declared) {
  if (std::holds_alternative<XpcNil>(value)) return true;
  switch (declared) {
    case XpcClass::string:
      return std::holds_alternative<std::string>(value);
    case XpcClass::data:
      return std::holds_alternative<XpcData>(value);
    case XpcClass::number:
      return std::holds_alternative<std::int64_t>(value);
  }
  return false;
}

// How a message breaks the declaration it is sent under. Each transport
// words the refusal its own way; the rule is this one.
struct XpcMismatch {
  enum class Kind { undeclared, argumentCount, argumentClass, replyBlock };
  Kind kind;
  std::size_t argument = 0;  // for argumentClass: the first wrong one, from 0
};

// Checks a message against `method` (null: the interface does not declare
// the selector): its arguments' number and classes, then whether it carries
// a reply block exactly when the method has one. nullopt when it matches.
inline std::optional<XpcMismatch> checkAgainstDeclaration(const XpcMethod* method,
                                                          const std::vector<XpcValue>& arguments,
                                                          bool hasReply) {
  using Kind = XpcMismatch::Kind;
  if (method == nullptr) return XpcMismatch{Kind::undeclared};
  if (arguments.size() != method->argumentClasses.size()) return XpcMismatch{Kind::argumentCount};
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    if (!isOfClass(arguments[i], method->argumentClasses[i])) return XpcMismatch{Kind::argumentClass, i};
  }
  if (hasReply != method->replyClass.has_value()) return XpcMismatch{Kind::replyBlock};
  return std::nullopt;
}

using XpcReply = std::function<void(XpcValue reply)>;

// The object a connection exports. Called on the connection's queue with a
// message that the exported interface declares; `reply` is empty for a
// method without a reply block and must otherwise be called once.
class XpcExportedObject {
 public:
  virtual ~XpcExportedObject() = default;
  virtual void invoke(const std::string& selector, std::vector<XpcValue> arguments, XpcReply reply) = 0;
};

// remoteObjectProxyWithErrorHandler:. A message whose reply cannot come (the
// connection failed or was invalidated, the other side refused the message)
// ends in the proxy's error handler instead of its reply block.
class XpcRemoteProxy {
 public:
  virtual ~XpcRemoteProxy() = default;
  virtual bool conformsToProtocol(const std::string& protocolName) const = 0;
  // REQUIRES: `reply` is given exactly when the method has a reply block.
  virtual void send(const std::string& selector, std::vector<XpcValue> arguments, XpcReply reply) = 0;
};

inline constexpr std::uint64_t NSXPCConnectionPrivileged = 0x1000;

class XpcConnection {
 public:
  virtual ~XpcConnection() = default;
  virtual void setExportedInterface(const XpcInterface& interface) = 0;
  virtual void setExportedObject(std::shared_ptr<XpcExportedObject> object) = 0;
  virtual void setRemoteObjectInterface(const XpcInterface& interface) = 0;
  // Runs once on the connection's queue after the connection is invalidated;
  // an empty function removes the handler.
  virtual void setInvalidationHandler(std::function<void()> handler) = 0;
  virtual void resume() = 0;
  virtual void invalidate() = 0;
  virtual std::shared_ptr<XpcRemoteProxy> remoteObjectProxyWithErrorHandler(
      std::function<void(const PlatformError&)> handler) = 0;
};

class XpcConnections {
 public:
  virtual ~XpcConnections() = default;
  // [[NSXPCConnection alloc] initWithMachServiceName:options:], or null.
  virtual std::shared_ptr<XpcConnection> connectionWithMachServiceName(const std::string& name,
                                                                       std::uint64_t options) = 0;
};

// NSXPCListener on a Mach service, for the helper.
class XpcListener {
 public:
  virtual ~XpcListener() = default;
  // listener:shouldAcceptNewConnection:. The delegate configures and resumes
  // the connection it accepts.
  virtual void setShouldAcceptNewConnection(std::function<bool(std::shared_ptr<XpcConnection>)> decide) = 0;
  // Starts accepting connections, then serves them until the process ends.
  virtual void resume() = 0;
};

}  // namespace brannic
