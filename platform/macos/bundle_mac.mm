#include "platform/macos/bundle_mac.h"

#import <Foundation/Foundation.h>

#include "platform/macos/foundation_bridge_mac.h"
#include "platform/macos/property_list_mac.h"

namespace brannic::mac {

std::string MacBundle::bundleURL() {
  @autoreleasepool {
    return toStdString(NSBundle.mainBundle.bundleURL.path);
  }
}

std::optional<std::string> MacBundle::urlForResource(std::string_view name, std::string_view extension) {
  @autoreleasepool {
    NSURL* url = [NSBundle.mainBundle URLForResource:toNSString(name) withExtension:toNSString(extension)];
    if (url == nil) return std::nullopt;
    return toStdString(url.path);
  }
}

std::optional<PropertyValue> MacBundle::copyInfoDictionaryForURL(const std::string& url) {
  @autoreleasepool {
    NSURL* fileURL = [NSURL fileURLWithPath:toNSString(url)];
    // For a single-file tool this is the property list its executable
    // carries in the __TEXT,__info_plist section.
    id dictionary = CFBridgingRelease(CFBundleCopyInfoDictionaryForURL((__bridge CFURLRef)fileURL));
    if (dictionary == nil) return std::nullopt;
    return toPropertyValue(dictionary);
  }
}

}  // namespace brannic::mac
