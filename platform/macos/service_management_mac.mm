#include "platform/macos/service_management_mac.h"

#import <Foundation/Foundation.h>
#import <ServiceManagement/ServiceManagement.h>

#include "platform/macos/authorization_ref_mac.h"
#include "platform/macos/foundation_bridge_mac.h"

namespace brannic::mac {

bool MacServiceManagement::jobBless(const std::string& domain, const std::string& executableLabel,
                                    AuthorizationRef authorization, std::optional<PlatformError>* outError) {
  @autoreleasepool {
    if (domain != brannic::kSMDomainSystemLaunchd) {
      if (outError != nullptr) {
        NSString* reason = [@"Blessing is only possible into the system domain, not "
            stringByAppendingString:toNSString(domain)];
        *outError = toPlatformError([NSError errorWithDomain:NSOSStatusErrorDomain
                                                        code:paramErr
                                                    userInfo:@{NSLocalizedDescriptionKey : reason}]);
      }
      return false;
    }
    CFErrorRef failure = nullptr;
    // SMJobBless is the way to install a privileged helper on every system
    // from macOS 11 on; its successor needs macOS 13.
    const Boolean blessed =
        SMJobBless(::kSMDomainSystemLaunchd, (__bridge CFStringRef)toNSString(executableLabel),
                   toNativeAuthorization(authorization), &failure);
    NSError* error = CFBridgingRelease(failure);
    if (!blessed && error != nil && outError != nullptr) *outError = toPlatformError(error);
    return blessed;
  }
}

}  // namespace brannic::mac
