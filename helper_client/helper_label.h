// The helper's one name: bundle identifier, launchd job label and Mach
// service name.
#pragma once

#include <string_view>

#include "build_config.h"

namespace brannic {

inline constexpr std::string_view HelperLabel = BRANNIC_HELPER_LABEL;
// The version the helper tool reports and its bundle copy's information
// dictionary holds.
inline constexpr std::string_view HelperVersion = BRANNIC_HELPER_VERSION;

}  // namespace brannic
