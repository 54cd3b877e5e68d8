#include "lid_alarm/utf8.h"

#include <cstdint>

namespace brannic {

std::size_t validUtf8SequenceLength(std::string_view bytes, std::size_t i) {
  const auto byteAt = [&](std::size_t k) { return static_cast<std::uint8_t>(bytes[k]); };
  const std::uint8_t lead = byteAt(i);
  if (lead < 0x80) return 1;
  // The lead byte fixes the length and the allowed range of the second byte;
  // the narrowed ranges rule out overlong forms, surrogates and values past
  // U+10FFFF.
  std::size_t length = 0;
  std::uint8_t secondLow = 0x80;
  std::uint8_t secondHigh = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) secondLow = 0xA0;
    if (lead == 0xED) secondHigh = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) secondLow = 0x90;
    if (lead == 0xF4) secondHigh = 0x8F;
  } else {
    return 0;
  }
  if (bytes.size() - i < length) return 0;
  const std::uint8_t second = byteAt(i + 1);
  if (second < secondLow || second > secondHigh) return 0;
  for (std::size_t k = 2; k < length; ++k) {
    const std::uint8_t next = byteAt(i + k);
    if (next < 0x80 || next > 0xBF) return 0;
  }
  return length;
}

bool isValidUtf8(std::string_view bytes) {
  for (std::size_t i = 0; i < bytes.size();) {
    const std::size_t length = validUtf8SequenceLength(bytes, i);
    if (length == 0) return false;
    i += length;
  }
  return true;
}

}  // namespace brannic
