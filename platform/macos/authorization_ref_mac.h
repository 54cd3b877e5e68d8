// The port's authorization references are the Security framework's, under an
// opaque name of their own. Objective-C++ only.
#pragma once

#ifndef __OBJC__
#error "authorization_ref_mac.h is Objective-C++; include it from .mm files only"
#endif

#import <Security/Authorization.h>

#include "platform/authorization.h"

namespace brannic::mac {

inline ::AuthorizationRef toNativeAuthorization(brannic::AuthorizationRef authorization) {
  return reinterpret_cast<::AuthorizationRef>(authorization);
}

// The system's references point to const; nothing in the port writes through
// one, it only hands it back.
inline brannic::AuthorizationRef fromNativeAuthorization(::AuthorizationRef authorization) {
  return reinterpret_cast<brannic::AuthorizationRef>(const_cast<::AuthorizationOpaqueRef*>(authorization));
}

}  // namespace brannic::mac
