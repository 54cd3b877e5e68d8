// Reads the XML property lists the build generates for the bundle: the
// subset they use (dict, array, string, integer, real, true, false).
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

#include "platform/property_list.h"

namespace brannic::test {

struct PropertyListError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Throws PropertyListError, saying what is wrong, for anything else.
PropertyValue readXmlPropertyList(std::string_view text);
PropertyValue readXmlPropertyListFile(const std::string& path);

}  // namespace brannic::test
