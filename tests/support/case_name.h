// Short names for the instances of a parameterised test.
#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <string_view>

namespace brannic::testing {

// Names each instance after its case's `name`.
struct CaseName {
  template <typename Case>
  std::string operator()(const ::testing::TestParamInfo<Case>& instance) const {
    return instance.param.name;
  }
};

// `text` as a test name: its words (runs of letters and digits; apostrophes
// vanish) run together, each capitalised: "the app's right" -> "TheAppsRight".
inline std::string camelCaseName(std::string_view text) {
  std::string name;
  bool wordStart = true;
  for (const char c : text) {
    if (c == '\'') continue;
    if (std::isalnum(static_cast<unsigned char>(c)) == 0) {
      wordStart = true;
      continue;
    }
    name += wordStart ? static_cast<char>(std::toupper(static_cast<unsigned char>(c))) : c;
    wordStart = false;
  }
  return name;
}

// Names each instance after its case's `what`, camel-cased.
struct CaseWhat {
  template <typename Case>
  std::string operator()(const ::testing::TestParamInfo<Case>& instance) const {
    return camelCaseName(instance.param.what);
  }
};

}  // namespace brannic::testing
