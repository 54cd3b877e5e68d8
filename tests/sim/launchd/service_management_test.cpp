#include "platform/sim/launchd/service_management.h"

#include <gtest/gtest.h>

#include <fstream>

#include "platform/sim/machine/machine_folder.h"
#include "platform/sim/authorization/database.h"
#include "tests/support/case_name.h"

namespace brannic::sim {
namespace {

constexpr const char* kLabel = "com.brannic.helper";

class SimServiceManagementTest : public ::testing::Test {
 protected:
  // An authorization made with the blessing right, as the installation makes it.
  AuthorizationRef blessingAuthorization(AuthorizationFlags flags) {
    const AuthorizationItemSet rights{{kSMRightBlessPrivilegedHelper, {}, 0}};
    AuthorizationRef ref = nullptr;
    EXPECT_EQ(authorization.authorizationCreate(&rights, nullptr, flags, &ref), errAuthorizationSuccess);
    return ref;
  }

  MachineFolder folder{std::nullopt};
  const std::filesystem::path root{folder.path()};
  SimAuthorizationDatabase database{authorizationDatabasePath(root)};
  SimAuthorizationAuthority authority{database, nullptr};
  SimAuthorizationServices authorization{authority};
  // The bundle's helper, as the build installs it.
  const std::filesystem::path launchServices = [this] {
    const auto path = root / "Brannic.app" / "Contents" / "Library" / "LaunchServices";
    std::filesystem::create_directories(path);
    std::ofstream(path / kLabel) << "helper";
    return path;
  }();
  // What the launchd stand-in was asked to bless.
  std::vector<std::pair<std::string, std::string>> blessed;
  bool launchdSucceeds = true;
  SimServiceManagement serviceManagement{
      authorization, launchServices.string(),
      [this](const std::string& label, const std::string& executable, std::string* error) {
        blessed.emplace_back(label, executable);
        if (!launchdSucceeds) *error = "cannot copy";
        return launchdSucceeds;
      }};
};

constexpr AuthorizationFlags kBlessFlags =
    kAuthorizationFlagInteractionAllowed | kAuthorizationFlagExtendRights | kAuthorizationFlagPreAuthorize;

struct BlessCase {
  const char* what;
  BlessFailure failure;
  AuthorizationFlags flags;          // how the authorization was made; 0: none at all
  std::string domain;
  std::string label;
  bool launchdSucceeds;
  bool succeeds;
  std::optional<std::int64_t> errorCode;
  bool reachesLaunchd;
};

class BlessOutcomeTest : public SimServiceManagementTest, public ::testing::WithParamInterface<BlessCase> {};

TEST_P(BlessOutcomeTest, Outcome) {
  const auto& test = GetParam();
  serviceManagement.setFailure(test.failure);
  launchdSucceeds = test.launchdSucceeds;
  const AuthorizationRef ref = test.flags ? blessingAuthorization(test.flags) : nullptr;
  std::optional<PlatformError> error;
  EXPECT_EQ(serviceManagement.jobBless(test.domain, test.label, ref, &error), test.succeeds) << test.what;
  if (test.errorCode) {
    ASSERT_TRUE(error) << test.what;
    EXPECT_EQ(*error, serviceManagementError(*test.errorCode)) << test.what;
  } else {
    EXPECT_FALSE(error) << test.what;
  }
  if (test.reachesLaunchd) {
    EXPECT_EQ(blessed, (decltype(blessed){{test.label, (launchServices / test.label).string()}})) << test.what;
  } else {
    EXPECT_TRUE(blessed.empty()) << test.what;
  }
}

const std::string kSystem = kSMDomainSystemLaunchd;

INSTANTIATE_TEST_SUITE_P(
    Outcomes, BlessOutcomeTest,
    ::testing::Values(
        BlessCase{"blessed", BlessFailure::none, kBlessFlags, kSystem, kLabel, true, true, std::nullopt, true},
        BlessCase{"scripted failure without error", BlessFailure::withoutError, kBlessFlags, kSystem, kLabel, true,
                  false, std::nullopt, false},
        BlessCase{"scripted failure with error", BlessFailure::withError, kBlessFlags, kSystem, kLabel, true, false,
                  kSMErrorInternalFailure, false},
        BlessCase{"authorization without the blessing right", BlessFailure::none,
                  kAuthorizationFlagInteractionAllowed, kSystem, kLabel, true, false, kSMErrorAuthorizationFailure,
                  false},
        BlessCase{"no authorization", BlessFailure::none, 0, kSystem, kLabel, true, false,
                  kSMErrorAuthorizationFailure, false},
        BlessCase{"another domain", BlessFailure::none, kBlessFlags, "kSMDomainUserLaunchd", kLabel, true, false,
                  kSMErrorInternalFailure, false},
        BlessCase{"label leaving the folder", BlessFailure::none, kBlessFlags, kSystem, "../../bin/sh", true, false,
                  kSMErrorToolNotValid, false},
        BlessCase{"empty label", BlessFailure::none, kBlessFlags, kSystem, "", true, false, kSMErrorToolNotValid,
                  false},
        BlessCase{"bundle without that helper", BlessFailure::none, kBlessFlags, kSystem, "com.brannic.other", true,
                  false, kSMErrorToolNotValid, false},
        BlessCase{"the stand-in cannot install", BlessFailure::none, kBlessFlags, kSystem, kLabel, false, false,
                  kSMErrorInternalFailure, true}),
    brannic::testing::CaseWhat());

TEST_F(SimServiceManagementTest, ErrorReadsAsThePlatformDescribesIt) {
  const auto error = serviceManagementError(kSMErrorInternalFailure);
  EXPECT_EQ(error.domain, "CFErrorDomainLaunchd");
  EXPECT_EQ(error.code, 2);
  EXPECT_EQ(error.description, "Error Domain=CFErrorDomainLaunchd Code=2 \"(null)\"");
}

TEST_F(SimServiceManagementTest, ScriptedFailureCanBeLifted) {
  const auto ref = blessingAuthorization(kBlessFlags);
  serviceManagement.setFailure(BlessFailure::withoutError);
  EXPECT_FALSE(serviceManagement.jobBless(kSystem, kLabel, ref, nullptr));
  serviceManagement.setFailure(BlessFailure::none);
  EXPECT_TRUE(serviceManagement.jobBless(kSystem, kLabel, ref, nullptr));
  EXPECT_EQ(blessed.size(), 1u);
}

}  // namespace
}  // namespace brannic::sim
