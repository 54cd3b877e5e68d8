#include "platform/sim/appkit/images.h"

#include <charconv>

namespace brannic::sim {

std::string describeImage(const ImageRef& image) {
  if (!image) return "none";
  if (const auto* simImage = dynamic_cast<const SimImage*>(image.get())) return simImage->description();
  return "(an image the simulator did not make)";
}

bool systemSymbolExists(std::string_view symbolName) {
  constexpr std::string_view kSuffix = ".circle";
  constexpr int kLargestNumber = 50;
  if (symbolName.size() <= kSuffix.size() || !symbolName.ends_with(kSuffix)) return false;
  const std::string_view digits = symbolName.substr(0, symbolName.size() - kSuffix.size());
  for (const char c : digits) {
    if (c < '0' || c > '9') return false;
  }
  if (digits.size() > 1 && digits.front() == '0') return false;
  int number = -1;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
  if (error != std::errc() || end != digits.data() + digits.size()) return false;
  return number >= 0 && number <= kLargestNumber;
}

}  // namespace brannic::sim
