// XML property lists: what the platform writes reads back the same, and
// malformed text is refused with its line instead of crashing.
#include <gtest/gtest.h>

#include <string>

#include "platform/sim/base/property_list.h"

namespace brannic::sim {
namespace {

TEST(PropertyListTest, WrittenListsReadBackEqual) {
  const PropertyValue value = PropertyDictionary{
      {"CFBundleIdentifier", "com.brannic.helper"},
      {"CFBundleShortVersionString", "1.0.0"},
      {"version", std::int64_t{-9007199254740993}},
      {"ratio", 0.1},
      {"flags", PropertyArray{true, false, PropertyArray{}, PropertyDictionary{}}},
      {"markup <&> in text", "a < b && c > d"},
      {"bytes", PropertyData{0x00, 0xFF, 0x10, 0x80, 0x7F}},
      {"two bytes", PropertyData{0xAB, 0xCD}},
      {"empty", ""},
  };
  std::string error;
  const auto read = parseXmlPropertyList(xmlPropertyListText(value), &error);
  ASSERT_TRUE(read) << error;
  EXPECT_EQ(*read, value);
}

TEST(PropertyListTest, ReadsThePlatformsOwnLayoutWithEntitiesCommentsAndSpecialForms) {
  const std::string text = R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<!-- a comment before the root -->
<plist version="1.0">
<dict>
	<key>class</key>
	<string>user</string>
	<!-- between a key's entries -->
	<key>text</key>
	<string>&lt;tag&gt; &amp; &quot;q&quot; &apos;a&apos; &#65;&#x42; caf&#xE9;</string>
	<key>cdata</key>
	<string><![CDATA[<raw & text>]]></string>
	<key>hex</key>
	<integer>0x1F</integer>
	<key>signed</key>
	<integer> -12 </integer>
	<key>real</key>
	<real>2.5e-1</real>
	<key>data</key>
	<data>
	AAEC
	/w==
	</data>
	<key>when</key>
	<date>2024-01-01T00:00:00Z</date>
	<key>none</key>
	<string/>
</dict>
</plist>
)";
  std::string error;
  const auto read = parseXmlPropertyList(text, &error);
  ASSERT_TRUE(read) << error;
  const PropertyValue expected = PropertyDictionary{
      {"class", "user"},
      {"text", "<tag> & \"q\" 'a' AB caf\xC3\xA9"},
      {"cdata", "<raw & text>"},
      {"hex", std::int64_t{31}},
      {"signed", std::int64_t{-12}},
      {"real", 0.25},
      {"data", PropertyData{0x00, 0x01, 0x02, 0xFF}},
      {"when", OpaqueValue{"date"}},
      {"none", ""},
  };
  EXPECT_EQ(*read, expected);
}

TEST(PropertyListTest, AValueWithoutThePlistElementIsRead) {
  EXPECT_EQ(parseXmlPropertyList("<array><integer>1</integer></array>"), PropertyValue(PropertyArray{1}));
}

struct MalformedCase {
  const char* name;
  std::string text;
  std::string error;
};

class MalformedPropertyListTest : public ::testing::TestWithParam<MalformedCase> {};

TEST_P(MalformedPropertyListTest, IsRefusedWithTheLineAndTheReason) {
  std::string error;
  EXPECT_FALSE(parseXmlPropertyList(GetParam().text, &error));
  EXPECT_EQ(error, GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Text, MalformedPropertyListTest,
    ::testing::Values(
        MalformedCase{"Empty", "", "line 1: the document is empty"},
        MalformedCase{"NotMarkup", "CFBundleVersion = 1", "line 1: expected an element"},
        MalformedCase{"EmptyPlist", "<plist/>", "line 1: <plist> holds no value"},
        MalformedCase{"Unterminated", "<plist>\n<dict>\n<key>a</key>\n<string>b",
                      "line 4: unterminated <string>"},
        MalformedCase{"MismatchedClose", "<plist><string>a</integer></plist>", "line 1: expected </string>"},
        MalformedCase{"ValueWithoutKey", "<dict><string>a</string></dict>",
                      "line 1: expected <key> in <dict>, found <string>"},
        MalformedCase{"KeyWithoutValue", "<dict><key>a</key></dict>", "line 1: unexpected </dict>"},
        MalformedCase{"UnknownElement", "<plist><set/></plist>", "line 1: unknown element <set>"},
        MalformedCase{"TwoValues", "<plist><true/><false/></plist>", "line 1: expected </plist>"},
        MalformedCase{"TrailingText", "<true/> and more", "line 1: text after the end of the property list"},
        MalformedCase{"BadInteger", "<integer>12abc</integer>", "line 1: malformed integer \"12abc\""},
        MalformedCase{"IntegerTooLarge", "<integer>9223372036854775808</integer>",
                      "line 1: integer out of range"},
        MalformedCase{"BadReal", "<real>one</real>", "line 1: malformed real \"one\""},
        MalformedCase{"BadBase64", "<data>AA*A</data>", "line 1: malformed base64 data"},
        MalformedCase{"UnknownEntity", "<string>&nbsp;</string>", "line 1: unknown entity &nbsp;"},
        MalformedCase{"NulCharacterReference", "<string>&#0;</string>",
                      "line 1: invalid character reference"},
        MalformedCase{"SurrogateReference", "<string>&#xD800;</string>",
                      "line 1: invalid character reference"},
        MalformedCase{"UnterminatedComment", "<!-- never ends", "line 1: unterminated comment"},
        MalformedCase{"TextInBoolean", "<true>yes</true>", "line 1: <true> holds text"}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

TEST(PropertyListTest, NestingBeyondTheLimitIsRefusedNotOverflowed) {
  std::string deep;
  for (int i = 0; i < 100000; ++i) deep += "<array>";
  std::string error;
  EXPECT_FALSE(parseXmlPropertyList(deep, &error));
  EXPECT_EQ(error, "line 1: nested too deeply");

  std::string allowed;
  for (int i = 0; i < kMaximumPropertyListDepth; ++i) allowed += "<array>";
  allowed += "<true/>";
  for (int i = 0; i < kMaximumPropertyListDepth; ++i) allowed += "</array>";
  EXPECT_TRUE(parseXmlPropertyList(allowed, &error)) << error;
}

TEST(PropertyListTest, RecognisesXmlByItsStart) {
  EXPECT_TRUE(looksLikeXmlPropertyList("<?xml version=\"1.0\"?><plist/>"));
  EXPECT_TRUE(looksLikeXmlPropertyList("\xEF\xBB\xBF  \n<plist version=\"1.0\">"));
  EXPECT_TRUE(looksLikeXmlPropertyList("<!DOCTYPE plist>"));
  EXPECT_FALSE(
      looksLikeXmlPropertyList("\x7F"
                               "ELF\x02\x01"));
  EXPECT_FALSE(looksLikeXmlPropertyList("bplist00"));
  EXPECT_FALSE(looksLikeXmlPropertyList(""));
}

}  // namespace
}  // namespace brannic::sim
