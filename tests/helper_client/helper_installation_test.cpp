// The helper start-up steps at launch: rights update, version check and
// blessing, with every outcome the window and the log show.
#include "helper_client/helper_label.h"
#include "tests/helper_client/helper_client_fixture.h"

namespace brannic::testing {
namespace {

const std::string kVersion(HelperVersion);
constexpr const char* kGetVersion = "getVersionWithCompletion:";

PropertyValue infoWithVersion(PropertyValue version) {
  return PropertyDictionary{{"CFBundleIdentifier", std::string(HelperLabel)},
                            {"CFBundleShortVersionString", version}};
}

class HelperInstallation : public HelperClientTest {
 protected:
  HelperInstallation() { bundle.infoDictionaries[kInBundleHelperURL] = infoWithVersion(kVersion); }
  void launch() { delegate->applicationDidFinishLaunching(); }
};

TEST_F(HelperInstallation, ARightsUpdateErrorIsLoggedOnceAndStartUpGoesOn) {
  authorization.scriptedCreates = {{errAuthorizationInternal, false}};
  launch();
  EXPECT_EQ(xpc.connection(0).message(0).selector, kGetVersion);
  EXPECT_EQ(serviceManagement.calls.size(), 1u);
  EXPECT_EQ(log(), (std::vector<std::string>{
                       "Failed to update the authorization database rights with error: "
                       "message(\"Optional(An unrecognized internal error occurred.)\")",
                       "Helper installed successfully.",
                   }));
}

TEST_F(HelperInstallation, TheRightIsRegisteredBeforeTheHelperIsContacted) {
  serviceManagement.whileBlessing = [&] { EXPECT_EQ(authorization.writes.size(), 1u); };
  launch();
  ASSERT_EQ(authorization.writes.size(), 1u);
  EXPECT_EQ(authorization.writes[0].name,
            std::string(HelperLabel) + ".runCommandLsWithPath:authData:completion:");
}

// The version check alone: the blessing is refused so it writes "No" and
// leaves the connection alone; the check's report is the one that hides.
TEST(HelperVersionCheck, ReportsWhetherTheRunningHelperHasTheBundlesVersion) {
  enum class Answer { none, version, failure };
  struct Case {
    const char* what;
    std::optional<PropertyValue> info;
    Answer answer;
    XpcValue reply;
    bool installed;
    bool refuseConnection = false;
  };
  const Case cases[] = {
      {"no information dictionary", std::nullopt, Answer::none, XpcNil{}, false},
      {"information not a dictionary", PropertyValue{OpaqueValue{"NSDictionary"}}, Answer::none, XpcNil{},
       false},
      {"no version key", PropertyDictionary{{"CFBundleIdentifier", std::string(HelperLabel)}}, Answer::none,
       XpcNil{}, false},
      {"version not text", infoWithVersion(1), Answer::none, XpcNil{}, false},
      {"same version", infoWithVersion(kVersion), Answer::version, XpcValue{kVersion}, true},
      {"same value, other form", infoWithVersion("1.0.0"), Answer::version, XpcValue{std::string("1.0")},
       false},
      {"other version", infoWithVersion(kVersion), Answer::version, XpcValue{std::string("0.9")}, false},
      {"version reply without a string", infoWithVersion(kVersion), Answer::version, XpcNil{}, false},
      {"connection fails", infoWithVersion(kVersion), Answer::failure, XpcNil{}, false},
      {"no helper proxy", infoWithVersion(kVersion), Answer::none, XpcNil{}, false, true},
  };
  for (const auto& c : cases) {
    HelperClientWorld world;
    if (c.info) world.bundle.infoDictionaries[kInBundleHelperURL] = *c.info;
    world.serviceManagement.blesses = false;
    world.xpc.refuse = c.refuseConnection;
    world.delegate->applicationDidFinishLaunching();
    world.runMainQueue();

    EXPECT_EQ(world.bundle.infoRequests, std::vector<std::string>{kInBundleHelperURL}) << c.what;
    const bool contacted = c.answer != Answer::none;
    EXPECT_EQ(world.xpc.allMessages().size(), contacted ? 1u : 0u) << c.what;
    if (c.answer == Answer::version) {
      EXPECT_EQ(world.xpc.last().message(0).selector, kGetVersion) << c.what;
      world.xpc.last().reply(0, c.reply);
    } else if (c.answer == Answer::failure) {
      world.xpc.last().fail(0, PlatformError{"NSCocoaErrorDomain", 4099, "no such service"});
    }

    const auto lines = world.log();
    EXPECT_EQ(world.fake.appKit.hides, 2) << c.what << ": start-up hides once, the report once more";
    ASSERT_FALSE(world.installedField.writes.empty()) << c.what;
    EXPECT_EQ(world.installedField.text, c.installed ? "Yes" : "No") << c.what;
    EXPECT_EQ(world.delegate->helperIsInstalled(), c.installed) << c.what;
    EXPECT_EQ(world.runButton.isEnabled(), c.installed) << c.what;
    const bool loggedConnectionError =
        std::find(lines.begin(), lines.end(), "Helper connection was closed with error: no such service") !=
        lines.end();
    EXPECT_EQ(loggedConnectionError, c.answer == Answer::failure) << c.what;
  }
}

// The installation alone: the version check is left waiting for its answer.
TEST(HelperInstallStep, ShowsEveryOutcomeOfTheBlessing) {
  const PlatformError blessError{"CFErrorDomainLaunchd", 2,
                                 "Error Domain=CFErrorDomainLaunchd Code=2 \"(null)\""};
  struct Case {
    const char* what;
    FakeAuthorizationServices::CreateResult authorizationResult;
    bool blesses;
    std::optional<PlatformError> error;
    bool blessCalled;
    std::vector<std::string> lines;
    std::vector<std::string> fieldWrites;
  };
  const Case cases[] = {
      {"prompt cancelled",
       {errAuthorizationCanceled, false},
       true,
       std::nullopt,
       false,
       {"Failed to install helper with error: message(\"Optional(The authorization was canceled by the "
        "user.)\")"},
       {"No"}},
      {"prompt refused",
       {errAuthorizationDenied, false},
       true,
       std::nullopt,
       false,
       {"Failed to install helper with error: message(\"Optional(The authorization was denied.)\")"},
       {"No"}},
      {"blessing fails with an error",
       {noErr, true},
       false,
       blessError,
       true,
       {"Failed to install helper with error: " + blessError.description},
       {"No"}},
      {"blessing fails without an error",
       {noErr, true},
       false,
       std::nullopt,
       true,
       {"Failed install helper with unknown error."},
       {"No", "No"}},
      {"no authorization reference",
       {noErr, false},
       true,
       std::nullopt,
       false,
       {"Failed install helper with unknown error."},
       {"No", "No"}},
      {"blessed", {noErr, true}, true, std::nullopt, true, {"Helper installed successfully."}, {"Yes"}},
  };
  for (const auto& c : cases) {
    HelperClientWorld world;
    world.bundle.infoDictionaries[kInBundleHelperURL] = infoWithVersion(kVersion);
    world.authorization.scriptedCreates = {{noErr, true}, c.authorizationResult};
    world.serviceManagement.blesses = c.blesses;
    world.serviceManagement.error = c.error;
    world.delegate->applicationDidFinishLaunching();

    ASSERT_EQ(world.authorization.createCalls.size(), 2u) << c.what;
    const auto& create = world.authorization.createCalls[1];
    ASSERT_TRUE(create.rights.has_value()) << c.what;
    ASSERT_EQ(create.rights->size(), 1u) << c.what;
    EXPECT_EQ(create.rights->at(0).name, "com.apple.ServiceManagement.blesshelper") << c.what;
    EXPECT_TRUE(create.rights->at(0).value.empty()) << c.what;
    EXPECT_EQ(create.rights->at(0).flags, 0u) << c.what;
    EXPECT_FALSE(create.environmentGiven) << c.what;
    EXPECT_EQ(create.flags, 0x13u) << c.what;

    ASSERT_EQ(world.serviceManagement.calls.size(), c.blessCalled ? 1u : 0u) << c.what;
    if (c.blessCalled) {
      EXPECT_EQ(world.serviceManagement.calls[0].domain, kSMDomainSystemLaunchd) << c.what;
      EXPECT_EQ(world.serviceManagement.calls[0].label, std::string(HelperLabel)) << c.what;
      EXPECT_EQ(world.serviceManagement.calls[0].authorization, world.authorization.reference(1)) << c.what;
    }

    EXPECT_EQ(world.log(), c.lines) << c.what;
    EXPECT_EQ(world.installedField.writes, c.fieldWrites) << c.what;
    const bool installed = c.fieldWrites.back() == "Yes";
    EXPECT_EQ(world.delegate->helperIsInstalled(), installed) << c.what;
    EXPECT_EQ(world.runButton.isEnabled(), installed) << c.what;
    EXPECT_EQ(world.fake.appKit.hides, 1) << c.what << ": the install step never hides";

    // After a blessing the helper is sent "0" on a fresh connection.
    const auto messages = world.xpc.allMessages();
    ASSERT_EQ(messages.size(), installed ? 2u : 1u) << c.what;
    if (installed) {
      EXPECT_EQ(world.xpc.connections.size(), 2u) << c.what;
      EXPECT_EQ(world.xpc.last().message(0).selector, "runCommandLsWithPath:completion:") << c.what;
      EXPECT_EQ(world.xpc.last().message(0).argumentText(), "0") << c.what;
    }
  }
}

TEST_F(HelperInstallation, ABlessingDropsTheConnectionBeforeTheSuccessBlockRuns) {
  serviceManagement.whileBlessing = [&] { EXPECT_FALSE(xpc.connection(0).isInvalidated()); };
  launch();
  auto& checked = xpc.connection(0);
  EXPECT_TRUE(checked.isInvalidated());
  EXPECT_EQ(fake.runLoop.pendingMainWork(), 1u);

  runMainQueue();
  ASSERT_EQ(xpc.connections.size(), 2u);
  EXPECT_EQ(checked.messageCount(), 1u) << "the request \"0\" must not use the invalidated connection";

  // The version request still waiting on the old connection ends in its
  // error path and reports "No".
  checked.fail(0, PlatformError{"NSCocoaErrorDomain", 4099, "invalidated"});
  EXPECT_EQ(log(), (std::vector<std::string>{"Helper installed successfully.",
                                             "Helper connection was closed with error: invalidated"}));
  EXPECT_EQ(installedField.writes, (std::vector<std::string>{"Yes", "No"}));
  EXPECT_FALSE(delegate->helperIsInstalled());
}

TEST_F(HelperInstallation, ALateInvalidationHandlerDropsTheNewerConnection) {
  launch();
  runMainQueue();
  auto& old = xpc.connection(0);
  auto& newer = xpc.connection(1);
  ASSERT_TRUE(newer.hasInvalidationHandler());

  // The old connection's handler only runs now, after the newer connection
  // has been cached for the request "0".
  old.runInvalidationHandler();
  runMainQueue();
  EXPECT_FALSE(newer.hasInvalidationHandler());

  delegate->runHelperCommand("1");
  ASSERT_EQ(xpc.connections.size(), 3u);
  EXPECT_EQ(xpc.last().message(0).argumentText(), "1");

  // The request in flight on the dropped connection is still answered.
  newer.reply(0, XpcValue{std::int64_t{0}});
  EXPECT_EQ(log(), (std::vector<std::string>{"Helper installed successfully.", "Command exit code: 0"}));
}

}  // namespace
}  // namespace brannic::testing
