// Key-value coding and observing of an object's runtime-visible properties.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/property_list.h"

namespace brannic {

// The value of a property read or written by key: nil, or a property-list
// value (a Boolean as `bool`, a byte buffer as `PropertyData`).
using KeyValue = std::optional<PropertyValue>;

class KeyValueCoding {
 public:
  using Observer = std::function<void(const KeyValue& newValue)>;
  virtual ~KeyValueCoding() = default;

  // -valueForKey:. Returns nullopt for nil and for a key the object does not
  // expose (check with hasKey).
  virtual KeyValue valueForKey(std::string_view key) const = 0;
  // -setValue:forKey:. Every write notifies the key's observers, even when
  // the value does not change. Returns false (and changes nothing) for a key
  // the object does not expose or a value of the wrong kind.
  virtual bool setValueForKey(const KeyValue& value, std::string_view key) = 0;
  virtual bool hasKey(std::string_view key) const = 0;
  // Observes every write of `key`. The observer stays for the object's life.
  virtual void addObserverForKey(std::string_view key, Observer observer) = 0;
};

}  // namespace brannic
