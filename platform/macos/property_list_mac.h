// Property-list objects (NSString, NSNumber, NSData, NSArray, NSDictionary)
// to and from the ports' property-list values. Objective-C++ only.
#pragma once

#ifndef __OBJC__
#error "property_list_mac.h is Objective-C++; include it from .mm files only"
#endif

#import <Foundation/Foundation.h>

#include "platform/property_list.h"

namespace brannic::mac {

// Whatever `object` is comes back as a value: a Boolean stays a Boolean, an
// integer an integer; a dictionary whose keys are not all text, and every
// other kind (a date, nil, ...), become an OpaqueValue naming the kind.
PropertyValue toPropertyValue(id object);
// The Foundation object for `value`; an OpaqueValue has none and gives nil.
id toPropertyListObject(const PropertyValue& value);

}  // namespace brannic::mac
