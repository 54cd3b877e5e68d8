// The simulated authority as the application reaches it (in-process).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>

#include "platform/service_management.h"
#include "platform/sim/machine/machine_folder.h"
#include "platform/sim/authorization/authority.h"
#include "platform/sim/authorization/database.h"
#include "platform/sim/authorization/messages.h"
#include "platform/sim/authorization/services.h"
#include "tests/support/case_name.h"
#include "tests/sim/recording_transcript.h"
#include "tests/sim/authorization/authorization_test_values.h"

namespace brannic::sim {
namespace {

using testing::kAppRight;
using testing::kInteractiveExtend;

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr AuthorizationFlags kBlessFlags = kInteractiveExtend | kAuthorizationFlagPreAuthorize;

const PropertyDictionary kAppRule{{"class", "user"}, {"group", "admin"}, {"version", 1}};

AuthorizationItemSet rightsNamed(std::initializer_list<const char*> names) {
  AuthorizationItemSet rights;
  for (const char* name : names) rights.push_back({name, {}, 0});
  return rights;
}

std::string promptLine(const std::string& right, const char* answer) {
  return "auth: prompt " + right + " -> " + answer;
}

class SimAuthorizationTest : public ::testing::Test {
 protected:
  AuthorizationRef create(const AuthorizationItemSet* rights = nullptr, AuthorizationFlags flags = 0) {
    AuthorizationRef ref = nullptr;
    EXPECT_EQ(services.authorizationCreate(rights, nullptr, flags, &ref), errAuthorizationSuccess);
    EXPECT_NE(ref, nullptr);
    return ref;
  }
  void storeAppRight(PropertyDictionary rule = kAppRule) { ASSERT_TRUE(database.store(kAppRight, rule)); }

