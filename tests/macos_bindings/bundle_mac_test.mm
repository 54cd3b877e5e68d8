// The bundle binding reads information dictionaries out of the bundle this
// build made: the application's from its Info.plist, the helper's from the
// section its executable carries, each as the build generated it.
#include <gtest/gtest.h>

#import <Foundation/Foundation.h>

#include <string>

#include "helper_client/helper_label.h"
#include "platform/macos/bundle_mac.h"
#include "platform/macos/foundation_bridge_mac.h"
#include "platform/macos/property_list_mac.h"

namespace brannic {
namespace {

TEST(BundleBinding, ReadsInformationDictionariesOutOfTheBuiltBundle) {
  const std::string app = BRANNIC_TEST_APP_BUNDLE;
  const std::string plists = BRANNIC_TEST_PLISTS_DIR;
  const struct {
    const char* what;
    std::string url;
    std::string generated;
  } cases[] = {
      {"application", app, plists + "/Info.plist"},
      {"helper", app + "/Contents/Library/LaunchServices/" + std::string(HelperLabel),
       plists + "/helper-Info.plist"},
  };
  mac::MacBundle bundle;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    NSDictionary* file = [NSDictionary dictionaryWithContentsOfFile:mac::toNSString(c.generated)];
    ASSERT_NE(file, nil) << c.generated;
    const PropertyValue generated = mac::toPropertyValue(file);

    const std::optional<PropertyValue> read = bundle.copyInfoDictionaryForURL(c.url);
    ASSERT_TRUE(read) << c.url;
    const PropertyDictionary* info = read->get<PropertyDictionary>();
    ASSERT_NE(info, nullptr);
    // The system may add keys of its own (where it read the list from).
    for (const auto& [key, value] : *generated.get<PropertyDictionary>()) {
      SCOPED_TRACE(key);
      const auto found = info->find(key);
      ASSERT_NE(found, info->end());
      EXPECT_EQ(found->second, value);
    }
  }
}

TEST(BundleBinding, HasNoInformationDictionaryForAMissingFile) {
  mac::MacBundle bundle;
  EXPECT_FALSE(bundle.copyInfoDictionaryForURL(std::string(BRANNIC_TEST_APP_BUNDLE) + "/Contents/Missing"));
}

}  // namespace
}  // namespace brannic
