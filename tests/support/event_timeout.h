// How long a test waits for something that must happen (an answer, another
// thread's step, a process's end): far longer than it takes on a slow,
// loaded machine under a sanitizer, so that only a fault runs into it. A
// passing test never waits this long; it only bounds a failing one.
#pragma once

#include <chrono>

namespace brannic::testing {

inline constexpr std::chrono::seconds kEventTimeout{30};

}  // namespace brannic::testing
