// The privileged helper's entry point on macOS. launchd starts it on demand
// in the system domain, as root, when a connection reaches its Mach service.
#import <Foundation/Foundation.h>

#include <string>

#include "helper_client/helper_label.h"
#include "helper_tool/helper_service.h"
#include "platform/macos/authorization_mac.h"
#include "platform/macos/foundation_bridge_mac.h"
#include "platform/macos/process_runner_mac.h"
#include "platform/macos/system_log_mac.h"
#include "platform/macos/xpc_listener_mac.h"

namespace {

// The tool's information dictionary is the property list linked into its
// __TEXT,__info_plist section: the same one the application reads from the
// bundle copy and the one the system checks at blessing.
id infoValue(NSString* key) { return [NSBundle.mainBundle objectForInfoDictionaryKey:key]; }

// The clients the system lets bless this helper (SMAuthorizedClients) are
// the only ones it serves. Several requirements are alternatives; none
// leaves the requirement empty, which refuses everyone.
std::string clientRequirement() {
  id clients = infoValue(@"SMAuthorizedClients");
  if (![clients isKindOfClass:[NSArray class]]) return {};
  NSMutableArray<NSString*>* alternatives = [NSMutableArray array];
  for (id client in static_cast<NSArray*>(clients))
    if ([client isKindOfClass:[NSString class]])
      [alternatives addObject:[NSString stringWithFormat:@"(%@)", client]];
  return brannic::mac::toStdString([alternatives componentsJoinedByString:@" or "]);
}

// The answer to a version request is the bundle copy's short version, which
// the application compares it with; the build's version is the same text.
std::string helperVersion() {
  id version = infoValue(@"CFBundleShortVersionString");
  if ([version isKindOfClass:[NSString class]]) return brannic::mac::toStdString(version);
  return std::string(brannic::HelperVersion);
}

}  // namespace

int main() {
  @autoreleasepool {
    // Shared by every connection; all are safe to use from several queues.
    static brannic::mac::MacAuthorizationServices authorization;
    static brannic::mac::MacProcessRunner processes;
    static brannic::mac::MacSystemLog log;
    static brannic::mac::MacXpcListener listener(std::string(brannic::HelperLabel), clientRequirement());
    brannic::serveHelper(listener, authorization, processes, log, helperVersion());
  }
  return 0;
}
