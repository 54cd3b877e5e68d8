// Values the authorization tests share: the application's right, the flags
// it asks with, and recognisable external forms.
#pragma once

#include <cstdint>

#include "platform/authorization.h"

namespace brannic::testing {

inline constexpr const char* kAppRight = "com.brannic.helper.runCommandLsWithPath:authData:completion:";
inline constexpr AuthorizationFlags kInteractiveExtend =
    kAuthorizationFlagInteractionAllowed | kAuthorizationFlagExtendRights;

inline AuthorizationExternalForm formFilledWith(std::uint8_t byte) {
  AuthorizationExternalForm form;
  form.fill(byte);
  return form;
}

}  // namespace brannic::testing
