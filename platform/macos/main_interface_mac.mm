#include "platform/macos/main_interface_mac.h"

#import <AppKit/AppKit.h>

#include "platform/macos/app_delegate_mac.h"

namespace brannic::mac {

namespace {

constexpr CGFloat kWindowWidth = 480;
constexpr CGFloat kWindowHeight = 400;
constexpr CGFloat kMargin = 20;
constexpr CGFloat kRowHeight = 24;
constexpr CGFloat kRowSpacing = 8;

// A row's frame, counted from the top of the content view.
NSRect rowFrame(int row, CGFloat x, CGFloat width) {
  const CGFloat top = kWindowHeight - kMargin - kRowHeight - row * (kRowHeight + kRowSpacing);
  return NSMakeRect(x, top, width, kRowHeight);
}

NSTextField* label(NSString* text, NSRect frame) {
  NSTextField* field = [NSTextField labelWithString:text];
  field.frame = frame;
  return field;
}

NSButton* checkbox(NSString* title, NSRect frame) {
  NSButton* button = [NSButton checkboxWithTitle:title target:nil action:nil];
  button.frame = frame;
  button.state = NSControlStateValueOff;
  return button;
}

NSButton* pushButton(NSString* title, NSRect frame, id target, SEL action) {
  NSButton* button = [NSButton buttonWithTitle:title target:target action:action];
  button.frame = frame;
  return button;
}

NSScrollView* outputLog(NSRect frame, NSTextView* __strong* outTextView) {
  NSScrollView* scrollView = [[NSScrollView alloc] initWithFrame:frame];
  scrollView.hasVerticalScroller = YES;
  scrollView.borderType = NSBezelBorder;
  scrollView.autoresizingMask = NSViewWidthSizable | NSViewHeightSizable;
  const NSSize size = scrollView.contentSize;
  NSTextView* textView = [[NSTextView alloc] initWithFrame:NSMakeRect(0, 0, size.width, size.height)];
  textView.minSize = NSMakeSize(0, size.height);
  textView.maxSize = NSMakeSize(CGFLOAT_MAX, CGFLOAT_MAX);
  textView.verticallyResizable = YES;
  textView.horizontallyResizable = NO;
  textView.autoresizingMask = NSViewWidthSizable;
  textView.textContainer.containerSize = NSMakeSize(size.width, CGFLOAT_MAX);
  textView.textContainer.widthTracksTextView = YES;
  textView.editable = NO;
  scrollView.documentView = textView;
  *outTextView = textView;
  return scrollView;
}

}  // namespace

void loadMainInterface(Platform& platform) {
  // The interface's top-level objects, kept as the application keeps those
  // of its main interface file: the application's delegate reference is weak.
  static BRAppDelegate* delegate = nil;
  static NSWindow* window = nil;
  if (delegate != nil) return;

  delegate = [[BRAppDelegate alloc] initWithPlatform:platform];
  window = [[NSWindow alloc] initWithContentRect:NSMakeRect(0, 0, kWindowWidth, kWindowHeight)
                                       styleMask:NSWindowStyleMaskTitled | NSWindowStyleMaskClosable |
                                                 NSWindowStyleMaskMiniaturizable
                                         backing:NSBackingStoreBuffered
                                           defer:NO];
  window.title = @"Brannic";
  window.releasedWhenClosed = NO;
  NSView* content = window.contentView;

  const CGFloat fullWidth = kWindowWidth - 2 * kMargin;
  const CGFloat labelWidth = 170;
  const CGFloat valueX = kMargin + labelWidth;
  const CGFloat buttonWidth = 220;
  const CGFloat buttonX = kWindowWidth - kMargin - buttonWidth;

  [content addSubview:label(@"Helper installed:", rowFrame(0, kMargin, labelWidth))];
  NSTextField* helperInstalled = label(@"No", rowFrame(0, valueX, 60));
  NSButton* installHelper = pushButton(@"Install Helper", rowFrame(0, buttonX, buttonWidth), nil, nullptr);

  NSButton* requireAuthentication = checkbox(@"Require authentication", rowFrame(1, kMargin, fullWidth / 2));
  NSButton* cacheAuthentication =
      checkbox(@"Cache authentication", rowFrame(1, kMargin + fullWidth / 2, fullWidth / 2));

  [content addSubview:label(@"Authorization cached:", rowFrame(2, kMargin, labelWidth))];
  NSTextField* authorizationCached = label(@"No", rowFrame(2, valueX, 60));
  // The delegate defines no action for this button; it is enabled while
  // authorization data is cached.
  NSButton* destroyCachedAuthorization =
      pushButton(@"Destroy Cached Authorization", rowFrame(2, buttonX, buttonWidth), nil, nullptr);
  destroyCachedAuthorization.enabled = NO;

  NSTextField* input = [NSTextField textFieldWithString:@""];
  input.frame = rowFrame(3, kMargin, fullWidth - buttonWidth - kRowSpacing);
  input.placeholderString = @"Argument for the helper";
  NSButton* runCommand =
      pushButton(@"Run Command", rowFrame(3, buttonX, buttonWidth), delegate, @selector(buttonRunCommand:));

  NSTextView* textView = nil;
  const CGFloat logTop = NSMinY(rowFrame(3, 0, 0)) - kRowSpacing;
  NSScrollView* log = outputLog(NSMakeRect(kMargin, kMargin, fullWidth, logTop - kMargin), &textView);

  for (NSView* view in @[
         helperInstalled, installHelper, requireAuthentication, cacheAuthentication, authorizationCached,
         destroyCachedAuthorization, input, runCommand, log
       ])
    [content addSubview:view];

  delegate.buttonInstallHelper = installHelper;
  delegate.buttonDestroyCachedAuthorization = destroyCachedAuthorization;
  delegate.buttonRunCommand = runCommand;
  delegate.textFieldHelperInstalled = helperInstalled;
  delegate.textFieldAuthorizationCached = authorizationCached;
  delegate.textFieldInput = input;
  delegate.textViewOutput = textView;
  delegate.checkboxRequireAuthentication = requireAuthentication;
  delegate.checkboxCacheAuthentication = cacheAuthentication;

  [delegate awakeFromNib];
  NSApp.delegate = delegate;
  [window center];
  [window makeKeyAndOrderFront:nil];
}

}  // namespace brannic::mac
