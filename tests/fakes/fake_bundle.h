// A bundle whose information dictionaries the test writes.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/bundle.h"

namespace brannic::testing {

class FakeBundle final : public Bundle {
 public:
  std::string bundleURL() override { return url; }
  std::optional<std::string> urlForResource(std::string_view, std::string_view) override {
    return std::nullopt;
  }
  std::optional<PropertyValue> copyInfoDictionaryForURL(const std::string& infoURL) override {
    infoRequests.push_back(infoURL);
    const auto found = infoDictionaries.find(infoURL);
    if (found == infoDictionaries.end()) return std::nullopt;
    return found->second;
  }

  std::string url = "/Applications/Brannic.app";
  std::map<std::string, PropertyValue> infoDictionaries;  // by URL
  std::vector<std::string> infoRequests;
};

}  // namespace brannic::testing
