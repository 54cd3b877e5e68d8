// One NSXPCConnection behind the connection port, for the code that is handed
// system connections (the helper's listener). Objective-C++ only.
#pragma once

#ifndef __OBJC__
#error "xpc_connection_mac.h is Objective-C++; include it from .mm files only"
#endif

#import <Foundation/Foundation.h>

#include <memory>

#include "platform/xpc.h"

namespace brannic::mac {

// Exported objects answer through their XpcExportedObject; remote proxies
// send only what the remote interface declares, with arguments of the
// declared classes, and end anything else in their error handler.
std::shared_ptr<XpcConnection> wrapXpcConnection(NSXPCConnection* connection);

}  // namespace brannic::mac
