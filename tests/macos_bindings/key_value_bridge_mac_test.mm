// The key-value bridge finds the Objective-C object that stands for a C++
// object, and never keeps that object alive itself.
#include <gtest/gtest.h>

#import <Foundation/Foundation.h>

#include "platform/macos/key_value_bridge_mac.h"

namespace brannic {
namespace {

class Observable final : public KeyValueCoding {
 public:
  KeyValue valueForKey(std::string_view) const override { return std::nullopt; }
  bool setValueForKey(const KeyValue&, std::string_view) override { return false; }
  bool hasKey(std::string_view) const override { return false; }
  void addObserverForKey(std::string_view, Observer) override {}
};

TEST(KeyValueBridge, FindsTheRegisteredObjectWhileItLives) {
  Observable registered, other;
  @autoreleasepool {
    NSObject* object = [[NSObject alloc] init];
    mac::registerKeyValueObject(registered, object);
    EXPECT_EQ(mac::keyValueObjectFor(registered), object);
    EXPECT_EQ(mac::keyValueObjectFor(other), nil);
    object = nil;
  }
  EXPECT_EQ(mac::keyValueObjectFor(registered), nil);
}

}  // namespace
}  // namespace brannic
