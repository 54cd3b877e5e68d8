// The helper tool's requests against small fakes of the ports it uses.
#include "helper_tool/helper_tool.h"

#include <gtest/gtest.h>

#include "helper_client/helper_label.h"
#include "helper_tool/helper_exit_codes.h"
#include "tests/fakes/recording_logs.h"
#include "tests/helper_tool/helper_contract_cases.h"
#include "tests/helper_tool/helper_tool_fakes.h"
#include "tests/support/case_name.h"

namespace brannic {
namespace {

class HelperToolTest : public ::testing::Test {
 protected:
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

// The helper's answers on fakes of its ports: the runner plays the power
// tool, the authorization services play the check of the right (a reference
// from any 32 bytes unless the case's bytes name none, and the owner's
// answer as the status of the check).
class HelperToolContract : public HelperToolTest,
                           public ::testing::WithParamInterface<testing::HelperContractCase> {
 protected:
  testing::HelperAnswer ask(const testing::HelperContractCase& c) {
    runner.result = c.powerTool;
    if (c.data == testing::RequestData::unknownForm) authorization.createStatus = errAuthorizationInvalidRef;
    authorization.copyStatus = c.owner == testing::OwnerAnswer::allow  ? errAuthorizationSuccess
                               : c.owner == testing::OwnerAnswer::deny ? errAuthorizationDenied
                                                                       : errAuthorizationCanceled;
    testing::HelperAnswer answer;
    const auto recordReply = [&](std::int64_t code) { app.lines.push_back("reply " + std::to_string(code)); };
    if (c.data == testing::RequestData::none) {
      tool.runCommandLsWithPath(c.argument, recordReply);
    } else {
      tool.runCommandLsWithPath(c.argument, XpcData(testing::requestDataSize(c.data), 9), recordReply);
    }
    answer.sentBack = app.lines;
    // A tool that cannot be started has not run.
    if (c.powerTool) answer.powerToolRuns = runner.calls;
    answer.rightsAsked = authorization.requestedRights;
    return answer;
  }
};

TEST_P(HelperToolContract, AnswersAsTheApplicationExpects) {
  testing::expectHelperAnswer(GetParam(), ask(GetParam()));
}

INSTANTIATE_TEST_SUITE_P(InProcess, HelperToolContract, ::testing::ValuesIn(testing::helperContractCases()),
                         testing::CaseWhat());

// What the check of the right is given: the bytes exactly as they came, the
// right by its name, with the owner asked when its rule says so. Data of any
// other size never reaches it.
TEST_F(HelperToolTest, TheAuthorizedRequestHandsItsBytesUnchangedToTheCheckOfItsRight) {
  XpcData data(32);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 7);
  EXPECT_EQ(authorized("1", data), 0);
  ASSERT_EQ(authorization.receivedForms.size(), 1u);
  EXPECT_TRUE(std::equal(data.begin(), data.end(), authorization.receivedForms[0].begin()));
  EXPECT_EQ(
      authorization.requestedRights,
      std::vector<std::string>{std::string(HelperLabel) + ".runCommandLsWithPath:authData:completion:"});
  EXPECT_EQ(
      authorization.requestedFlags,
      std::vector<AuthorizationFlags>{kAuthorizationFlagInteractionAllowed | kAuthorizationFlagExtendRights});

  for (const std::size_t size : {0u, 31u, 33u}) {
    SCOPED_TRACE(size);
    authorization = ScriptedAuthorization{};
    EXPECT_EQ(authorized("1", XpcData(size, 9)), kAuthenticationFailedExitCode);
    EXPECT_TRUE(authorization.receivedForms.empty());
  }
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
      {"interaction not allowed", "1", errAuthorizationSuccess, true, errAuthorizationInteractionNotAllowed,
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
