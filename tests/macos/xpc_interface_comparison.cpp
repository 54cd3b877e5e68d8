#include "tests/macos/xpc_interface_comparison.h"

#include <gtest/gtest.h>

#include <string>

namespace brannic::test {

namespace {

std::string describe(const XpcMethod& method) {
  std::string text = method.selector + " (";
  for (XpcClass c : method.argumentClasses) {
    text += xpcClassName(c);
    text += " ";
  }
  text += ") reply " + std::string(method.replyClass ? xpcClassName(*method.replyClass) : "none");
  return text + " " + method.typeEncoding;
}

}  // namespace

void expectSameInterface(const XpcInterface& objc, const XpcInterface& cxx) {
  EXPECT_EQ(objc.protocolName, cxx.protocolName);
  ASSERT_EQ(objc.methods.size(), cxx.methods.size()) << cxx.protocolName;
  for (std::size_t i = 0; i < cxx.methods.size(); ++i) {
    const XpcMethod& o = objc.methods[i];
    const XpcMethod& c = cxx.methods[i];
    EXPECT_EQ(o.selector, c.selector) << "method " << i;
    EXPECT_EQ(o.argumentClasses, c.argumentClasses) << describe(o) << " vs " << describe(c);
    EXPECT_EQ(o.replyClass, c.replyClass) << describe(o) << " vs " << describe(c);
    EXPECT_EQ(o.typeEncoding, c.typeEncoding) << c.selector;
  }
}

}  // namespace brannic::test
