// Authorization services with a rights database in memory, scripted
// results, and a record of every call.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/authorization.h"

namespace brannic::testing {

class FakeAuthorizationServices final : public AuthorizationServices {
 public:
  struct CreateCall {
    std::optional<AuthorizationItemSet> rights;
    bool environmentGiven = false;
    AuthorizationFlags flags = 0;
  };
  struct CreateResult {
    OSStatus status = noErr;
    bool givesReference = true;  // on noErr
  };
  struct RightWrite {
    AuthorizationRef authorization = nullptr;
    std::string name;
    PropertyValue rule;
    std::string description;
  };

  OSStatus authorizationCreate(const AuthorizationItemSet* rights, const AuthorizationItemSet* environment,
                               AuthorizationFlags flags, AuthorizationRef* outAuthorization) override {
    createCalls.push_back(
        CreateCall{rights ? std::optional(*rights) : std::nullopt, environment != nullptr, flags});
    CreateResult result = createResult;
    if (!scriptedCreates.empty()) {
      result = scriptedCreates.front();
      scriptedCreates.pop_front();
    }
    if (result.status == noErr && result.givesReference) *outAuthorization = newReference();
    return result.status;
  }

  // Fills the area with bytes that tell the references apart.
  OSStatus authorizationMakeExternalForm(AuthorizationRef authorization,
                                         AuthorizationExternalForm* outExternalForm) override {
    bool zeroed = true;
    for (auto byte : *outExternalForm) zeroed = zeroed && byte == 0;
    externalFormCalls.push_back({authorization, zeroed});
    if (externalFormStatus != noErr) return externalFormStatus;
    *outExternalForm = externalFormOf(authorization);
    return noErr;
  }

  OSStatus authorizationCreateFromExternalForm(const AuthorizationExternalForm&, AuthorizationRef*) override {
    return errAuthorizationInvalidRef;
  }
  OSStatus authorizationCopyRights(AuthorizationRef, const AuthorizationItemSet&, const AuthorizationItemSet*,
                                   AuthorizationFlags) override {
    return errAuthorizationDenied;
  }
  OSStatus authorizationFree(AuthorizationRef authorization, AuthorizationFlags) override {
    frees.push_back(authorization);
    return noErr;
  }

  OSStatus authorizationRightGet(const std::string& rightName,
                                 std::optional<PropertyValue>* outDefinition) override {
    reads.push_back(rightName);
    if (readStatus != noErr) {
      // A failed read may leave anything behind; the caller must not use it.
      if (outDefinition) *outDefinition = PropertyValue{PropertyDictionary{{"version", 1}}};
      return readStatus;
    }
    const auto found = database.find(rightName);
    if (found == database.end()) return errAuthorizationDenied;
    if (outDefinition) *outDefinition = found->second;
    return noErr;
  }

  // Stores a rule name the way the database does: as a one-element "rule"
  // list.
  OSStatus authorizationRightSet(AuthorizationRef authorization, const std::string& rightName,
                                 const PropertyValue& rule, const std::string& description) override {
    writes.push_back(RightWrite{authorization, rightName, rule, description});
    if (const auto failing = failingWrites.find(rightName); failing != failingWrites.end())
      return failing->second;
    if (const auto* ruleName = rule.get<std::string>()) {
      database[rightName] = PropertyDictionary{{"class", "rule"}, {"rule", PropertyArray{*ruleName}}};
    } else {
      database[rightName] = rule;
    }
    return noErr;
  }

  std::optional<std::string> copyErrorMessageString(OSStatus status) override {
    const auto found = messages.find(status);
    if (found == messages.end()) return std::nullopt;
    return found->second;
  }

  AuthorizationExternalForm externalFormOf(AuthorizationRef authorization) const {
    std::size_t index = 0;
    while (index < references_.size() && references_[index] != authorization) ++index;
    AuthorizationExternalForm form{};
    for (std::size_t i = 0; i < form.size(); ++i) form[i] = static_cast<std::uint8_t>(index * 32 + i + 1);
    return form;
  }
  std::vector<std::uint8_t> externalFormBytesOf(AuthorizationRef authorization) const {
    const auto form = externalFormOf(authorization);
    return std::vector<std::uint8_t>(form.begin(), form.end());
  }
  std::size_t referencesMade() const { return references_.size(); }
  AuthorizationRef reference(std::size_t index) const { return references_.at(index); }

  // Scripted results.
  std::deque<CreateResult> scriptedCreates;  // used first, one per call
  CreateResult createResult;                 // then this one
  OSStatus externalFormStatus = noErr;
  OSStatus readStatus = noErr;
  std::map<std::string, OSStatus> failingWrites;
  std::map<OSStatus, std::string> messages{
      {errAuthorizationDenied, "The authorization was denied."},
      {errAuthorizationCanceled, "The authorization was canceled by the user."},
      {errAuthorizationInternal, "An unrecognized internal error occurred."},
  };

  std::map<std::string, PropertyValue> database;

  // What happened.
  std::vector<CreateCall> createCalls;
  struct ExternalFormCall {
    AuthorizationRef authorization;
    bool areaWasZeroed;
  };
  std::vector<ExternalFormCall> externalFormCalls;
  std::vector<std::string> reads;
  std::vector<RightWrite> writes;
  std::vector<AuthorizationRef> frees;

 private:
  // Stable addresses that stand for references; never dereferenced.
  AuthorizationRef newReference() {
    storage_.push_back(0);
    references_.push_back(reinterpret_cast<AuthorizationRef>(&storage_.back()));
    return references_.back();
  }
  std::deque<int> storage_;
  std::vector<AuthorizationRef> references_;
};

}  // namespace brannic::testing
