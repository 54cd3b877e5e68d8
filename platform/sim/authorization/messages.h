// The system's message texts for authorization statuses
// (SecCopyErrorMessageString).
#pragma once

#include <optional>
#include <string>

#include "platform/authorization.h"

namespace brannic::sim {

// The text the system shows for `status`, or nullopt for a status it has no
// message for.
std::optional<std::string> authorizationStatusMessage(OSStatus status);

}  // namespace brannic::sim
