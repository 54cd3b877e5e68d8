#include "platform/macos/system_log_mac.h"

#import <Foundation/Foundation.h>

#include "platform/macos/foundation_bridge_mac.h"

namespace brannic::mac {

// The text is an argument, never the format: a '%' in it is printed as is.
void MacSystemLog::log(std::string_view text) { NSLog(@"%@", toNSString(text)); }

}  // namespace brannic::mac
