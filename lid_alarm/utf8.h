// UTF-8 validity, as a strict decoder judges it: the lid probe's test of the
// pipeline's output, and the simulated Mac's escaping of any bytes.
#pragma once

#include <cstddef>
#include <string_view>

namespace brannic {

// Whether `bytes` is well-formed UTF-8: no stray continuation bytes, no
// truncated sequences, no overlong forms, no surrogates (U+D800...U+DFFF) and
// nothing above U+10FFFF. The empty string and NUL bytes are valid.
bool isValidUtf8(std::string_view bytes);

// The length of the valid UTF-8 sequence that starts at bytes[i], or 0 when
// the byte there does not start one (a stray continuation byte, an overlong
// form, a surrogate, a code point beyond U+10FFFF, a truncated sequence).
// REQUIRES: i < bytes.size().
std::size_t validUtf8SequenceLength(std::string_view bytes, std::size_t i);

}  // namespace brannic
