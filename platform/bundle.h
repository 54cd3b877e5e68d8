// The application bundle (NSBundle mainBundle, CFBundleCopyInfoDictionaryForURL).
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/property_list.h"

namespace brannic {

class Bundle {
 public:
  virtual ~Bundle() = default;
  // [[NSBundle mainBundle] bundleURL], as a file-system path without a
  // trailing slash.
  virtual std::string bundleURL() = 0;
  // [[NSBundle mainBundle] URLForResource:name withExtension:ext], as a path,
  // or nullopt when the bundle has no such resource.
  virtual std::optional<std::string> urlForResource(std::string_view name, std::string_view extension) = 0;
  // CFBundleCopyInfoDictionaryForURL: the information dictionary of the
  // bundle or single-file tool at `url`, or nullopt. Whatever the file holds
  // comes back as read: it need not be a dictionary with text keys.
  virtual std::optional<PropertyValue> copyInfoDictionaryForURL(const std::string& url) = 0;
};

// URL path append: `base` + "/" + `component`.
inline std::string appendingPathComponent(std::string base, std::string_view component) {
  if (base.empty() || base.back() != '/') base += '/';
  base += component;
  return base;
}

}  // namespace brannic
