// The XML property-list reader on arbitrary text. What parses is written
// out, and that text must parse to the same value and write back to itself:
// the writer's text is a fixed point of reading and writing.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/sim/base/property_list.h"

namespace {

// Opaque values (dates) are written as strings naming their type, so only a
// value without them survives the trip unchanged.
bool holdsOpaqueValue(const brannic::PropertyValue& value) {
  if (value.get<brannic::OpaqueValue>()) return true;
  if (const auto* array = value.get<brannic::PropertyArray>()) {
    for (const auto& item : *array)
      if (holdsOpaqueValue(item)) return true;
  }
  if (const auto* dictionary = value.get<brannic::PropertyDictionary>()) {
    for (const auto& [key, item] : *dictionary)
      if (holdsOpaqueValue(item)) return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::string error;
  const auto value = brannic::sim::parseXmlPropertyList(text, &error);
  if (!value) {
    if (error.empty()) std::abort();  // refused without saying why
    return 0;
  }
  const std::string written = brannic::sim::xmlPropertyListText(*value);
  const auto reread = brannic::sim::parseXmlPropertyList(written, &error);
  if (!reread) std::abort();  // the writer wrote what the reader refuses
  if (!holdsOpaqueValue(*value) && !(*reread == *value)) std::abort();
  if (brannic::sim::xmlPropertyListText(*reread) != written) std::abort();
  return 0;
}
