#include "platform/macos/xpc_mac.h"

#import <Foundation/Foundation.h>

#include "helper_client/helper_protocol.h"
#include "platform/macos/foundation_bridge_mac.h"
#import "platform/macos/helper_protocols_mac.h"
#include "platform/macos/xpc_connection_mac.h"

static_assert(brannic::NSXPCConnectionPrivileged == NSXPCConnectionPrivileged);

namespace brannic::mac {

namespace {

Protocol* protocolNamed(const std::string& name) {
  if (name == "HelperProtocol") return @protocol(HelperProtocol);
  if (name == "AppProtocol") return @protocol(AppProtocol);
  return nil;
}

NSXPCInterface* toNSXPCInterface(const XpcInterface& interface) {
  Protocol* protocol = protocolNamed(interface.protocolName);
  return protocol != nil ? [NSXPCInterface interfaceWithProtocol:protocol] : nil;
}

// A nil object arrives as XpcNil; the receiver decides what that means.
XpcValue stringValue(NSString* text) {
  return text != nil ? XpcValue{toStdString(text)} : XpcValue{XpcNil{}};
}
XpcValue dataValue(NSData* data) { return data != nil ? XpcValue{toBytes(data)} : XpcValue{XpcNil{}}; }
XpcValue numberValue(NSNumber* number) {
  return number != nil ? XpcValue{static_cast<std::int64_t>(number.longLongValue)} : XpcValue{XpcNil{}};
}

NSString* stringObject(const XpcValue& value) {
  const auto* text = std::get_if<std::string>(&value);
  return text != nullptr ? toNSString(*text) : nil;
}
NSData* dataObject(const XpcValue& value) {
  const auto* data = std::get_if<XpcData>(&value);
  return data != nullptr ? toNSData(*data) : nil;
}
NSNumber* numberObject(const XpcValue& value) {
  const auto* number = std::get_if<std::int64_t>(&value);
  return number != nullptr ? [NSNumber numberWithLongLong:*number] : nil;
}

// Why `method` cannot carry these arguments and this reply, or null.
const char* mismatch(const XpcMethod* method, const std::vector<XpcValue>& arguments, bool hasReply) {
  const auto found = checkAgainstDeclaration(method, arguments, hasReply);
  if (!found) return nullptr;
  switch (found->kind) {
    case XpcMismatch::Kind::undeclared:
      return "is not declared by the remote interface";
    case XpcMismatch::Kind::argumentCount:
      return "has the wrong number of arguments";
    case XpcMismatch::Kind::argumentClass:
      return "has an argument of a class it does not declare";
    case XpcMismatch::Kind::replyBlock:
      break;
  }
  return "has a reply block the declaration does not match";
}

class MacRemoteProxy final : public XpcRemoteProxy {
 public:
  // `refusals`: the serial queue on which messages that cannot go out end.
  MacRemoteProxy(id proxy, XpcInterface remoteInterface, dispatch_queue_t refusals,
                 std::function<void(const PlatformError&)> errorHandler)
      : proxy_(proxy),
        remoteInterface_(std::move(remoteInterface)),
        refusals_(refusals),
        errorHandler_(std::move(errorHandler)) {}

  bool conformsToProtocol(const std::string& protocolName) const override {
    Protocol* protocol = protocolNamed(protocolName);
    return protocol != nil && [proxy_ conformsToProtocol:protocol];
  }

  void send(const std::string& selector, std::vector<XpcValue> arguments, XpcReply reply) override {
    if (const char* why = mismatch(remoteInterface_.method(selector), arguments, reply != nullptr)) {
      refuse(selector, why);
      return;
    }
    // Each selector of the two protocols becomes its typed message.
    id<HelperProtocol> helper = proxy_;
    id<AppProtocol> app = proxy_;
    if (selector == selectors::getVersionWithCompletion) {
      [helper getVersionWithCompletion:^(NSString* version) {
        reply(stringValue(version));
      }];
    } else if (selector == selectors::runCommandLsWithPathCompletion) {
      [helper runCommandLsWithPath:stringObject(arguments[0])
                        completion:^(NSNumber* exitCode) {
                          reply(numberValue(exitCode));
                        }];
    } else if (selector == selectors::runCommandLsWithPathAuthDataCompletion) {
      [helper runCommandLsWithPath:stringObject(arguments[0])
                          authData:dataObject(arguments[1])
                        completion:^(NSNumber* exitCode) {
                          reply(numberValue(exitCode));
                        }];
    } else if (selector == selectors::logWithStdOut) {
      [app logWithStdOut:stringObject(arguments[0])];
    } else if (selector == selectors::logWithStdErr) {
      [app logWithStdErr:stringObject(arguments[0])];
    } else {
      refuse(selector, "has no Objective-C binding");
    }
  }

 private:
  // A message that cannot go out ends in the error handler, off the caller's
  // thread, as a failed message does on the platform, and on a serial queue
  // of the connection's, as the port promises: never two at once.
  void refuse(const std::string& selector, const char* why) const {
    NSString* reason = [NSString stringWithFormat:@"The message %@ %s", toNSString(selector), why];
    const PlatformError error =
        toPlatformError([NSError errorWithDomain:NSCocoaErrorDomain
                                            code:NSXPCConnectionReplyInvalid
                                        userInfo:@{NSDebugDescriptionErrorKey : reason}]);
    const std::function<void(const PlatformError&)> handler = errorHandler_;
    if (!handler) return;
    dispatch_async(refusals_, ^{
      handler(error);
    });
  }

