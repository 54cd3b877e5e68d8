// Checking a peer process against a code-signing requirement. Objective-C++
// only.
#pragma once

#ifndef __OBJC__
#error "code_signing_mac.h is Objective-C++; include it from .mm files only"
#endif

#import <Foundation/Foundation.h>

namespace brannic::mac {

// Whether `requirement` is a well-formed requirement-language text.
bool isValidCodeRequirement(NSString* requirement);

// Whether the process at the other end of `connection` satisfies
// `requirement`. The process is named by its audit token, never by its
// process id, which another process could take over in the meantime.
bool peerSatisfiesRequirement(NSXPCConnection* connection, NSString* requirement);

}  // namespace brannic::mac
