// Property-list values: what bundle information dictionaries, authorization
// rule definitions and key-value coding carry (CFPropertyList / id).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <variant>
#include <vector>

namespace brannic {

struct PropertyValue;
using PropertyArray = std::vector<PropertyValue>;
using PropertyDictionary = std::map<std::string, PropertyValue>;
using PropertyData = std::vector<std::uint8_t>;

// A value of a kind the core never looks into (a date, a dictionary whose
// keys are not all text, ...). `typeName` says what it was.
struct OpaqueValue {
  std::string typeName;
  bool operator==(const OpaqueValue&) const = default;
};

struct PropertyValue {
  using Variant = std::variant<std::string, std::int64_t, double, bool, PropertyData, PropertyArray,
                               PropertyDictionary, OpaqueValue>;
  Variant value;

  PropertyValue() : value(std::string()) {}
  template <typename T>
    requires std::is_constructible_v<Variant, T&&>
  PropertyValue(T&& v) : value(std::forward<T>(v)) {}  // NOLINT: implicit by design
  PropertyValue(const char* text) : value(std::string(text)) {}  // NOLINT
  PropertyValue(int number) : value(std::int64_t{number}) {}    // NOLINT

  template <typename T>
  const T* get() const {
    return std::get_if<T>(&value);
  }
  bool operator==(const PropertyValue&) const = default;
};

}  // namespace brannic
