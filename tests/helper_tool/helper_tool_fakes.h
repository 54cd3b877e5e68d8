// Small fakes of what the helper tool talks to: the application's proxy, the
// tool runner and the helper's two authorization calls.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "helper_client/helper_protocol.h"
#include "platform/authorization.h"
#include "platform/process_runner.h"

namespace brannic {

struct RecordingApp final : AppProtocol {
  void logWithStdOut(std::string text) override { lines.push_back("out: " + text); }
  void logWithStdErr(std::string text) override { lines.push_back("err: " + text); }
  std::vector<std::string> lines;
};

struct ScriptedRunner final : ProcessRunner {
  std::optional<ProcessResult> run(const std::string& executablePath,
                                   const std::vector<std::string>& arguments) override {
    std::string call = executablePath;
    for (const auto& argument : arguments) call += " " + argument;
    calls.push_back(call);
    return result;
  }
  std::optional<ProcessResult> result = ProcessResult{0, "", ""};
  std::vector<std::string> calls;
};

// Only the helper's three calls are used; the rest must not be reached.
// Each reference made from an external form is a new one, as on the system,
// so what is freed can be matched with what was made.
struct ScriptedAuthorization final : AuthorizationServices {
  OSStatus authorizationCreate(const AuthorizationItemSet*, const AuthorizationItemSet*, AuthorizationFlags,
                               AuthorizationRef*) override {
    ADD_FAILURE() << "the helper creates no authorization";
    return errAuthorizationInternal;
  }
  OSStatus authorizationMakeExternalForm(AuthorizationRef, AuthorizationExternalForm*) override {
    ADD_FAILURE() << "the helper makes no external form";
    return errAuthorizationInternal;
  }
  OSStatus authorizationCreateFromExternalForm(const AuthorizationExternalForm& externalForm,
                                               AuthorizationRef* outAuthorization) override {
    receivedForms.push_back(externalForm);
    if (createStatus == errAuthorizationSuccess) {
      references.push_back(std::make_unique<int>(0));
      *outAuthorization = reinterpret_cast<AuthorizationRef>(references.back().get());
      if (!giveReference) *outAuthorization = nullptr;
    }
    return createStatus;
  }
  OSStatus authorizationCopyRights(AuthorizationRef authorization, const AuthorizationItemSet& rights,
                                   const AuthorizationItemSet* environment,
                                   AuthorizationFlags flags) override {
    EXPECT_TRUE(!references.empty() &&
                authorization == reinterpret_cast<AuthorizationRef>(references.back().get()));
    EXPECT_EQ(environment, nullptr);
    for (const auto& right : rights) {
      EXPECT_TRUE(right.value.empty());
      EXPECT_EQ(right.flags, 0u);
      requestedRights.push_back(right.name);
    }
    requestedFlags.push_back(flags);
    return copyStatus;
  }
  OSStatus authorizationFree(AuthorizationRef authorization, AuthorizationFlags flags) override {
    frees.push_back({authorization, flags});
    return errAuthorizationSuccess;
  }
  OSStatus authorizationRightGet(const std::string&, std::optional<PropertyValue>*) override {
    ADD_FAILURE() << "the helper reads no right";
    return errAuthorizationInternal;
  }
  OSStatus authorizationRightSet(AuthorizationRef, const std::string&, const PropertyValue&,
                                 const std::string&) override {
    ADD_FAILURE() << "the helper writes no right";
    return errAuthorizationInternal;
  }
  std::optional<std::string> copyErrorMessageString(OSStatus) override { return std::nullopt; }

  // The references handed out, one per successful create; never dereferenced.
  std::vector<std::unique_ptr<int>> references;
  struct Free {
    AuthorizationRef authorization;
    AuthorizationFlags flags;
  };
  std::vector<Free> frees;

  OSStatus createStatus = errAuthorizationSuccess;
  bool giveReference = true;  // false: a create that succeeds leaves the reference empty
  OSStatus copyStatus = errAuthorizationSuccess;
  std::vector<AuthorizationExternalForm> receivedForms;
  std::vector<std::string> requestedRights;
  std::vector<AuthorizationFlags> requestedFlags;
};

}  // namespace brannic
