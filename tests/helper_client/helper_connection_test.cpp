// The cached connection to the helper and the proxy every message goes
// through, driven by the command request that uses them.
#include "helper_client/helper_protocol.h"
#include "tests/helper_client/helper_client_fixture.h"

namespace brannic::testing {
namespace {

using HelperConnection = HelperClientTest;

const PlatformError kLost{"NSCocoaErrorDomain", 4097, "connection to service named com.brannic.helper lost"};

TEST_F(HelperConnection, OpensOnePrivilegedConnectionConfiguredInOrderAndSharesIt) {
  EXPECT_EQ(delegate->runHelperCommand("a"), HelperCommandOutcome::sent);
  EXPECT_EQ(delegate->runHelperCommand("b"), HelperCommandOutcome::sent);

  ASSERT_EQ(xpc.connections.size(), 1u);
  auto& connection = xpc.last();
  EXPECT_EQ(connection.machServiceName, std::string(HelperLabel));
  EXPECT_EQ(connection.options, 4096u);
  EXPECT_EQ(connection.calls, (std::vector<std::string>{
                                  "setExportedInterface AppProtocol",
                                  "setExportedObject",
                                  "setRemoteObjectInterface HelperProtocol",
                                  "setInvalidationHandler",
                                  "resume",
                                  "remoteObjectProxyWithErrorHandler",
                                  "remoteObjectProxyWithErrorHandler",
                              }));
  ASSERT_EQ(connection.messageCount(), 2u);
  EXPECT_EQ(connection.message(1).argumentText(), "b");
}

TEST_F(HelperConnection, ExportsTheDelegateForTheHelpersText) {
  delegate->runHelperCommand("1");
  auto& exported = xpc.last().exportedObject;
  ASSERT_TRUE(exported);
  exported->invoke("logWithStdOut:", {XpcValue{std::string("out")}}, nullptr);
  exported->invoke("logWithStdErr:", {XpcValue{std::string("err")}}, nullptr);
  EXPECT_EQ(log(), (std::vector<std::string>{"out", "err"}));
}

TEST_F(HelperConnection, GivesNoProxyWhenNoConformingOneCanBeHad) {
  struct Case {
    const char* what;
    bool refuseConnection;
    FakeProxyKind proxies;
  };
  const Case cases[] = {
      {"no connection object", true, FakeProxyKind::conforming},
      {"no proxy", false, FakeProxyKind::absent},
      {"proxy of another protocol", false, FakeProxyKind::notConforming},
  };
  for (const auto& c : cases) {
    HelperClientWorld fresh;
    fresh.xpc.refuse = c.refuseConnection;
    fresh.xpc.proxies = c.proxies;
    EXPECT_EQ(fresh.delegate->runHelperCommand("1"), HelperCommandOutcome::noHelper) << c.what;
    EXPECT_TRUE(fresh.xpc.allMessages().empty()) << c.what;
    EXPECT_TRUE(fresh.log().empty()) << c.what;
  }
}

TEST_F(HelperConnection, AFailedMessageLogsTheErrorAndNoReply) {
  delegate->runHelperCommand("1");
  xpc.last().fail(0, kLost);
  EXPECT_EQ(log(), std::vector<std::string>{"Helper connection was closed with error: " + kLost.description});
}

TEST_F(HelperConnection, IsForgottenOnlyOnceTheMainQueueHasRunTheClearing) {
  delegate->runHelperCommand("before");
  auto& first = xpc.connection(0);
  first.runInvalidationHandler();

  // Still cached: this one goes through the invalidated connection.
  delegate->runHelperCommand("still first");
  ASSERT_EQ(xpc.connections.size(), 1u);
  EXPECT_EQ(first.messageCount(), 2u);
  first.fail(1, kLost);

  runMainQueue();
  EXPECT_FALSE(first.hasInvalidationHandler());
  delegate->runHelperCommand("after");
  ASSERT_EQ(xpc.connections.size(), 2u);
  EXPECT_EQ(xpc.connection(1).message(0).argumentText(), "after");
  EXPECT_TRUE(xpc.connection(1).hasInvalidationHandler());
  EXPECT_EQ(log(), std::vector<std::string>{"Helper connection was closed with error: " + kLost.description});
}

}  // namespace
}  // namespace brannic::testing
