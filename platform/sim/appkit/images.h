// Images of the simulated AppKit. Each knows how it reads in the transcript:
// `Icon` for a named image, `symbol 2.circle "2"` for a system symbol.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/app_kit.h"

namespace brannic::sim {

class SimImage final : public Image {
 public:
  explicit SimImage(std::string description) : description_(std::move(description)) {}
  const std::string& description() const { return description_; }

 private:
  std::string description_;
};

// The transcript text of an image: its description, or `none` for null.
std::string describeImage(const ImageRef& image);

// Whether the system has a symbol image of this name: `<n>.circle` with n a
// decimal number from 0 to 50 written without leading zeros.
bool systemSymbolExists(std::string_view symbolName);

}  // namespace brannic::sim
