// The command request: plain or authorized, the authorization data it
// carries and caches, and what its replies and failures write.
#include "helper_client/helper_command_outcome.h"
#include "tests/helper_client/helper_client_fixture.h"

namespace brannic::testing {
namespace {

constexpr const char* kPlain = "runCommandLsWithPath:completion:";
constexpr const char* kAuthorized = "runCommandLsWithPath:authData:completion:";

class HelperCommand : public HelperClientTest {
 protected:
  FakeXpcMessage& sent(std::size_t index) { return *xpc.allMessages().at(index); }
  std::vector<std::uint8_t> formOf(std::size_t reference) {
    return authorization.externalFormBytesOf(authorization.reference(reference));
  }
};

TEST_F(HelperCommand, CheckBoxesChooseTheRequestAndWhetherItsDataIsCached) {
  struct Case {
    const char* what;
    int require;
    int cache;
    std::int64_t reply;
    std::string line;
    bool cached;
  };
  const Case cases[] = {
      {"plain, refusal code is just a number", NSControlStateValueOff, NSControlStateValueOn, 503340,
       "Command exit code: 503340", false},
      {"mixed box sends plain", NSControlStateValueMixed, NSControlStateValueOn, 0, "Command exit code: 0",
       false},
      {"authorized and cached", NSControlStateValueOn, NSControlStateValueOn, 0, "Command exit code: 0",
       true},
      {"authorized, negative code cached", NSControlStateValueOn, NSControlStateValueOn, -1,
       "Command exit code: -1", true},
      {"authorized, cache box off", NSControlStateValueOn, NSControlStateValueOff, 0, "Command exit code: 0",
       false},
      {"authorized, cache box mixed", NSControlStateValueOn, NSControlStateValueMixed, 7,
       "Command exit code: 7", false},
      // Only the helper's refusal number itself means a refusal: its
      // neighbours, its negation and a number that matches it in the low 32
      // bits are exit codes like any other.
      {"authorized and refused", NSControlStateValueOn, NSControlStateValueOn, 503340,
       "Authentication Failed", false},
      {"authorized, one below the refusal", NSControlStateValueOn, NSControlStateValueOn, 503339,
       "Command exit code: 503339", true},
      {"authorized, one above the refusal", NSControlStateValueOn, NSControlStateValueOn, 503341,
       "Command exit code: 503341", true},
      {"authorized, the refusal negated", NSControlStateValueOn, NSControlStateValueOn, -503340,
       "Command exit code: -503340", true},
      {"authorized, the refusal plus 2^32", NSControlStateValueOn, NSControlStateValueOn,
       std::int64_t{503340} + (std::int64_t{1} << 32), "Command exit code: 4295470636", true},
  };
  for (const auto& c : cases) {
    HelperClientWorld fresh;
    fresh.requireBox.stateValue = c.require;
    fresh.cacheBox.stateValue = c.cache;
    EXPECT_EQ(fresh.delegate->runHelperCommand("1"), HelperCommandOutcome::sent) << c.what;

    const bool authorized = c.require == NSControlStateValueOn;
    auto& message = fresh.xpc.last().message(0);
    EXPECT_EQ(message.selector, authorized ? kAuthorized : kPlain) << c.what;
    EXPECT_EQ(message.argumentText(), "1") << c.what;
    const auto data = message.authData();
    EXPECT_EQ(fresh.authorization.createCalls.size(), authorized ? 1u : 0u) << c.what;
    if (authorized) {
      ASSERT_TRUE(data.has_value()) << c.what;
      EXPECT_EQ(*data, fresh.authorization.externalFormBytesOf(fresh.authorization.reference(0))) << c.what;
      const auto& create = fresh.authorization.createCalls[0];
      EXPECT_FALSE(create.rights.has_value());
      EXPECT_FALSE(create.environmentGiven);
      EXPECT_EQ(create.flags, kAuthorizationFlagDefaults);
      ASSERT_EQ(fresh.authorization.externalFormCalls.size(), 1u);
      EXPECT_TRUE(fresh.authorization.externalFormCalls[0].areaWasZeroed);
    }
    EXPECT_FALSE(fresh.delegate->currentHelperAuthData().has_value())
        << c.what << ": cached before the reply";

    fresh.xpc.last().reply(0, XpcValue{c.reply});
    EXPECT_EQ(fresh.log(), std::vector<std::string>{c.line}) << c.what;
    EXPECT_EQ(fresh.delegate->currentHelperAuthData().has_value(), c.cached) << c.what;
    if (c.cached) {
      EXPECT_EQ(fresh.delegate->currentHelperAuthData(), data) << c.what;
    }
    EXPECT_EQ(fresh.cachedField.writes,
              c.cached ? std::vector<std::string>{"Yes"} : std::vector<std::string>{})
        << c.what;
    EXPECT_EQ(fresh.destroyButton.enabled, c.cached) << c.what;
    // Freeing it would end the session that the sent (and cached) data names.
    EXPECT_TRUE(fresh.authorization.frees.empty()) << c.what << ": the application freed its reference";
  }
}

TEST_F(HelperCommand, CachedDataIsSentAgainEvenAfterARefusal) {
  requireBox.stateValue = NSControlStateValueOn;
  cacheBox.stateValue = NSControlStateValueOn;
  std::vector<KeyValue> notified;
  delegate->addObserverForKey("currentHelperAuthData",
                              [&](const KeyValue& value) { notified.push_back(value); });

  delegate->runHelperCommand("1");
  xpc.last().reply(0, XpcValue{std::int64_t{0}});
  runMainQueue();
  ASSERT_EQ(notified.size(), 1u);
  EXPECT_EQ(notified[0], KeyValue{PropertyValue{PropertyData(formOf(0))}});

  delegate->runHelperCommand("0");
  xpc.last().reply(1, XpcValue{authenticationFailedExitCode()});
  delegate->runHelperCommand("1");

  EXPECT_EQ(authorization.createCalls.size(), 1u);
  EXPECT_EQ(authorization.externalFormCalls.size(), 1u);
  for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(sent(i).authData(), formOf(0)) << i;
  EXPECT_EQ(log(), (std::vector<std::string>{"Command exit code: 0", "Authentication Failed"}));
  EXPECT_EQ(delegate->currentHelperAuthData(), formOf(0));
  EXPECT_EQ(notified.size(), 1u);
}

TEST_F(HelperCommand, TheCacheBoxIsReadWhenTheReplyIsHandled) {
  struct Case {
    int atSend;
    int atReply;
    bool cached;
  };
  for (const auto& c : {Case{NSControlStateValueOff, NSControlStateValueOn, true},
                        Case{NSControlStateValueOn, NSControlStateValueOff, false}}) {
    HelperClientWorld fresh;
    fresh.requireBox.stateValue = NSControlStateValueOn;
    fresh.cacheBox.stateValue = c.atSend;
    fresh.delegate->runHelperCommand("1");
    fresh.xpc.last().reply(0, XpcValue{std::int64_t{0}});
    // The reply has arrived on the connection's queue, but its handling
    // waits for the main queue.
    fresh.cacheBox.stateValue = c.atReply;
    fresh.runMainQueue();
    EXPECT_EQ(fresh.delegate->currentHelperAuthData().has_value(), c.cached)
        << c.atSend << " -> " << c.atReply;
  }
}

TEST_F(HelperCommand, OfTwoAuthorizedRequestsInFlightTheFirstAcceptedReplyCaches) {
  requireBox.stateValue = NSControlStateValueOn;
  cacheBox.stateValue = NSControlStateValueOn;
  delegate->runHelperCommand("1");
  delegate->runHelperCommand("0");
  ASSERT_EQ(authorization.createCalls.size(), 2u);
  EXPECT_EQ(sent(0).authData(), formOf(0));
  EXPECT_EQ(sent(1).authData(), formOf(1));

  xpc.last().reply(1, XpcValue{std::int64_t{0}});
  xpc.last().reply(0, XpcValue{std::int64_t{0}});
  EXPECT_EQ(log(), (std::vector<std::string>{"Command exit code: 0", "Command exit code: 0"}));
  EXPECT_EQ(delegate->currentHelperAuthData(), formOf(1));
  EXPECT_EQ(cachedField.writes, std::vector<std::string>{"Yes"});
  EXPECT_EQ(destroyButton.enabledWrites, 1);
}

TEST_F(HelperCommand, AFailedAuthorizedMessageCachesNothing) {
  requireBox.stateValue = NSControlStateValueOn;
  cacheBox.stateValue = NSControlStateValueOn;
  delegate->runHelperCommand("1");
  xpc.last().fail(0, PlatformError{"NSCocoaErrorDomain", 4099, "invalidated"});
  EXPECT_EQ(log(), std::vector<std::string>{"Helper connection was closed with error: invalidated"});
  EXPECT_FALSE(delegate->currentHelperAuthData().has_value());
}

TEST_F(HelperCommand, SendsNothingWhenNoAuthorizationDataCanBeMade) {
  struct Case {
    const char* what;
    FakeAuthorizationServices::CreateResult create;
    OSStatus externalForm;
    HelperCommandOutcome outcome;
    std::string line;
  };
  const Case cases[] = {
      {"create fails",
       {errAuthorizationInternal, false},
       noErr,
       HelperCommandOutcome::authorizationError,
       "Command failed with error: message(\"Optional(An unrecognized internal error occurred.)\")"},
      {"create fails without a system message",
       {-4242, false},
       noErr,
       HelperCommandOutcome::authorizationError,
       "Command failed with error: message(\"nil\")"},
      {"create gives no reference",
       {noErr, false},
       noErr,
       HelperCommandOutcome::noAuthorizationData,
       "Failed to get the empty authorization external form"},
      {"external form fails",
       {noErr, true},
       errAuthorizationDenied,
       HelperCommandOutcome::authorizationError,
       "Command failed with error: message(\"Optional(The authorization was denied.)\")"},
  };
  for (const auto& c : cases) {
    HelperClientWorld fresh;
    fresh.requireBox.stateValue = NSControlStateValueOn;
    fresh.cacheBox.stateValue = NSControlStateValueOn;
    fresh.authorization.createResult = c.create;
    fresh.authorization.externalFormStatus = c.externalForm;
    EXPECT_EQ(fresh.delegate->runHelperCommand("1"), c.outcome) << c.what;
    EXPECT_TRUE(fresh.xpc.allMessages().empty()) << c.what;
    EXPECT_EQ(fresh.log(), std::vector<std::string>{c.line}) << c.what;
    EXPECT_FALSE(fresh.delegate->currentHelperAuthData().has_value()) << c.what;
  }
}

TEST_F(HelperCommand, TheButtonSendsTheInputFieldsText) {
  for (const std::string text : {"ls -l", ""}) {
    inputField.text = text;
    EXPECT_TRUE(delegate->performAction("buttonRunCommand:"));
  }
  ASSERT_EQ(xpc.allMessages().size(), 2u);
  EXPECT_EQ(sent(0).argumentText(), "ls -l");
  EXPECT_EQ(sent(1).selector, kPlain);
  EXPECT_EQ(sent(1).argumentText(), "");
}

}  // namespace
}  // namespace brannic::testing
