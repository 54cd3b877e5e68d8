#include "platform/macos/code_signing_mac.h"

#import <Security/Security.h>

// The peer's audit token: every supported system has this property, but only
// macOS 13, whose own requirement API makes this check unnecessary, declares
// a way to use it. Asked with respondsToSelector: first.
@interface NSXPCConnection (BRPeerAuditToken)
@property(nonatomic, readonly) audit_token_t auditToken;
@end

namespace brannic::mac {

namespace {

// The requirement as a Security object, owned by ARC; nil when malformed.
id requirementObject(NSString* requirement) {
  if (requirement.length == 0) return nil;
  SecRequirementRef created = nullptr;
  if (SecRequirementCreateWithString((__bridge CFStringRef)requirement, kSecCSDefaultFlags, &created) !=
      errSecSuccess)
    return nil;
  return CFBridgingRelease(created);
}

}  // namespace

bool isValidCodeRequirement(NSString* requirement) { return requirementObject(requirement) != nil; }

bool peerSatisfiesRequirement(NSXPCConnection* connection, NSString* requirement) {
  id parsedRequirement = requirementObject(requirement);
  if (parsedRequirement == nil || ![connection respondsToSelector:@selector(auditToken)]) return false;

  audit_token_t token = connection.auditToken;
  NSDictionary* attributes =
      @{(__bridge NSString*)kSecGuestAttributeAudit : [NSData dataWithBytes:&token length:sizeof token]};
  SecCodeRef guest = nullptr;
  if (SecCodeCopyGuestWithAttributes(nullptr, (__bridge CFDictionaryRef)attributes, kSecCSDefaultFlags,
                                     &guest) != errSecSuccess)
    return false;
  id code = CFBridgingRelease(guest);
  return SecCodeCheckValidity((__bridge SecCodeRef)code, kSecCSDefaultFlags,
                              (__bridge SecRequirementRef)parsedRequirement) == errSecSuccess;
}

}  // namespace brannic::mac
