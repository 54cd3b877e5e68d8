#include "platform/sim/authorization/messages.h"

#include <array>
#include <utility>

namespace brannic::sim {

namespace {

constexpr std::array<std::pair<OSStatus, const char*>, 15> kMessages{{
    {errAuthorizationSuccess, "No error."},
    {errAuthorizationInvalidSet, "The authorization rights are invalid."},
    {errAuthorizationInvalidRef, "The authorization reference is invalid."},
    {errAuthorizationInvalidTag, "The authorization tag is invalid."},
    {errAuthorizationInvalidPointer, "The returned authorization is invalid."},
    {errAuthorizationDenied, "The authorization was denied."},
    {errAuthorizationCanceled, "The authorization was canceled by the user."},
    {errAuthorizationInteractionNotAllowed, "The authorization is not allowed to interact with the user."},
    {errAuthorizationInternal, "An unrecognized internal error occurred."},
    {errAuthorizationExternalizeNotAllowed,
     "The authorization is not allowed to be converted to an external format."},
    {errAuthorizationInternalizeNotAllowed,
     "The authorization is not allowed to be created from an external format."},
    {errAuthorizationInvalidFlags, "The provided option flag(s) are invalid for this authorization operation."},
    {errAuthorizationToolExecuteFailure, "The specified program could not be executed."},
    {errAuthorizationToolEnvironmentError, "An invalid status was returned during execution of a privileged tool."},
    {errAuthorizationBadAddress, "The requested socket address is invalid (must be 0-1023 inclusive)."},
}};

}  // namespace

std::optional<std::string> authorizationStatusMessage(OSStatus status) {
  for (const auto& [code, text] : kMessages)
    if (code == status) return std::string(text);
  return std::nullopt;
}

}  // namespace brannic::sim
