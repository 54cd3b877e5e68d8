// Reads an Objective-C protocol out of a linked image, as the compiler
// emitted it and the runtime (and so NSXPCInterface) sees it: its required
// instance methods, their type encodings, and, from the extended method
// types, the classes of the arguments and of the reply block's argument.
#pragma once

#include <optional>
#include <string_view>

#include "platform/xpc.h"
#include "tests/macos/mach_o_file.h"

namespace brannic::test {

// The protocol of that name in the image's __objc_protolist, or nullopt.
// Throws ObjcDeclarationError for anything the interfaces cannot carry
// (optional or class methods, properties, other argument types) and
// MachOError for metadata that does not read.
std::optional<XpcInterface> readObjcProtocol(const MachOSlice& image, std::string_view name);

}  // namespace brannic::test
