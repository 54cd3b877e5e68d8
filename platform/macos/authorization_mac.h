// Authorization services of the Security framework, for the application and
// for the helper.
#pragma once

#include "platform/authorization.h"

namespace brannic::mac {

class MacAuthorizationServices final : public AuthorizationServices {
 public:
  OSStatus authorizationCreate(const AuthorizationItemSet* rights, const AuthorizationItemSet* environment,
                               AuthorizationFlags flags, AuthorizationRef* outAuthorization) override;
  OSStatus authorizationMakeExternalForm(AuthorizationRef authorization,
                                         AuthorizationExternalForm* outExternalForm) override;
  OSStatus authorizationCreateFromExternalForm(const AuthorizationExternalForm& externalForm,
                                               AuthorizationRef* outAuthorization) override;
  OSStatus authorizationFree(AuthorizationRef authorization, AuthorizationFlags flags) override;
  OSStatus authorizationCopyRights(AuthorizationRef authorization, const AuthorizationItemSet& rights,
                                   const AuthorizationItemSet* environment,
                                   AuthorizationFlags flags) override;
  OSStatus authorizationRightGet(const std::string& rightName,
                                 std::optional<PropertyValue>* outDefinition) override;
  OSStatus authorizationRightSet(AuthorizationRef authorization, const std::string& rightName,
                                 const PropertyValue& rule, const std::string& description) override;
  std::optional<std::string> copyErrorMessageString(OSStatus status) override;
};

}  // namespace brannic::mac
