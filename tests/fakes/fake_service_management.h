// Blessing that answers as the test says and records its calls.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/service_management.h"

namespace brannic::testing {

class FakeServiceManagement final : public ServiceManagement {
 public:
  struct BlessCall {
    std::string domain;
    std::string label;
    AuthorizationRef authorization = nullptr;
  };

  bool jobBless(const std::string& domain, const std::string& executableLabel, AuthorizationRef authorization,
                std::optional<PlatformError>* outError) override {
    calls.push_back(BlessCall{domain, executableLabel, authorization});
    if (whileBlessing) whileBlessing();
    if (!blesses && error && outError != nullptr) *outError = error;
    return blesses;
  }

  bool blesses = true;
  std::optional<PlatformError> error;   // given back when the blessing fails
  std::function<void()> whileBlessing;  // the moment the call blocks the main thread
  std::vector<BlessCall> calls;
};

}  // namespace brannic::testing
