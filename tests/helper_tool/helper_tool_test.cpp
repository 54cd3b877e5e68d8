// The helper tool's requests against small fakes of the ports it uses.
#include "helper_tool/helper_tool.h"

#include <gtest/gtest.h>

#include "helper_client/helper_label.h"
#include "helper_tool/helper_exit_codes.h"
#include "tests/fakes/recording_logs.h"
#include "tests/helper_tool/helper_tool_fakes.h"

namespace brannic {
namespace {

class HelperToolTest : public ::testing::Test {
 protected:
  std::optional<std::int64_t> plain(const std::string& argument) {
    std::optional<std::int64_t> reply;
    tool.runCommandLsWithPath(argument, [&](std::int64_t code) { reply = code; });
    return reply;
  }
  std::optional<std::int64_t> authorized(const std::string& argument, XpcData data) {
    std::optional<std::int64_t> reply;
    tool.runCommandLsWithPath(argument, std::move(data), [&](std::int64_t code) { reply = code; });
    return reply;
  }

  RecordingApp app;
  ScriptedRunner runner;
  ScriptedAuthorization authorization;
  testing::RecordingSystemLog log;
  SleepSetting sleep{runner, log};
  HelperTool tool{app, authorization, sleep, "1.2.3"};
};

TEST_F(HelperToolTest, ReportsTheVersionItWasGiven) {
  std::optional<std::string> version;
  tool.getVersionWithCompletion([&](std::string text) { version = std::move(text); });
  EXPECT_EQ(version, "1.2.3");
}

TEST_F(HelperToolTest, OneAndZeroRunThePowerToolAndForwardWhatItWrites) {
  const struct {
    std::string argument;
    ProcessResult result;
    std::string call;
    std::vector<std::string> lines;
  } cases[] = {
      {"1", {0, "", ""}, "/usr/bin/pmset -a disablesleep 1", {}},
      {"0", {0, "", ""}, "/usr/bin/pmset -a disablesleep 0", {}},
      {"1", {1, "", "usage: pmset\n"}, "/usr/bin/pmset -a disablesleep 1", {"err: usage: pmset\n"}},
      {"0",
       {0, "done\n", "warning\n"},
       "/usr/bin/pmset -a disablesleep 0",
       {"out: done\n", "err: warning\n"}},
      {"1", {128 + 9, "", ""}, "/usr/bin/pmset -a disablesleep 1", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.argument + " -> " + std::to_string(c.result.exitCode));
    app.lines.clear();
    runner.calls.clear();
    runner.result = c.result;
    EXPECT_EQ(plain(c.argument), c.result.exitCode);
    EXPECT_EQ(runner.calls, std::vector<std::string>{c.call});
    EXPECT_EQ(app.lines, c.lines);
  }
}

TEST_F(HelperToolTest, AnyOtherArgumentIsRefusedWithoutRunningAnything) {
  const std::vector<std::string> arguments{"",
                                           "2",
                                           "01",
                                           "1 ",
                                           " 0",
                                           "1\n",
                                           "-a",
                                           "disablesleep 1",
                                           "1; reboot",
                                           "$(reboot)",
                                           std::string("1\0", 2)};
  for (const auto& argument : arguments) {
    SCOPED_TRACE(argument);
    app.lines.clear();
    EXPECT_EQ(plain(argument), kHelperRefusedArgumentExitCode);
    ASSERT_EQ(app.lines.size(), 1u);
    EXPECT_EQ(app.lines[0].rfind("err: ", 0), 0u);
  }
  EXPECT_TRUE(runner.calls.empty());
}

TEST_F(HelperToolTest, APowerToolThatCannotStartAnswersItsOwnCode) {
  runner.result = std::nullopt;
  EXPECT_EQ(plain("1"), kHelperToolUnavailableExitCode);
  EXPECT_EQ(app.lines, std::vector<std::string>{"err: The helper could not start /usr/bin/pmset."});
}

TEST_F(HelperToolTest, TheAuthorizedRequestChecksItsRightInTheHelper) {
  XpcData data(32);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 7);
  runner.result = ProcessResult{3, "", ""};
  EXPECT_EQ(authorized("1", data), 3);
  ASSERT_EQ(authorization.receivedForms.size(), 1u);
  EXPECT_TRUE(std::equal(data.begin(), data.end(), authorization.receivedForms[0].begin()));
  EXPECT_EQ(
      authorization.requestedRights,
      std::vector<std::string>{std::string(HelperLabel) + ".runCommandLsWithPath:authData:completion:"});
  EXPECT_EQ(
      authorization.requestedFlags,
      std::vector<AuthorizationFlags>{kAuthorizationFlagInteractionAllowed | kAuthorizationFlagExtendRights});
  EXPECT_EQ(runner.calls, std::vector<std::string>{"/usr/bin/pmset -a disablesleep 1"});

