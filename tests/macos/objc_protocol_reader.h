// Reads the Objective-C protocol declarations of a header into the form the
// C++ side declares its interfaces in: selectors, argument classes, reply
// class, and the type encoding the compiler gives each method on a 64-bit
// target (arm64 and x86_64 alike: every argument is a pointer of 8 bytes).
#pragma once

#include <optional>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "platform/xpc.h"

namespace brannic::test {

struct ObjcDeclarationError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Every `@protocol ... @end` block, in order. Only what the two protocols
// may hold is accepted: required instance methods returning void whose
// arguments are NSString, NSData or NSNumber objects and, last, one reply
// block taking one such object. Anything else throws ObjcDeclarationError.
std::vector<XpcInterface> readObjcProtocols(std::string_view header);

// The class an Objective-C class name stands for in the interfaces:
// NSString, NSData or NSNumber.
std::optional<XpcClass> xpcClassNamed(std::string_view name);

}  // namespace brannic::test
