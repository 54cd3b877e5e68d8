#include "platform/macos/key_value_bridge_mac.h"

namespace brannic::mac {

namespace {

NSMapTable<NSValue*, id>* registeredObjects() {
  static NSMapTable<NSValue*, id>* objects = [NSMapTable strongToWeakObjectsMapTable];
  return objects;
}

NSValue* keyFor(const KeyValueCoding& cxxObject) { return [NSValue valueWithPointer:&cxxObject]; }

}  // namespace

void registerKeyValueObject(const KeyValueCoding& cxxObject, id object) {
  [registeredObjects() setObject:object forKey:keyFor(cxxObject)];
}

id keyValueObjectFor(const KeyValueCoding& cxxObject) {
  return [registeredObjects() objectForKey:keyFor(cxxObject)];
}

}  // namespace brannic::mac
