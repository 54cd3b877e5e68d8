// Authorization services (Security framework).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/audio_hardware.h"  // OSStatus, noErr
#include "platform/property_list.h"

namespace brannic {

struct AuthorizationOpaqueRef;
using AuthorizationRef = AuthorizationOpaqueRef*;
using AuthorizationFlags = std::uint32_t;

inline constexpr AuthorizationFlags kAuthorizationFlagDefaults = 0;
inline constexpr AuthorizationFlags kAuthorizationFlagInteractionAllowed = 1 << 0;
inline constexpr AuthorizationFlags kAuthorizationFlagExtendRights = 1 << 1;
inline constexpr AuthorizationFlags kAuthorizationFlagPartialRights = 1 << 2;
inline constexpr AuthorizationFlags kAuthorizationFlagDestroyRights = 1 << 3;
inline constexpr AuthorizationFlags kAuthorizationFlagPreAuthorize = 1 << 4;

inline constexpr OSStatus errAuthorizationSuccess = 0;
inline constexpr OSStatus errAuthorizationInvalidSet = -60001;
inline constexpr OSStatus errAuthorizationInvalidRef = -60002;
inline constexpr OSStatus errAuthorizationInvalidTag = -60003;
inline constexpr OSStatus errAuthorizationInvalidPointer = -60004;
inline constexpr OSStatus errAuthorizationDenied = -60005;
inline constexpr OSStatus errAuthorizationCanceled = -60006;
inline constexpr OSStatus errAuthorizationInteractionNotAllowed = -60007;
inline constexpr OSStatus errAuthorizationInternal = -60008;
inline constexpr OSStatus errAuthorizationExternalizeNotAllowed = -60009;
inline constexpr OSStatus errAuthorizationInternalizeNotAllowed = -60010;
inline constexpr OSStatus errAuthorizationInvalidFlags = -60011;
inline constexpr OSStatus errAuthorizationToolExecuteFailure = -60031;
inline constexpr OSStatus errAuthorizationToolEnvironmentError = -60032;
inline constexpr OSStatus errAuthorizationBadAddress = -60033;

// AuthorizationItem: a right or environment item. `value` is empty for a
// right with value length 0.
struct AuthorizationItem {
  std::string name;
  std::vector<std::uint8_t> value;
  std::uint32_t flags = 0;
};
using AuthorizationItemSet = std::vector<AuthorizationItem>;

// The Security framework's header defines this name as a macro of the same
// value; code that includes both then uses the macro.
#ifndef kAuthorizationExternalFormLength
inline constexpr std::size_t kAuthorizationExternalFormLength = 32;
#endif
using AuthorizationExternalForm = std::array<std::uint8_t, kAuthorizationExternalFormLength>;

class AuthorizationServices {
 public:
  virtual ~AuthorizationServices() = default;

  // AuthorizationCreate. Null `rights` or `environment` pass none.
  virtual OSStatus authorizationCreate(const AuthorizationItemSet* rights,
                                       const AuthorizationItemSet* environment, AuthorizationFlags flags,
                                       AuthorizationRef* outAuthorization) = 0;
  // AuthorizationMakeExternalForm.
  virtual OSStatus authorizationMakeExternalForm(AuthorizationRef authorization,
                                                 AuthorizationExternalForm* outExternalForm) = 0;
  // AuthorizationCreateFromExternalForm (the helper's side).
  virtual OSStatus authorizationCreateFromExternalForm(const AuthorizationExternalForm& externalForm,
                                                       AuthorizationRef* outAuthorization) = 0;
  // AuthorizationFree. Releases `authorization`, which must not be used
  // again; with kAuthorizationFlagDestroyRights its rights are destroyed
  // too. errAuthorizationInvalidRef for null or a reference already freed.
  virtual OSStatus authorizationFree(AuthorizationRef authorization, AuthorizationFlags flags) = 0;
  // AuthorizationCopyRights (the helper's side); the granted rights are not
  // returned.
  virtual OSStatus authorizationCopyRights(AuthorizationRef authorization, const AuthorizationItemSet& rights,
                                           const AuthorizationItemSet* environment,
                                           AuthorizationFlags flags) = 0;
  // AuthorizationRightGet. On noErr, *outDefinition holds the stored
  // definition (when outDefinition is given).
  virtual OSStatus authorizationRightGet(const std::string& rightName,
                                         std::optional<PropertyValue>* outDefinition) = 0;
  // AuthorizationRightSet with no bundle and no localisation table. `rule`
  // is a dictionary or a string.
  virtual OSStatus authorizationRightSet(AuthorizationRef authorization, const std::string& rightName,
                                         const PropertyValue& rule, const std::string& description) = 0;
  // SecCopyErrorMessageString(status, NULL): the system's message, or nullopt.
  virtual std::optional<std::string> copyErrorMessageString(OSStatus status) = 0;
};

}  // namespace brannic
