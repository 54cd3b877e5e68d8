// The application delegate as AppKit and the runtime see it: the object the
// main interface makes, owning the C++ AppDelegate and exposing exactly its
// runtime-visible members. Objective-C++ only.
#pragma once

#ifndef __OBJC__
#error "app_delegate_mac.h is Objective-C++; include it from .mm files only"
#endif

#import <AppKit/AppKit.h>

#import "platform/macos/helper_protocols_mac.h"
#include "platform/platform.h"

// Outlets forward to the C++ delegate's outlets; helperIsInstalled and
// currentHelperAuthData read and write the C++ delegate's properties and are
// key-value observable (each C++ write is announced to observers, so the
// button bound to helperIsInstalled follows it); the actions forward to the
// C++ operations. Main thread only, except logWithStdOut: and logWithStdErr:,
// which may arrive on any thread.
@interface BRAppDelegate : NSObject <NSApplicationDelegate, AppProtocol>

// REQUIRES: `platform` outlives the delegate.
- (instancetype)initWithPlatform:(brannic::Platform&)platform NS_DESIGNATED_INITIALIZER;
- (instancetype)init NS_UNAVAILABLE;

@property(nonatomic, weak) IBOutlet NSButton* buttonInstallHelper;
@property(nonatomic, weak) IBOutlet NSButton* buttonDestroyCachedAuthorization;
@property(nonatomic, weak) IBOutlet NSButton* buttonRunCommand;
@property(nonatomic, weak) IBOutlet NSTextField* textFieldHelperInstalled;
@property(nonatomic, weak) IBOutlet NSTextField* textFieldAuthorizationCached;
@property(nonatomic, weak) IBOutlet NSTextField* textFieldInput;
@property(nonatomic, strong) IBOutlet NSTextView* textViewOutput;
@property(nonatomic, weak) IBOutlet NSButton* checkboxRequireAuthentication;
@property(nonatomic, weak) IBOutlet NSButton* checkboxCacheAuthentication;

@property(nonatomic) BOOL helperIsInstalled;
@property(nonatomic, strong) NSData* currentHelperAuthData;

- (void)fireTimer;
- (void)didTapOne;
- (void)didTapTwo;
- (void)didTapThree;
- (void)didTapSignout;
- (void)didTapWarning;
- (IBAction)buttonRunCommand:(id)sender;

@end
