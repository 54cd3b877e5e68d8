// UTF-8 validity, as a strict decoder judges it.
#pragma once

#include <string_view>

namespace brannic {

// Whether `bytes` is well-formed UTF-8: no stray continuation bytes, no
// truncated sequences, no overlong forms, no surrogates (U+D800...U+DFFF) and
// nothing above U+10FFFF. The empty string and NUL bytes are valid.
bool isValidUtf8(std::string_view bytes);

}  // namespace brannic
