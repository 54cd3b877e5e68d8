// The Foundation bridge carries text, byte buffers and errors between the
// ports and Foundation's objects: text survives NSString both ways, bytes
// NSData, and what Foundation refuses as UTF-8 still arrives, repaired.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/macos/foundation_bridge_mac.h"

namespace brannic {
namespace {

using namespace std::string_literals;

TEST(FoundationBridge, RoundTripsText) {
  const struct {
    const char* kind;
    std::string text;
  } cases[] = {
      {"ASCII", "runCommandLsWithPath:completion:"},
      {"empty", ""},
      {"two-byte and four-byte characters", "caf\xC3\xA9 \xF0\x9F\x94\x92"},
      {"an embedded NUL", "a\0b"s},
      {"line feeds", "total 0\n-rw-r--r--  1 root\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.kind);
    NSString* string = mac::toNSString(c.text);
    ASSERT_NE(string, nil);
    EXPECT_EQ(mac::toStdString(string), c.text);
  }
  EXPECT_EQ(mac::toStdString(nil), "");
}

// NSString refuses these bytes as UTF-8; each byte that starts no
// well-formed sequence becomes U+FFFD and the rest stays.
TEST(FoundationBridge, RepairsTextThatIsNotUtf8) {
  const std::string replacement = "\xEF\xBF\xBD";
  const struct {
    const char* kind;
    std::string bytes;
    std::string arrives;
  } cases[] = {
      {"a stray byte", "ls \xFF /tmp", "ls " + replacement + " /tmp"},
      {"a cut-off sequence at the end", "caf\xC3", "caf" + replacement},
      {"an overlong form", "\xC0\xAF", replacement + replacement},
      {"a surrogate", "\xED\xA0\x80", replacement + replacement + replacement},
      {"beyond U+10FFFF", "\xF4\x90\x80\x80!", replacement + replacement + replacement + replacement + "!"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.kind);
    NSString* string = mac::toNSString(c.bytes);
    ASSERT_NE(string, nil);
    EXPECT_EQ(mac::toStdString(string), c.arrives);
  }
}

TEST(FoundationBridge, RoundTripsBytes) {
  const std::vector<std::vector<std::uint8_t>> cases = {{}, {0, 1, 0xFF}, std::vector<std::uint8_t>(32, 0xA5)};
  for (const auto& bytes : cases) {
    SCOPED_TRACE(bytes.size());
    NSData* data = mac::toNSData(bytes);
    ASSERT_NE(data, nil);
    EXPECT_EQ(mac::toBytes(data), bytes);
    EXPECT_EQ(mac::toByteString(data), std::string(bytes.begin(), bytes.end()));
  }
  EXPECT_TRUE(mac::toBytes(nil).empty());
  EXPECT_EQ(mac::toByteString(nil), "");
}

TEST(FoundationBridge, MakesStringArraysInOrder) {
  NSArray<NSString*>* array = mac::toNSStringArray({"-c", "ioreg -r -k AppleClamshellState", ""});
  NSArray<NSString*>* expected = @[ @"-c", @"ioreg -r -k AppleClamshellState", @"" ];
  EXPECT_TRUE([array isEqualToArray:expected]);
}

// The connection's error handler writes the description the platform gives
// the error, with the debug text a failed message carries.
TEST(FoundationBridge, TakesAnErrorsDomainCodeAndDescription) {
  NSError* error = [NSError errorWithDomain:NSCocoaErrorDomain
                                       code:NSXPCConnectionInvalid
                                   userInfo:@{NSDebugDescriptionErrorKey : @"The connection was invalidated."}];
  const PlatformError converted = mac::toPlatformError(error);
  EXPECT_EQ(converted.domain, "NSCocoaErrorDomain");
  EXPECT_EQ(converted.code, 4099);
  EXPECT_EQ(converted.description, mac::toStdString(error.description));
  EXPECT_NE(converted.description.find("The connection was invalidated."), std::string::npos);
  EXPECT_EQ(mac::toPlatformError(nil), PlatformError{});
}

}  // namespace
}  // namespace brannic
