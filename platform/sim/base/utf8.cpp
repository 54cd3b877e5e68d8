#include "platform/sim/base/utf8.h"

#include <cstdint>

namespace brannic::sim {

std::size_t validUtf8SequenceLength(std::string_view bytes, std::size_t i) {
  const auto byteAt = [&](std::size_t k) { return static_cast<std::uint8_t>(bytes[k]); };
  const std::uint8_t lead = byteAt(i);
  std::size_t length = 0;
  std::uint8_t secondLow = 0x80;
  std::uint8_t secondHigh = 0xBF;
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) secondLow = 0xA0;   // overlong
    if (lead == 0xED) secondHigh = 0x9F;  // surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) secondLow = 0x90;   // overlong
    if (lead == 0xF4) secondHigh = 0x8F;  // beyond U+10FFFF
  } else {
    return 0;
  }
  if (i + length > bytes.size()) return 0;
  const std::uint8_t second = byteAt(i + 1);
  if (second < secondLow || second > secondHigh) return 0;
  for (std::size_t k = 2; k < length; ++k) {
    const std::uint8_t next = byteAt(i + k);
    if (next < 0x80 || next > 0xBF) return 0;
  }
  return length;
}

}  // namespace brannic::sim