  // Granted, but the argument is still checked.
  EXPECT_EQ(authorized("reboot", data), kHelperRefusedArgumentExitCode);
  EXPECT_EQ(runner.calls.size(), 1u);
}

TEST_F(HelperToolTest, RefusedOrInvalidAuthorizationAnswersTheFailureCodeAndRunsNothing) {
  const struct {
    const char* name;
    std::size_t size;
    OSStatus createStatus;
    OSStatus copyStatus;
    std::size_t formsTried;
  } cases[] = {
      {"no data", 0, errAuthorizationSuccess, errAuthorizationSuccess, 0},
      {"31 bytes", 31, errAuthorizationSuccess, errAuthorizationSuccess, 0},
      {"33 bytes", 33, errAuthorizationSuccess, errAuthorizationSuccess, 0},
      {"not an external form", 32, errAuthorizationInvalidRef, errAuthorizationSuccess, 1},
      {"denied", 32, errAuthorizationSuccess, errAuthorizationDenied, 1},
      {"cancelled", 32, errAuthorizationSuccess, errAuthorizationCanceled, 1},
      {"interaction not allowed", 32, errAuthorizationSuccess, errAuthorizationInteractionNotAllowed, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    authorization = ScriptedAuthorization{};
    authorization.createStatus = c.createStatus;
    authorization.copyStatus = c.copyStatus;
    EXPECT_EQ(authorized("1", XpcData(c.size, 9)), kAuthenticationFailedExitCode);
    EXPECT_EQ(authorization.receivedForms.size(), c.formsTried);
    EXPECT_EQ(authorization.requestedRights.size(),
              c.createStatus == errAuthorizationSuccess ? c.formsTried : 0);
  }
  EXPECT_TRUE(runner.calls.empty());
  EXPECT_TRUE(app.lines.empty());
}

// The helper runs as long as the machine does, so each reference it makes
// from an external form must go again after the check, on every path. It is
// freed without destroying rights: those belong to the application's
// session, whose cached data may come again.
TEST_F(HelperToolTest, EveryAuthorizationMadeForACheckIsFreedOnceKeepingItsRights) {
  const struct {
    const char* name;
    std::string argument;
    OSStatus createStatus;
    bool givesReference;
    OSStatus copyStatus;
    std::int64_t reply;
  } cases[] = {
      {"granted", "1", errAuthorizationSuccess, true, errAuthorizationSuccess, 0},
      {"granted, argument refused", "2", errAuthorizationSuccess, true, errAuthorizationSuccess,
       kHelperRefusedArgumentExitCode},
      {"denied", "1", errAuthorizationSuccess, true, errAuthorizationDenied, kAuthenticationFailedExitCode},
      {"cancelled", "1", errAuthorizationSuccess, true, errAuthorizationCanceled,
       kAuthenticationFailedExitCode},
      {"not an external form", "1", errAuthorizationInvalidRef, true, errAuthorizationSuccess,
       kAuthenticationFailedExitCode},
      {"success without a reference", "1", errAuthorizationSuccess, false, errAuthorizationSuccess,
       kAuthenticationFailedExitCode},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    authorization = ScriptedAuthorization{};
    authorization.createStatus = c.createStatus;
    authorization.giveReference = c.givesReference;
    authorization.copyStatus = c.copyStatus;
    for (int request = 0; request < 3; ++request) EXPECT_EQ(authorized(c.argument, XpcData(32, 9)), c.reply);

    const std::size_t made =
        c.createStatus == errAuthorizationSuccess && c.givesReference ? authorization.references.size() : 0;
    ASSERT_EQ(authorization.frees.size(), made);
    for (std::size_t i = 0; i < made; ++i) {
      EXPECT_EQ(authorization.frees[i].authorization,
                reinterpret_cast<AuthorizationRef>(authorization.references[i].get()));
      EXPECT_EQ(authorization.frees[i].flags, kAuthorizationFlagDefaults);
    }
  }
}

}  // namespace
}  // namespace brannic
