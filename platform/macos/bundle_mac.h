// The application bundle (NSBundle mainBundle, CFBundleCopyInfoDictionaryForURL).
#pragma once

#include "platform/bundle.h"

namespace brannic::mac {

class MacBundle final : public Bundle {
 public:
  std::string bundleURL() override;
  std::optional<std::string> urlForResource(std::string_view name, std::string_view extension) override;
  std::optional<PropertyValue> copyInfoDictionaryForURL(const std::string& url) override;
};

}  // namespace brannic::mac
