// The two interfaces between the application and its helper, as the
// Objective-C protocols that NSXPCInterface is made from. Both ends declare
// them identically; the C++ declaration (helper_client/helper_protocol.h)
// names the same selectors, argument classes and type encodings, and the
// tests hold the two together. Objective-C only.
#pragma once

#import <Foundation/Foundation.h>

// Exported by the helper.
@protocol HelperProtocol
- (void)getVersionWithCompletion:(void (^)(NSString* version))completion;
- (void)runCommandLsWithPath:(NSString*)path completion:(void (^)(NSNumber* exitCode))completion;
- (void)runCommandLsWithPath:(NSString*)path
                    authData:(NSData*)authData
                  completion:(void (^)(NSNumber* exitCode))completion;
@end

// Exported by the application, so the helper can send text back.
@protocol AppProtocol
- (void)logWithStdOut:(NSString*)text;
- (void)logWithStdErr:(NSString*)text;
@end
