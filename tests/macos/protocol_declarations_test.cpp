// The Objective-C protocols the macOS build makes its XPC interfaces from
// must say exactly what the shared C++ declaration says: a selector, class
// or encoding that differs would make one end refuse the other's messages.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "helper_client/helper_protocol.h"
#include "tests/macos/objc_protocol_reader.h"
#include "tests/macos/xpc_interface_comparison.h"

namespace brannic {
namespace {

std::vector<XpcInterface> objcProtocols() {
  std::ifstream header(BRANNIC_OBJC_PROTOCOLS_HEADER);
  if (!header) throw std::runtime_error("cannot open " BRANNIC_OBJC_PROTOCOLS_HEADER);
  std::ostringstream text;
  text << header.rdbuf();
  return test::readObjcProtocols(text.str());
}

TEST(ObjcProtocolDeclarations, NameTheSameMethodsClassesAndEncodingsAsTheSharedDeclaration) {
  const std::vector<XpcInterface> declared = objcProtocols();
  const XpcInterface* shared[] = {&helperProtocolInterface(), &appProtocolInterface()};

  ASSERT_EQ(declared.size(), std::size(shared)) << "the header declares other protocols too";
  for (const XpcInterface* expected : shared) {
    SCOPED_TRACE(expected->protocolName);
    const auto found = std::find_if(declared.begin(), declared.end(), [&](const XpcInterface& protocol) {
      return protocol.protocolName == expected->protocolName;
    });
    ASSERT_NE(found, declared.end()) << "no Objective-C protocol of that name";
    test::expectSameInterface(*found, *expected);
  }
}

// The encodings the reader computes, against the ones a 64-bit compiler
// gives for these shapes of declaration.
TEST(ObjcProtocolReader, EncodesArgumentsAsTheCompilerDoes) {
  struct Case {
    const char* declaration;
    const char* selector;
    const char* encoding;
  };
  const Case cases[] = {
      {"- (void)ping;", "ping", "v16@0:8"},
      {"- (void)logWithStdOut:(NSString *)text;", "logWithStdOut:", "v24@0:8@16"},
      {"- (void)getVersionWithCompletion:(void (^)(NSString *version))reply;",
       "getVersionWithCompletion:", "v24@0:8@?16"},
      {"- (void)a:(NSString *_Nonnull)a b:(nullable NSData *)b c:(void (^)(NSNumber *))c;",
       "a:b:c:", "v40@0:8@16@24@?32"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.declaration);
    const auto protocols = test::readObjcProtocols(std::string("@protocol P\n") + c.declaration + "\n@end\n");
    ASSERT_EQ(protocols.size(), 1u);
    ASSERT_EQ(protocols[0].methods.size(), 1u);
    EXPECT_EQ(protocols[0].methods[0].selector, c.selector);
    EXPECT_EQ(protocols[0].methods[0].typeEncoding, c.encoding);
  }
}

// Declarations the interfaces cannot carry are reported, not skipped: a
// skipped one would let the two sides drift apart unnoticed.
TEST(ObjcProtocolReader, RefusesWhatTheInterfacesCannotCarry) {
  const char* declarations[] = {
      "- (NSString *)name;",                                              // a return value
      "+ (void)classMethod;",                                             // not an instance method
      "- (void)send:(NSDictionary *)values;",                             // a class the interfaces do not use
      "- (void)send:(void (^)(NSString *))reply with:(NSString *)text;",  // an argument after the reply
      "@optional\n- (void)maybe;",                                        // an optional method
      "@property NSString *name;",                                        // a property
  };
  for (const char* declaration : declarations) {
    SCOPED_TRACE(declaration);
    EXPECT_THROW(test::readObjcProtocols(std::string("@protocol P\n") + declaration + "\n@end\n"),
                 test::ObjcDeclarationError);
  }
}

}  // namespace
}  // namespace brannic
