#include "platform/macos/platform_mac.h"

namespace brannic::mac {

MacPlatform::MacPlatform()
    : platform_{runLoop_,
                console_,
                systemLog_,
                shell_,
                audioHardware_,
                audioPlayers_,
                bundle_,
                appKit_,
                xpc_,
                authorization_,
                serviceManagement_,
                dynamicLoader_,
                notificationCenter_} {}

}  // namespace brannic::mac
