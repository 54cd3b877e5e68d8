// Names each instance of a parameterized test after its case's `name`.
#pragma once

#include <gtest/gtest.h>

#include <string>

namespace brannic::testing {

struct CaseName {
  template <typename Case>
  std::string operator()(const ::testing::TestParamInfo<Case>& instance) const {
    return instance.param.name;
  }
};

}  // namespace brannic::testing
