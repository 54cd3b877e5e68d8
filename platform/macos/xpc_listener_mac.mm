#include "platform/macos/xpc_listener_mac.h"

#import <Foundation/Foundation.h>

#include "platform/macos/code_signing_mac.h"
#include "platform/macos/foundation_bridge_mac.h"
#include "platform/macos/xpc_connection_mac.h"

// Checks each new client against the requirement, then asks the port's
// decision.
@interface BRListenerDelegate : NSObject <NSXPCListenerDelegate>
- (instancetype)initWithRequirement:(NSString*)requirement NS_DESIGNATED_INITIALIZER;
- (instancetype)init NS_UNAVAILABLE;
- (void)setDecision:(std::function<bool(std::shared_ptr<brannic::XpcConnection>)>)decide;
@end

@implementation BRListenerDelegate {
  NSString* _requirement;  // nil: no client is accepted
  std::function<bool(std::shared_ptr<brannic::XpcConnection>)> _decide;
}

- (instancetype)initWithRequirement:(NSString*)requirement {
  if ((self = [super init]))
    _requirement = brannic::mac::isValidCodeRequirement(requirement) ? requirement : nil;
  return self;
}

- (void)setDecision:(std::function<bool(std::shared_ptr<brannic::XpcConnection>)>)decide {
  _decide = std::move(decide);
}

- (BOOL)listener:(NSXPCListener*)listener shouldAcceptNewConnection:(NSXPCConnection*)connection {
  if (_requirement == nil || !_decide) return NO;
  if (@available(macOS 13.0, *)) {
    // The system checks the peer on every message and invalidates the
    // connection when it does not satisfy the requirement.
    [connection setCodeSigningRequirement:_requirement];
  } else if (!brannic::mac::peerSatisfiesRequirement(connection, _requirement)) {
    return NO;
  }
  return _decide(brannic::mac::wrapXpcConnection(connection)) ? YES : NO;
}

@end

namespace brannic::mac {

struct MacXpcListener::Listener {
  NSXPCListener* listener;
  BRListenerDelegate* delegate;  // the listener's delegate reference is weak
};

MacXpcListener::MacXpcListener(const std::string& machServiceName, const std::string& clientRequirement)
    : listener_(std::make_unique<Listener>()) {
  NSString* requirement = toNSString(clientRequirement);
  if (!isValidCodeRequirement(requirement))
    NSLog(@"%@", @"No valid client requirement: every client is refused");
  listener_->delegate = [[BRListenerDelegate alloc] initWithRequirement:requirement];
  listener_->listener = [[NSXPCListener alloc] initWithMachServiceName:toNSString(machServiceName)];
  if (@available(macOS 13.0, *)) {
    if (isValidCodeRequirement(requirement))
      [listener_->listener setConnectionCodeSigningRequirement:requirement];
  }
  listener_->listener.delegate = listener_->delegate;
}

MacXpcListener::~MacXpcListener() { [listener_->listener invalidate]; }

void MacXpcListener::setShouldAcceptNewConnection(
    std::function<bool(std::shared_ptr<XpcConnection>)> decide) {
  [listener_->delegate setDecision:std::move(decide)];
}

void MacXpcListener::resume() {
  [listener_->listener resume];
  // Connections are served on the listener's and the connections' queues;
  // the main thread only has to stay.
  dispatch_main();
}

}  // namespace brannic::mac
