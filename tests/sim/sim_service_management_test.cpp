#include "platform/sim/sim_service_management.h"

#include <gtest/gtest.h>

#include "platform/sim/sim_authorization_database.h"
#include "platform/sim/machine_folder.h"
#include "tests/sim/recording_transcript.h"

namespace brannic::sim {
namespace {

constexpr const char* kLabel = "com.brannic.helper";

class SimServiceManagementTest : public ::testing::Test {
 protected:
  // An authorization made as the installation makes it, with the administrator answering `answer`.
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
  std::vector<std::string> installed;
  std::int64_t installResult = 0;
  SimServiceManagement serviceManagement{authorization, [this](const std::string& label) {
                                           installed.push_back(label);
                                           return installResult;
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
  std::int64_t installResult;
  bool blessed;
  std::optional<std::int64_t> errorCode;
  bool installs;
};

class BlessOutcomeTest : public SimServiceManagementTest, public ::testing::WithParamInterface<BlessCase> {};

TEST_P(BlessOutcomeTest, Outcome) {
  const auto& test = GetParam();
  serviceManagement.setFailure(test.failure);
  installResult = test.installResult;
  const AuthorizationRef ref = test.flags ? blessingAuthorization(test.flags) : nullptr;
  std::optional<PlatformError> error;
  EXPECT_EQ(serviceManagement.jobBless(test.domain, test.label, ref, &error), test.blessed) << test.what;
  if (test.errorCode) {
    ASSERT_TRUE(error) << test.what;
    EXPECT_EQ(*error, serviceManagementError(*test.errorCode)) << test.what;
  } else {
    EXPECT_FALSE(error) << test.what;
  }
  EXPECT_EQ(installed.size(), test.installs ? 1u : 0u) << test.what;
}

const std::string kSystem = kSMDomainSystemLaunchd;

INSTANTIATE_TEST_SUITE_P(
    Outcomes, BlessOutcomeTest,
    ::testing::Values(
        BlessCase{"blessed", BlessFailure::none, kBlessFlags, kSystem, kLabel, 0, true, std::nullopt, true},
        BlessCase{"scripted failure without error", BlessFailure::withoutError, kBlessFlags, kSystem, kLabel, 0,
                  false, std::nullopt, false},
        BlessCase{"scripted failure with error", BlessFailure::withError, kBlessFlags, kSystem, kLabel, 0, false,
                  kSMErrorInternalFailure, false},
        BlessCase{"authorization without the blessing right", BlessFailure::none,
                  kAuthorizationFlagInteractionAllowed, kSystem, kLabel, 0, false, kSMErrorAuthorizationFailure,
                  false},
        BlessCase{"no authorization", BlessFailure::none, 0, kSystem, kLabel, 0, false, kSMErrorAuthorizationFailure,
                  false},
        BlessCase{"another domain", BlessFailure::none, kBlessFlags, "kSMDomainUserLaunchd", kLabel, 0, false,
                  kSMErrorInternalFailure, false},
        BlessCase{"label leaving the folder", BlessFailure::none, kBlessFlags, kSystem, "../../bin/sh", 0, false,
                  kSMErrorToolNotValid, false},
        BlessCase{"empty label", BlessFailure::none, kBlessFlags, kSystem, "", 0, false, kSMErrorToolNotValid,
                  false},
        BlessCase{"the stand-in cannot install", BlessFailure::none, kBlessFlags, kSystem, kLabel,
                  kSMErrorToolNotValid, false, kSMErrorToolNotValid, true}));

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
  EXPECT_EQ(installed, std::vector<std::string>{kLabel});
}

}  // namespace
}  // namespace brannic::sim
