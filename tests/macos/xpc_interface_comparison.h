// Holds an Objective-C protocol, read from a header or from a linked image,
// against the shared C++ declaration of the same interface: a selector, class
// or encoding that differs would make one end refuse the other's messages.
#pragma once

#include "platform/xpc.h"

namespace brannic::test {

// Adds a test failure for each difference: the same methods in the same
// order, with the same argument and reply classes and type encodings.
void expectSameInterface(const XpcInterface& objc, const XpcInterface& cxx);

}  // namespace brannic::test