  MachineFolder folder{std::nullopt};
  const std::filesystem::path root{folder.path()};
  testing::RecordingTranscript recorded;
  SimAuthorizationDatabase database{authorizationDatabasePath(root)};
  SimAuthorizationAuthority authority{database, &recorded.transcript()};
  SimAuthorizationServices services{authority};
};

TEST_F(SimAuthorizationTest, CreateWithoutRightsNeverPrompts) {
  for (const AuthorizationFlags flags : {kAuthorizationFlagDefaults, kBlessFlags}) {
    const auto ref = create(nullptr, flags);
    AuthorizationExternalForm form{};
    EXPECT_EQ(services.authorizationMakeExternalForm(ref, &form), errAuthorizationSuccess);
    EXPECT_NE(form, AuthorizationExternalForm{}) << "a session is never named by zero bytes";
  }
  const AuthorizationItemSet none;
  create(&none, kBlessFlags);
  EXPECT_THAT(recorded.take(), IsEmpty());
}

struct PromptCase {
  AdminAnswer answer;
  OSStatus status;
  const char* shown;
};

class BlessingPromptTest : public SimAuthorizationTest, public ::testing::WithParamInterface<PromptCase> {};

TEST_P(BlessingPromptTest, AdministratorAnswersThePromptOfPreAuthorization) {
  authority.setAdminAnswer(GetParam().answer);
  const auto rights = rightsNamed({kSMRightBlessPrivilegedHelper});
  AuthorizationRef ref = nullptr;
  EXPECT_EQ(services.authorizationCreate(&rights, nullptr, kBlessFlags, &ref), GetParam().status);
  EXPECT_EQ(ref != nullptr, GetParam().status == errAuthorizationSuccess);
  EXPECT_EQ(services.holdsRight(ref, kSMRightBlessPrivilegedHelper), GetParam().status == errAuthorizationSuccess);
  EXPECT_THAT(recorded.take(), ElementsAre(promptLine(kSMRightBlessPrivilegedHelper, GetParam().shown)));
}

INSTANTIATE_TEST_SUITE_P(Answers, BlessingPromptTest,
                         ::testing::Values(PromptCase{AdminAnswer::allow, errAuthorizationSuccess, "allow"},
                                           PromptCase{AdminAnswer::deny, errAuthorizationDenied, "deny"},
                                           PromptCase{AdminAnswer::cancel, errAuthorizationCanceled, "cancel"}),
                         [](const auto& instance) { return brannic::testing::camelCaseName(instance.param.shown); });

TEST_F(SimAuthorizationTest, CreateObtainsRightsOnlyWhenAskedToExtend) {
  const auto rights = rightsNamed({kSMRightBlessPrivilegedHelper});
  const auto ref = create(&rights, kAuthorizationFlagInteractionAllowed | kAuthorizationFlagPreAuthorize);
  EXPECT_FALSE(services.holdsRight(ref, kSMRightBlessPrivilegedHelper));
  EXPECT_THAT(recorded.take(), IsEmpty());
}

struct CopyFlagsCase {
  const char* what;
  AuthorizationFlags flags;
  OSStatus status;
  bool prompts;
};

class CopyRightsFlagsTest : public SimAuthorizationTest, public ::testing::WithParamInterface<CopyFlagsCase> {};

TEST_P(CopyRightsFlagsTest, RightThatNeedsTheAdministrator) {
  storeAppRight();
  const auto ref = create();
  const auto rights = rightsNamed({kAppRight});
  EXPECT_EQ(services.authorizationCopyRights(ref, rights, nullptr, GetParam().flags), GetParam().status)
      << GetParam().what;
  EXPECT_EQ(recorded.take().size(), GetParam().prompts ? 1u : 0u) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    Flags, CopyRightsFlagsTest,
    ::testing::Values(CopyFlagsCase{"no flags: only rights already held", 0, errAuthorizationDenied, false},
                      CopyFlagsCase{"interaction without extending", kAuthorizationFlagInteractionAllowed,
                                    errAuthorizationDenied, false},
                      CopyFlagsCase{"extending without interaction", kAuthorizationFlagExtendRights,
                                    errAuthorizationInteractionNotAllowed, false},
                      CopyFlagsCase{"interaction and extending", kInteractiveExtend, errAuthorizationSuccess, true},
                      CopyFlagsCase{"an undefined flag", kInteractiveExtend | (1u << 9), errAuthorizationInvalidFlags,
                                    false}),
    brannic::testing::CaseWhat());

TEST_F(SimAuthorizationTest, ObtainedRightStaysWithItsAuthorizationOnly) {
  storeAppRight();
  const auto rights = rightsNamed({kAppRight});
  const auto first = create();
  EXPECT_EQ(services.authorizationCopyRights(first, rights, nullptr, kInteractiveExtend), errAuthorizationSuccess);
  EXPECT_EQ(services.authorizationCopyRights(first, rights, nullptr, kAuthorizationFlagDefaults),
            errAuthorizationSuccess)
      << "a held right needs neither extending nor a prompt";
  const auto second = create();
  EXPECT_EQ(services.authorizationCopyRights(second, rights, nullptr, kInteractiveExtend), errAuthorizationSuccess);
  EXPECT_THAT(recorded.take(), ElementsAre(promptLine(kAppRight, "allow"), promptLine(kAppRight, "allow")));
}

TEST_F(SimAuthorizationTest, RefusedRightIsAskedForAgain) {
  storeAppRight();
  const auto rights = rightsNamed({kAppRight});
  const auto ref = create();
  authority.setAdminAnswer(AdminAnswer::deny);
  EXPECT_EQ(services.authorizationCopyRights(ref, rights, nullptr, kInteractiveExtend), errAuthorizationDenied);
  authority.setAdminAnswer(AdminAnswer::allow);
  EXPECT_EQ(services.authorizationCopyRights(ref, rights, nullptr, kInteractiveExtend), errAuthorizationSuccess);
  EXPECT_THAT(recorded.take(), ElementsAre(promptLine(kAppRight, "deny"), promptLine(kAppRight, "allow")));
}

TEST_F(SimAuthorizationTest, PartialRightsSkipTheRefusedOnes) {
  ASSERT_TRUE(database.store("open", PropertyDictionary{{"class", "allow"}}));
  ASSERT_TRUE(database.store("closed", PropertyDictionary{{"class", "deny"}}));
  const auto ref = create();
  const auto both = rightsNamed({"open", "closed"});
  EXPECT_EQ(services.authorizationCopyRights(ref, both, nullptr, kInteractiveExtend), errAuthorizationDenied);
  EXPECT_EQ(services.authorizationCopyRights(ref, both, nullptr, kInteractiveExtend | kAuthorizationFlagPartialRights),
            errAuthorizationSuccess);
}

TEST_F(SimAuthorizationTest, CredentialCoversOtherAdministratorRightsButNotARefusingRule) {
  storeAppRight();
  const auto bless = rightsNamed({kSMRightBlessPrivilegedHelper});
  const auto ref = create(&bless, kBlessFlags);
  const auto appRight = rightsNamed({kAppRight});
  EXPECT_EQ(services.authorizationCopyRights(ref, appRight, nullptr, kAuthorizationFlagDefaults),
            errAuthorizationSuccess)
      << "the administrator authenticated in this authorization already";
  EXPECT_TRUE(services.holdsRight(ref, kAppRight));

  storeAppRight(PropertyDictionary{{"class", "deny"}});
  EXPECT_EQ(services.authorizationCopyRights(ref, appRight, nullptr, kInteractiveExtend), errAuthorizationDenied);
  EXPECT_FALSE(services.holdsRight(ref, kAppRight));
  EXPECT_THAT(recorded.take(), ElementsAre(promptLine(kSMRightBlessPrivilegedHelper, "allow")));
}

TEST_F(SimAuthorizationTest, CancelEndsEvenAPartialRequest) {
  storeAppRight();
  authority.setAdminAnswer(AdminAnswer::cancel);
  const auto ref = create();
  EXPECT_EQ(services.authorizationCopyRights(ref, rightsNamed({kAppRight}), nullptr,
                                             kInteractiveExtend | kAuthorizationFlagPartialRights),
            errAuthorizationCanceled);
}

TEST_F(SimAuthorizationTest, RightWithoutANameIsAnInvalidSet) {
  const auto ref = create();
  EXPECT_EQ(services.authorizationCopyRights(ref, rightsNamed({""}), nullptr, kInteractiveExtend),
            errAuthorizationInvalidSet);
}

TEST_F(SimAuthorizationTest, ExternalFormRoundTripAndForeignForms) {
  const auto ref = create();
  AuthorizationExternalForm form{};
  ASSERT_EQ(services.authorizationMakeExternalForm(ref, &form), errAuthorizationSuccess);
  AuthorizationRef internalized = nullptr;
  ASSERT_EQ(services.authorizationCreateFromExternalForm(form, &internalized), errAuthorizationSuccess);
  EXPECT_EQ(internalized, ref) << "one session, one reference";

  auto garbled = form;
  garbled[17] ^= 0x40;
  for (const auto& foreign : {garbled, AuthorizationExternalForm{}}) {
    AuthorizationRef none = reinterpret_cast<AuthorizationRef>(&form);
    EXPECT_EQ(services.authorizationCreateFromExternalForm(foreign, &none), errAuthorizationInvalidRef);
    EXPECT_EQ(none, nullptr);
  }
  AuthorizationExternalForm untouched{};
  for (const auto foreignRef : {AuthorizationRef{nullptr}, reinterpret_cast<AuthorizationRef>(&form)}) {
    EXPECT_EQ(services.authorizationMakeExternalForm(foreignRef, &untouched), errAuthorizationInvalidRef);
    EXPECT_EQ(services.authorizationCopyRights(foreignRef, {}, nullptr, 0), errAuthorizationInvalidRef);
  }
  EXPECT_EQ(untouched, AuthorizationExternalForm{});
}

TEST_F(SimAuthorizationTest, RightGetAnswersDeniedForAMissingRight) {
  std::optional<PropertyValue> definition;
  EXPECT_EQ(services.authorizationRightGet(kAppRight, &definition), errAuthorizationDenied);
  EXPECT_FALSE(definition.has_value());
}

TEST_F(SimAuthorizationTest, RightSetStoresTheRuleWithItsPromptAndSaysSo) {
  const auto ref = create();
  ASSERT_EQ(services.authorizationRightSet(ref, kAppRight, kAppRule, "Helper prompt"), errAuthorizationSuccess);
  ASSERT_EQ(services.authorizationRightSet(ref, "delegating", "authenticate-admin", ""), errAuthorizationSuccess);
  EXPECT_THAT(recorded.take(),
              ElementsAre(std::string("auth: right written ") + kAppRight, "auth: right written delegating"));

  auto expected = kAppRule;
  expected["default-prompt"] = PropertyDictionary{{"", "Helper prompt"}};
  std::optional<PropertyValue> definition;
  ASSERT_EQ(services.authorizationRightGet(kAppRight, &definition), errAuthorizationSuccess);
  EXPECT_EQ(definition, PropertyValue(expected));
  ASSERT_EQ(services.authorizationRightGet("delegating", &definition), errAuthorizationSuccess);
  EXPECT_EQ(definition, PropertyValue(PropertyDictionary{{"class", "rule"}, {"rule", PropertyArray{"authenticate-admin"}}}));

  SimAuthorizationDatabase reopened(database.path());
  EXPECT_EQ(reopened.definition(kAppRight), PropertyValue(expected)) << "written through to the machine's file";
}

TEST_F(SimAuthorizationTest, RightSetRefusesWhatCannotBeARule) {
  const auto ref = create();
  EXPECT_EQ(services.authorizationRightSet(ref, kAppRight, 1, ""), errAuthorizationInvalidSet);
  EXPECT_EQ(services.authorizationRightSet(ref, kAppRight, "", ""), errAuthorizationInvalidSet);
  EXPECT_EQ(services.authorizationRightSet(ref, "", kAppRule, ""), errAuthorizationInvalidSet);
  EXPECT_EQ(services.authorizationRightSet(nullptr, kAppRight, kAppRule, ""), errAuthorizationInvalidRef);
  EXPECT_FALSE(database.definition(kAppRight).has_value());
  EXPECT_THAT(recorded.take(), IsEmpty());
}

TEST_F(SimAuthorizationTest, ScriptedFailuresAndRecovery) {
  int sentinel = 0;
  for (const OSStatus status : {errAuthorizationCanceled, errAuthorizationSuccess}) {
    services.setCreateFailure(status);
    AuthorizationRef ref = reinterpret_cast<AuthorizationRef>(&sentinel);
    EXPECT_EQ(services.authorizationCreate(nullptr, nullptr, 0, &ref), status);
    EXPECT_EQ(ref, nullptr) << "no reference, also when the failure claims success";
  }
  services.setCreateFailure(std::nullopt);
  const auto ref = create();

  services.setExternalFormFailure(errAuthorizationExternalizeNotAllowed);
  AuthorizationExternalForm form{};
  EXPECT_EQ(services.authorizationMakeExternalForm(ref, &form), errAuthorizationExternalizeNotAllowed);
  EXPECT_EQ(form, AuthorizationExternalForm{});
  services.setExternalFormFailure(std::nullopt);
  EXPECT_EQ(services.authorizationMakeExternalForm(ref, &form), errAuthorizationSuccess);

  services.setRightReadsFail(true);
  services.setRightWritesFail(true);
  std::optional<PropertyValue> definition;
  EXPECT_EQ(services.authorizationRightGet("allow", &definition), errAuthorizationInternal);
  EXPECT_EQ(services.authorizationRightSet(ref, kAppRight, kAppRule, ""), errAuthorizationInternal);
  EXPECT_FALSE(database.definition(kAppRight).has_value());
  services.setRightReadsFail(false);
  services.setRightWritesFail(false);
  EXPECT_EQ(services.authorizationRightGet("allow", &definition), errAuthorizationSuccess);
  EXPECT_EQ(services.authorizationRightSet(ref, kAppRight, kAppRule, ""), errAuthorizationSuccess);
}

TEST(SimAuthorizationMessagesTest, SystemTextsForAuthorizationStatuses) {
  const std::pair<OSStatus, std::optional<std::string>> cases[] = {
      {errAuthorizationInvalidSet, "The authorization rights are invalid."},
      {errAuthorizationInvalidRef, "The authorization reference is invalid."},
      {errAuthorizationDenied, "The authorization was denied."},
      {errAuthorizationCanceled, "The authorization was canceled by the user."},
      {errAuthorizationInteractionNotAllowed, "The authorization is not allowed to interact with the user."},
      {errAuthorizationInternal, "An unrecognized internal error occurred."},
      {-60000, std::nullopt},
      {1, std::nullopt},
      {0x77686F3F, std::nullopt},
  };
  for (const auto& [status, text] : cases) EXPECT_EQ(authorizationStatusMessage(status), text) << status;
}

TEST(SimAuthorizationDatabaseTest, FreshMachineHasTheBuiltInRules) {
  MachineFolder folder{std::nullopt};
  const std::filesystem::path root{folder.path()};
  SimAuthorizationDatabase database(authorizationDatabasePath(root));
  EXPECT_TRUE(database.definition(kSMRightBlessPrivilegedHelper).has_value());
  EXPECT_TRUE(database.definition("authenticate-admin").has_value());
  EXPECT_TRUE(std::filesystem::exists(database.path()));
}

TEST(SimAuthorizationDatabaseTest, UnusableFileIsReportedNotGuessedAt) {
  for (const char* contents : {"not a property list", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                                      "<plist version=\"1.0\"><string>x</string></plist>\n"}) {
    MachineFolder folder{std::nullopt};
  const std::filesystem::path root{folder.path()};
    const auto path = authorizationDatabasePath(root);
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path) << contents;
    try {
      SimAuthorizationDatabase database(path);
      ADD_FAILURE() << "opened " << contents;
    } catch (const std::runtime_error& error) {
      EXPECT_NE(std::string(error.what()).find(path.string()), std::string::npos) << error.what();
    }
  }
}

}  // namespace
}  // namespace brannic::sim
