// The property-list bridge carries every kind of value the ports use through
// Foundation's objects and back unchanged: a Boolean stays a Boolean and an
// integer an integer, though both are NSNumbers on the way.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "platform/macos/property_list_mac.h"

namespace brannic {
namespace {

TEST(PropertyListBridge, RoundTripsEveryKindOfValue) {
  const struct {
    const char* kind;
    PropertyValue value;
  } cases[] = {
      {"text", PropertyValue{std::string("com.brannic.helper \xC3\xA9")}},
      {"empty text", PropertyValue{std::string()}},
      {"integer", PropertyValue{std::int64_t{503340}}},
      {"largest integer", PropertyValue{std::numeric_limits<std::int64_t>::max()}},
      {"negative integer", PropertyValue{std::int64_t{-1}}},
      {"real", PropertyValue{0.5}},
      {"true", PropertyValue{true}},
      {"false", PropertyValue{false}},
      {"data", PropertyValue{PropertyData{0, 1, 0xff}}},
      {"array", PropertyValue{PropertyArray{PropertyValue{"a"}, PropertyValue{1}, PropertyValue{true}}}},
      {"dictionary", PropertyValue{PropertyDictionary{{"rule", PropertyValue{"allow"}},
                                                      {"timeout", PropertyValue{0}},
                                                      {"shared", PropertyValue{false}}}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.kind);
    id object = mac::toPropertyListObject(c.value);
    ASSERT_NE(object, nil);
    EXPECT_EQ(mac::toPropertyValue(object), c.value);
  }
}

TEST(PropertyListBridge, GivesOtherObjectsAsOpaqueValues) {
  EXPECT_NE(mac::toPropertyValue([NSDate date]).get<OpaqueValue>(), nullptr);
  EXPECT_EQ(mac::toPropertyListObject(PropertyValue{OpaqueValue{"NSDate"}}), nil);
}

}  // namespace
}  // namespace brannic
