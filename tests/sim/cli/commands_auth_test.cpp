// The script commands that set up the machine's authorization, blessing and
// power, and the `sleep` state key.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "platform/sim/cli/command_table.h"
#include "platform/sim/cli/commands.h"
#include "platform/sim/cli/simulator.h"
#include "tests/sim/recording_transcript.h"
#include "tests/sim/authorization/authorization_test_values.h"

namespace brannic::sim {
namespace {

using testing::kAppRight;

using namespace std::string_literals;
using Lines = std::vector<std::string>;

class AuthCommandsTest : public ::testing::Test {
 protected:
  AuthCommandsTest() {
    registerSessionCommands(table);
    registerAuthCommands(table);
  }
  void run(const std::string& line) {
    ASSERT_EQ(simulator.runLine(line, 1, false), Simulator::LineOutcome::ran) << line;
  }
  std::optional<PropertyValue> storedVersion() {
    const auto definition = mac.authorization().database().definition(kAppRight);
    if (!definition) return std::nullopt;
    const auto& entries = *definition->get<PropertyDictionary>();
    EXPECT_EQ(entries.at("class"), PropertyValue("user"));
    EXPECT_EQ(entries.at("group"), PropertyValue("admin"));
    return entries.at("version");
  }

  testing::RecordingTranscript recording;
  SimMac mac{recording.transcript(), SimMacOptions{}};
  CommandTable table;
  Simulator simulator{mac, table};
};

TEST_F(AuthCommandsTest, DatabaseCommandsSetTheAppsRightSilently) {
  run("authdb version 2");
  EXPECT_EQ(storedVersion(), PropertyValue(2));
  run("authdb version -7");
  EXPECT_EQ(storedVersion(), PropertyValue(-7));
  run("authdb version-text \"1\"");
  EXPECT_EQ(storedVersion(), PropertyValue("1"));
  run("authdb remove");
  EXPECT_EQ(storedVersion(), std::nullopt);
  run("authdb remove");
  EXPECT_EQ(recording.take(), Lines{});
}

TEST_F(AuthCommandsTest, FailureCommandsReachTheAppsCallsAndCanBeLifted) {
  SimAuthorizationServices& services = mac.authorization().services();
  AuthorizationRef ref = nullptr;
  std::optional<PropertyValue> definition;
  run("auth create fail -60006");
  run("authdb reads fail");
  run("authdb writes fail");
  EXPECT_EQ(services.authorizationCreate(nullptr, nullptr, 0, &ref), errAuthorizationCanceled);
  EXPECT_EQ(services.authorizationRightGet("allow", &definition), errAuthorizationInternal);
  run("auth create fail 0");
  EXPECT_EQ(services.authorizationCreate(nullptr, nullptr, 0, &ref), errAuthorizationSuccess);
  EXPECT_EQ(ref, nullptr);
  run("auth create ok");
  run("authdb reads ok");
  ASSERT_EQ(services.authorizationCreate(nullptr, nullptr, 0, &ref), errAuthorizationSuccess);
  EXPECT_EQ(services.authorizationRightGet("allow", &definition), errAuthorizationSuccess);
  EXPECT_EQ(services.authorizationRightSet(ref, kAppRight, "allow", ""), errAuthorizationInternal);

  run("auth external-form fail -60009");
  AuthorizationExternalForm form{};
  EXPECT_EQ(services.authorizationMakeExternalForm(ref, &form), errAuthorizationExternalizeNotAllowed);
  run("auth external-form ok");
  EXPECT_EQ(services.authorizationMakeExternalForm(ref, &form), errAuthorizationSuccess);

  std::optional<PlatformError> error;
  run("bless fail-with-error");
  EXPECT_FALSE(mac.serviceManagement().jobBless(kSMDomainSystemLaunchd, "com.brannic.helper", ref, &error));
  EXPECT_EQ(error, serviceManagementError(kSMErrorInternalFailure));
  EXPECT_EQ(recording.take(), Lines{});
}

TEST_F(AuthCommandsTest, CreateFailureCanBeLimitedToTheNextCalls) {
  SimAuthorizationServices& services = mac.authorization().services();
  const auto create = [&services] {
    AuthorizationRef ref = nullptr;
    const OSStatus status = services.authorizationCreate(nullptr, nullptr, 0, &ref);
    return std::pair(status, ref != nullptr);
  };
  using Answer = std::pair<OSStatus, bool>;
  run("auth create fail -60006 times 2");
  EXPECT_EQ(create(), Answer(errAuthorizationCanceled, false));
  EXPECT_EQ(create(), Answer(errAuthorizationCanceled, false));
  EXPECT_EQ(create(), Answer(errAuthorizationSuccess, true));
  run("auth create fail 0 times 1");
  EXPECT_EQ(create(), Answer(errAuthorizationSuccess, false));
  EXPECT_EQ(create(), Answer(errAuthorizationSuccess, true));
  // A later line replaces the count: without one, every call fails again.
  run("auth create fail -60006 times 1");
  run("auth create fail -60008");
  for (int i = 0; i < 3; ++i) EXPECT_EQ(create(), Answer(errAuthorizationInternal, false));
  EXPECT_EQ(recording.take(), Lines{});
}

TEST_F(AuthCommandsTest, AdminAnswerDecidesTheNextPrompt) {
  const AuthorizationItemSet bless{{kSMRightBlessPrivilegedHelper, {}, 0}};
  const AuthorizationFlags flags =
      kAuthorizationFlagInteractionAllowed | kAuthorizationFlagExtendRights | kAuthorizationFlagPreAuthorize;
  AuthorizationRef ref = nullptr;
  run("admin cancel");
  EXPECT_EQ(mac.authorization().services().authorizationCreate(&bless, nullptr, flags, &ref),
            errAuthorizationCanceled);
  EXPECT_EQ(recording.take(), Lines{"auth: prompt com.apple.ServiceManagement.blesshelper -> cancel"});
}

TEST_F(AuthCommandsTest, StateShowsTheSleepSettingAfterReportingItsChange) {
  run("state");
  const std::string tool = (std::filesystem::path(mac.machinePath()) / "usr/bin/pmset").string();
  ASSERT_EQ(std::system(("'" + tool + "' -a disablesleep 1").c_str()), 0);
  run("state");
  EXPECT_EQ(recording.take(),
            (Lines{"state: sleep=enabled", "power: sleep disabled", "state: sleep=disabled"}));
}

struct BadAuthLine {
  const char* name;
  const char* line;
  const char* error;
};

class BadAuthLineTest : public AuthCommandsTest, public ::testing::WithParamInterface<BadAuthLine> {};

TEST_P(BadAuthLineTest, PrintsWhyAndChangesNothing) {
  EXPECT_EQ(simulator.runLine(GetParam().line, 3, false), Simulator::LineOutcome::failed);
  EXPECT_EQ(recording.take(), (Lines{"sim: error line 3: "s + GetParam().error}));
  EXPECT_EQ(mac.authorization().authority().adminAnswer(), AdminAnswer::allow);
  EXPECT_EQ(storedVersion(), std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, BadAuthLineTest,
    ::testing::Values(
        BadAuthLine{"UnknownAnswer", "admin maybe", "admin: expected one of allow, deny, cancel, not \"maybe\""},
        BadAuthLine{"VersionNotANumber", "authdb version one",
                    "authdb: expected a whole number from -9223372036854775808 to 9223372036854775807, not \"one\""},
        BadAuthLine{"VersionTooLarge", "authdb version 9223372036854775808",
                    "authdb: expected a whole number from -9223372036854775808 to 9223372036854775807, not "
                    "\"9223372036854775808\""},
        BadAuthLine{"VersionTextNeedsQuotes", "authdb version-text 1",
                    "authdb: expected text in double quotes, not \"1\""},
        BadAuthLine{"StatusOutOfRange", "auth create fail 2147483648",
                    "auth: expected a whole number from -2147483648 to 2147483647, not \"2147483648\""},
        BadAuthLine{"FailWithoutStatus", "auth external-form fail",
                    "auth: usage: auth create fail <status>|ok or auth create fail <status> times <n> or auth "
                    "external-form fail <status>|ok"},
        BadAuthLine{"FailNoTimes", "auth create fail -60008 times 0",
                    "auth: expected a whole number from 1 to 2147483647, not \"0\""},
        BadAuthLine{"TimesWithoutCount", "auth create fail -60008 times",
                    "auth: usage: auth create fail <status>|ok or auth create fail <status> times <n> or auth "
                    "external-form fail <status>|ok"},
        BadAuthLine{"UnknownBlessOutcome", "bless later",
                    "bless: expected one of fail, fail-with-error, ok, not \"later\""}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

}  // namespace
}  // namespace brannic::sim
