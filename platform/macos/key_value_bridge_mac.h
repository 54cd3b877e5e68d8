// Which Objective-C object stands for a C++ key-value coding object, so that
// a binding made through the ports observes the object AppKit sees.
// Objective-C++ only; main thread only.
#pragma once

#ifndef __OBJC__
#error "key_value_bridge_mac.h is Objective-C++; include it from .mm files only"
#endif

#import <Foundation/Foundation.h>

#include "platform/key_value.h"

namespace brannic::mac {

// `object` answers key-value coding and observing for `cxxObject`'s keys.
// Held weakly.
void registerKeyValueObject(const KeyValueCoding& cxxObject, id object);
// The registered object, or nil.
id keyValueObjectFor(const KeyValueCoding& cxxObject);

}  // namespace brannic::mac
