// UTF-8 validity, byte by byte, for text that may hold any bytes.
#pragma once

#include <cstddef>
#include <string_view>

namespace brannic::sim {

// The length of the valid UTF-8 sequence that starts at bytes[i], or 0 when
// the byte there does not start one (a stray continuation byte, an overlong
// form, a surrogate, a code point beyond U+10FFFF, a truncated sequence).
// REQUIRES: i < bytes.size().
std::size_t validUtf8SequenceLength(std::string_view bytes, std::size_t i);

}  // namespace brannic::sim
