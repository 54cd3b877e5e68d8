#include "tests/macos/objc_image_protocols.h"

#include <cctype>
#include <string>

#include "tests/macos/objc_protocol_reader.h"

namespace brannic::test {

namespace {

[[noreturn]] void fail(const std::string& why) { throw ObjcDeclarationError(why); }

// The runtime's protocol_t and method_list_t on a 64-bit target.
constexpr std::uint64_t kProtocolName = 8;
constexpr std::uint64_t kProtocolAdopted = 16;
constexpr std::uint64_t kProtocolInstanceMethods = 24;
constexpr std::uint64_t kProtocolOtherMethodLists[] = {32, 40, 48};  // class, optional instance and class
constexpr std::uint64_t kProtocolProperties = 56;
constexpr std::uint64_t kProtocolSize = 64;
constexpr std::uint64_t kProtocolExtendedMethodTypes = 72;
constexpr std::uint32_t kProtocolSizeWithExtendedTypes = 80;
constexpr std::uint32_t kMethodEntrySize = 24;  // name, types, implementation

bool consume(std::string_view& text, std::string_view prefix) {
  if (text.substr(0, prefix.size()) != prefix) return false;
  text.remove_prefix(prefix.size());
  return true;
}

// An extended method type, e.g. v32@0:8@"NSString"16@?<v@?@"NSNumber">24:
// void, the frame size, self and _cmd, then each argument with its offset.
void readExtendedTypes(std::string_view types, XpcMethod& method) {
  const std::string whole(types);
  auto skipOffset = [&] {
    if (types.empty() || !std::isdigit(static_cast<unsigned char>(types.front())))
      fail("no offset where expected in " + whole);
    while (!types.empty() && std::isdigit(static_cast<unsigned char>(types.front()))) types.remove_prefix(1);
  };
  auto className = [&] {
    const auto quote = types.find('"');
    if (quote == std::string_view::npos) fail("an unterminated class name in " + whole);
    const auto named = xpcClassNamed(types.substr(0, quote));
    if (!named) fail("an argument of class " + std::string(types.substr(0, quote)) + " in " + whole);
    types.remove_prefix(quote + 1);
    return *named;
  };
  if (!consume(types, "v")) fail("a method that returns a value: " + whole);
  skipOffset();
  if (!consume(types, "@0:8")) fail("no self and _cmd in " + whole);
  while (!types.empty()) {
    if (method.replyClass) fail("an argument after the reply block: " + whole);
    if (consume(types, "@?<v@?@\"")) {
      method.replyClass = className();
      if (!consume(types, ">")) fail("a reply block of more than one argument: " + whole);
    } else if (consume(types, "@\"")) {
      method.argumentClasses.push_back(className());
    } else {
      fail("an argument of an unsupported type in " + whole);
    }
    skipOffset();
  }
}

XpcInterface readProtocolAt(const MachOSlice& image, std::uint64_t protocol, std::string name) {
  if (image.pointerAt(protocol + kProtocolAdopted) != 0) fail(name + " adopts other protocols");
  for (std::uint64_t list : kProtocolOtherMethodLists)
    if (image.pointerAt(protocol + list) != 0) fail(name + " holds class or optional methods");
  if (image.pointerAt(protocol + kProtocolProperties) != 0) fail(name + " declares properties");
  XpcInterface interface{std::move(name), {}};
  const std::uint64_t methods = image.pointerAt(protocol + kProtocolInstanceMethods);
  if (methods == 0) return interface;
  if (image.u32At(protocol + kProtocolSize) < kProtocolSizeWithExtendedTypes)
    fail(interface.protocolName + " carries no extended method types");
  const std::uint64_t extendedTypes = image.pointerAt(protocol + kProtocolExtendedMethodTypes);
  if (image.u32At(methods) != kMethodEntrySize) fail(interface.protocolName + " has an unknown method list");
  const std::uint32_t count = image.u32At(methods + 4);
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint64_t entry = methods + 8 + std::uint64_t{kMethodEntrySize} * i;
    XpcMethod method;
    method.selector = image.cStringAt(image.pointerAt(entry));
    method.typeEncoding = image.cStringAt(image.pointerAt(entry + 8));
    readExtendedTypes(image.cStringAt(image.pointerAt(extendedTypes + 8 * std::uint64_t{i})), method);
    interface.methods.push_back(std::move(method));
  }
  return interface;
}

}  // namespace

std::optional<XpcInterface> readObjcProtocol(const MachOSlice& image, std::string_view name) {
  const MachOSection* list = image.section("__objc_protolist");
  if (list == nullptr) return std::nullopt;
  for (std::uint64_t at = list->address; at < list->address + list->size; at += 8) {
    const std::uint64_t protocol = image.pointerAt(at);
    if (image.cStringAt(image.pointerAt(protocol + kProtocolName)) == name)
      return readProtocolAt(image, protocol, std::string(name));
  }
  return std::nullopt;
}

}  // namespace brannic::test
