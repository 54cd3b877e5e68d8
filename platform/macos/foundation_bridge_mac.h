// Conversions between Foundation objects and the values the ports carry.
// Objective-C++ only: included by the macOS bindings' .mm files.
#pragma once

#ifndef __OBJC__
#error "foundation_bridge_mac.h is Objective-C++; include it from .mm files only"
#endif

#import <Foundation/Foundation.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform_error.h"

namespace brannic::mac {

// Never nil: bytes that are not valid UTF-8 become U+FFFD, so text a tool
// wrote still reaches its reader.
NSString* toNSString(std::string_view text);
// The UTF-8 bytes of `text`; nil gives the empty string.
std::string toStdString(NSString* text);
NSArray<NSString*>* toNSStringArray(const std::vector<std::string>& texts);

NSData* toNSData(const std::vector<std::uint8_t>& bytes);
// nil gives no bytes.
std::vector<std::uint8_t> toBytes(NSData* data);
// The bytes of `data` as a byte string (for output read from a pipe).
std::string toByteString(NSData* data);

// Domain, code and -description, as the platform formats them.
PlatformError toPlatformError(NSError* error);

}  // namespace brannic::mac