  id proxy_;
  XpcInterface remoteInterface_;
  dispatch_queue_t refusals_;
  std::function<void(const PlatformError&)> errorHandler_;
};

}  // namespace

}  // namespace brannic::mac

// The object a connection exports: each message of either protocol becomes a
// call of the port's exported object. The connection delivers only what its
// exported interface declares.
@interface BRExportedObject : NSObject <HelperProtocol, AppProtocol>
- (instancetype)initWithTarget:(std::shared_ptr<brannic::XpcExportedObject>)target NS_DESIGNATED_INITIALIZER;
- (instancetype)init NS_UNAVAILABLE;
@end

@implementation BRExportedObject {
  std::shared_ptr<brannic::XpcExportedObject> _target;
}

- (instancetype)initWithTarget:(std::shared_ptr<brannic::XpcExportedObject>)target {
  if ((self = [super init])) _target = std::move(target);
  return self;
}

- (void)getVersionWithCompletion:(void (^)(NSString*))completion {
  _target->invoke(brannic::selectors::getVersionWithCompletion, {}, [completion](brannic::XpcValue reply) {
    if (completion != nil) completion(brannic::mac::stringObject(reply));
  });
}

- (void)runCommandLsWithPath:(NSString*)path completion:(void (^)(NSNumber*))completion {
  _target->invoke(brannic::selectors::runCommandLsWithPathCompletion, {brannic::mac::stringValue(path)},
                  [completion](brannic::XpcValue reply) {
                    if (completion != nil) completion(brannic::mac::numberObject(reply));
                  });
}

- (void)runCommandLsWithPath:(NSString*)path
                    authData:(NSData*)authData
                  completion:(void (^)(NSNumber*))completion {
  _target->invoke(brannic::selectors::runCommandLsWithPathAuthDataCompletion,
                  {brannic::mac::stringValue(path), brannic::mac::dataValue(authData)},
                  [completion](brannic::XpcValue reply) {
                    if (completion != nil) completion(brannic::mac::numberObject(reply));
                  });
}

- (void)logWithStdOut:(NSString*)text {
  _target->invoke(brannic::selectors::logWithStdOut, {brannic::mac::stringValue(text)}, nullptr);
}

- (void)logWithStdErr:(NSString*)text {
  _target->invoke(brannic::selectors::logWithStdErr, {brannic::mac::stringValue(text)}, nullptr);
}

@end

namespace brannic::mac {

namespace {

class MacXpcConnection final : public XpcConnection {
 public:
  explicit MacXpcConnection(NSXPCConnection* connection)
      : connection_(connection),
        refusals_(dispatch_queue_create("com.brannic.xpc.refused-messages", DISPATCH_QUEUE_SERIAL)) {}

  void setExportedInterface(const XpcInterface& interface) override {
    connection_.exportedInterface = toNSXPCInterface(interface);
  }

  void setExportedObject(std::shared_ptr<XpcExportedObject> object) override {
    connection_.exportedObject = object ? [[BRExportedObject alloc] initWithTarget:std::move(object)] : nil;
  }

  // The proxies made afterwards check every message against `interface`.
  void setRemoteObjectInterface(const XpcInterface& interface) override {
    remoteInterface_ = interface;
    connection_.remoteObjectInterface = toNSXPCInterface(interface);
  }

  void setInvalidationHandler(std::function<void()> handler) override {
    if (!handler) {
      connection_.invalidationHandler = nil;
      return;
    }
    // The block keeps `handler` and what it captured (the helper's session,
    // whose proxy holds this connection) until the handler clears itself or
    // the system clears the property once the connection is invalid; either
    // breaks that cycle. On the helper's side of a listener's connection it
    // runs when the client's process ends, however it ended.
    connection_.invalidationHandler = ^{
      // The handler may clear itself, which can free this block: it runs
      // from a copy.
      const std::function<void()> running = handler;
      running();
    };
  }

  void resume() override { [connection_ resume]; }
  void invalidate() override { [connection_ invalidate]; }

  std::shared_ptr<XpcRemoteProxy> remoteObjectProxyWithErrorHandler(
      std::function<void(const PlatformError&)> handler) override {
    id proxy = [connection_ remoteObjectProxyWithErrorHandler:^(NSError* error) {
      if (handler) handler(toPlatformError(error));
    }];
    if (proxy == nil) return nullptr;
    return std::make_shared<MacRemoteProxy>(proxy, remoteInterface_, refusals_, handler);
  }

 private:
  NSXPCConnection* connection_;
  XpcInterface remoteInterface_;
  dispatch_queue_t refusals_;
};

}  // namespace

std::shared_ptr<XpcConnection> wrapXpcConnection(NSXPCConnection* connection) {
  if (connection == nil) return nullptr;
  return std::make_shared<MacXpcConnection>(connection);
}

std::shared_ptr<XpcConnection> MacXpcConnections::connectionWithMachServiceName(const std::string& name,
                                                                                std::uint64_t options) {
  return wrapXpcConnection([[NSXPCConnection alloc]
      initWithMachServiceName:toNSString(name)
                      options:static_cast<NSXPCConnectionOptions>(options)]);
}

}  // namespace brannic::mac
