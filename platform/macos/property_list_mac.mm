#include "platform/macos/property_list_mac.h"

#include <type_traits>

#include "platform/macos/foundation_bridge_mac.h"

namespace brannic::mac {

namespace {

PropertyValue numberValue(NSNumber* number) {
  // CFBoolean is the one number kind that is not a number to its readers.
  if (CFGetTypeID((__bridge CFTypeRef)number) == CFBooleanGetTypeID())
    return PropertyValue{number.boolValue == YES};
  if (CFNumberIsFloatType((__bridge CFNumberRef)number)) return PropertyValue{number.doubleValue};
  return PropertyValue{static_cast<std::int64_t>(number.longLongValue)};
}

PropertyValue dictionaryValue(NSDictionary* dictionary) {
  PropertyDictionary entries;
  for (id key in dictionary) {
    if (![key isKindOfClass:[NSString class]])
      return PropertyValue{OpaqueValue{"dictionary with keys that are not text"}};
    entries.emplace(toStdString(key), toPropertyValue(dictionary[key]));
  }
  return PropertyValue{std::move(entries)};
}

}  // namespace

PropertyValue toPropertyValue(id object) {
  if (object == nil) return PropertyValue{OpaqueValue{"nil"}};
  if ([object isKindOfClass:[NSString class]]) return PropertyValue{toStdString(object)};
  if ([object isKindOfClass:[NSNumber class]]) return numberValue(object);
  if ([object isKindOfClass:[NSData class]]) return PropertyValue{toBytes(object)};
  if ([object isKindOfClass:[NSArray class]]) {
    PropertyArray elements;
    for (id element in static_cast<NSArray*>(object)) elements.push_back(toPropertyValue(element));
    return PropertyValue{std::move(elements)};
  }
  if ([object isKindOfClass:[NSDictionary class]]) return dictionaryValue(object);
  return PropertyValue{OpaqueValue{toStdString(NSStringFromClass([object class]))}};
}

id toPropertyListObject(const PropertyValue& value) {
  return std::visit(
      [](const auto& v) -> id {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, std::string>) {
          return toNSString(v);
        } else if constexpr (std::is_same_v<T, std::int64_t>) {
          return [NSNumber numberWithLongLong:v];
        } else if constexpr (std::is_same_v<T, double>) {
          return [NSNumber numberWithDouble:v];
        } else if constexpr (std::is_same_v<T, bool>) {
          return v ? @YES : @NO;
        } else if constexpr (std::is_same_v<T, PropertyData>) {
          return toNSData(v);
        } else if constexpr (std::is_same_v<T, PropertyArray>) {
          NSMutableArray* array = [NSMutableArray arrayWithCapacity:v.size()];
          for (const PropertyValue& element : v) {
            id object = toPropertyListObject(element);
            if (object != nil) [array addObject:object];
          }
          return array;
        } else if constexpr (std::is_same_v<T, PropertyDictionary>) {
          NSMutableDictionary* dictionary = [NSMutableDictionary dictionaryWithCapacity:v.size()];
          for (const auto& [key, element] : v) {
            id object = toPropertyListObject(element);
            if (object != nil) dictionary[toNSString(key)] = object;
          }
          return dictionary;
        } else {
          return nil;  // an OpaqueValue
        }
      },
      value.value);
}

}  // namespace brannic::mac
