#include "platform/macos/app_delegate_mac.h"

#include <memory>

#include "app/app_delegate.h"
#include "platform/macos/controls_mac.h"
#include "platform/macos/foundation_bridge_mac.h"
#include "platform/macos/key_value_bridge_mac.h"

namespace {

NSString* const kHelperIsInstalledKey = @"helperIsInstalled";
NSString* const kCurrentHelperAuthDataKey = @"currentHelperAuthData";

// Connects one outlet: the wrapper replaces the previous one and the C++
// outlet points at it (null for a nil view).
template <typename Port>
void connectOutlet(std::unique_ptr<Port>& wrapper, Port*& outlet, std::unique_ptr<Port> replacement) {
  outlet = replacement.get();
  wrapper = std::move(replacement);
}

// The wrappers the C++ outlets point at; they live as long as the delegate.
struct OutletControls {
  std::unique_ptr<brannic::Button> buttonInstallHelper;
  std::unique_ptr<brannic::Button> buttonDestroyCachedAuthorization;
  std::unique_ptr<brannic::Button> buttonRunCommand;
  std::unique_ptr<brannic::TextField> textFieldHelperInstalled;
  std::unique_ptr<brannic::TextField> textFieldAuthorizationCached;
  std::unique_ptr<brannic::TextField> textFieldInput;
  std::unique_ptr<brannic::TextView> textViewOutput;
  std::unique_ptr<brannic::Button> checkboxRequireAuthentication;
  std::unique_ptr<brannic::Button> checkboxCacheAuthentication;
};

}  // namespace

@implementation BRAppDelegate {
  // Declared before _delegate so that it is destroyed after it: the C++
  // delegate may touch its outlets until it is gone.
  OutletControls _controls;
  std::unique_ptr<brannic::AppDelegate> _delegate;
}

- (instancetype)initWithPlatform:(brannic::Platform&)platform {
  if ((self = [super init])) {
    _delegate = std::make_unique<brannic::AppDelegate>(platform);
    brannic::mac::registerKeyValueObject(*_delegate, self);
    // Every write of the two properties, whoever makes it, reaches the
    // observers of this object. The values have changed already when the
    // C++ delegate reports them, so observers asking for the old value get
    // the new one; bindings only read the new value.
    __weak BRAppDelegate* weakSelf = self;
    for (NSString* key in @[ kHelperIsInstalledKey, kCurrentHelperAuthDataKey ]) {
      _delegate->addObserverForKey(brannic::mac::toStdString(key), [weakSelf, key](const brannic::KeyValue&) {
        BRAppDelegate* delegate = weakSelf;
        [delegate willChangeValueForKey:key];
        [delegate didChangeValueForKey:key];
      });
    }
  }
  return self;
}

// The two properties announce their changes themselves (above).
+ (BOOL)automaticallyNotifiesObserversForKey:(NSString*)key {
  if ([key isEqualToString:kHelperIsInstalledKey] || [key isEqualToString:kCurrentHelperAuthDataKey])
    return NO;
  return [super automaticallyNotifiesObserversForKey:key];
}

#pragma mark Outlets

- (void)setButtonInstallHelper:(NSButton*)button {
  _buttonInstallHelper = button;
  connectOutlet(_controls.buttonInstallHelper, _delegate->buttonInstallHelper,
                brannic::mac::makeButton(button));
}

- (void)setButtonDestroyCachedAuthorization:(NSButton*)button {
  _buttonDestroyCachedAuthorization = button;
  connectOutlet(_controls.buttonDestroyCachedAuthorization, _delegate->buttonDestroyCachedAuthorization,
                brannic::mac::makeButton(button));
}

- (void)setButtonRunCommand:(NSButton*)button {
  _buttonRunCommand = button;
  connectOutlet(_controls.buttonRunCommand, _delegate->buttonRunCommand, brannic::mac::makeButton(button));
}

- (void)setTextFieldHelperInstalled:(NSTextField*)textField {
  _textFieldHelperInstalled = textField;
  connectOutlet(_controls.textFieldHelperInstalled, _delegate->textFieldHelperInstalled,
                brannic::mac::makeTextField(textField));
}

- (void)setTextFieldAuthorizationCached:(NSTextField*)textField {
  _textFieldAuthorizationCached = textField;
  connectOutlet(_controls.textFieldAuthorizationCached, _delegate->textFieldAuthorizationCached,
                brannic::mac::makeTextField(textField));
}

- (void)setTextFieldInput:(NSTextField*)textField {
  _textFieldInput = textField;
  connectOutlet(_controls.textFieldInput, _delegate->textFieldInput, brannic::mac::makeTextField(textField));
}

- (void)setTextViewOutput:(NSTextView*)textView {
  _textViewOutput = textView;
  connectOutlet(_controls.textViewOutput, _delegate->textViewOutput, brannic::mac::makeTextView(textView));
}

- (void)setCheckboxRequireAuthentication:(NSButton*)checkbox {
  _checkboxRequireAuthentication = checkbox;
  connectOutlet(_controls.checkboxRequireAuthentication, _delegate->checkboxRequireAuthentication,
                brannic::mac::makeButton(checkbox));
}

- (void)setCheckboxCacheAuthentication:(NSButton*)checkbox {
  _checkboxCacheAuthentication = checkbox;
  connectOutlet(_controls.checkboxCacheAuthentication, _delegate->checkboxCacheAuthentication,
                brannic::mac::makeButton(checkbox));
}

#pragma mark Key-value coded properties

- (BOOL)helperIsInstalled {
  return _delegate->helperIsInstalled() ? YES : NO;
}

- (void)setHelperIsInstalled:(BOOL)installed {
  _delegate->setValueForKey(brannic::PropertyValue{installed == YES},
                            brannic::mac::toStdString(kHelperIsInstalledKey));
}

- (NSData*)currentHelperAuthData {
  const std::optional<brannic::XpcData>& data = _delegate->currentHelperAuthData();
  return data ? brannic::mac::toNSData(*data) : nil;
}

- (void)setCurrentHelperAuthData:(NSData*)data {
  brannic::KeyValue value;
  if (data != nil) value = brannic::PropertyValue{brannic::mac::toBytes(data)};
  _delegate->setValueForKey(value, brannic::mac::toStdString(kCurrentHelperAuthDataKey));
}

#pragma mark Actions

- (void)fireTimer {
  _delegate->fireTimer();
}

// The main interface calls this once the outlets are connected. The base
// class's version is not called.
- (void)awakeFromNib {
  _delegate->awakeFromNib();
}

- (void)didTapOne {
  _delegate->didTapOne();
}

- (void)didTapTwo {
  _delegate->didTapTwo();
}

- (void)didTapThree {
  _delegate->didTapThree();
}

- (void)didTapSignout {
  _delegate->didTapSignout();
}

- (void)didTapWarning {
  _delegate->didTapWarning();
}

- (void)applicationDidBecomeActive:(NSNotification*)notification {
  _delegate->applicationDidBecomeActive();
}

- (void)applicationDidFinishLaunching:(NSNotification*)notification {
  _delegate->applicationDidFinishLaunching();
}

- (IBAction)buttonRunCommand:(id)sender {
  _delegate->buttonRunCommandAction();
}

- (void)logWithStdOut:(NSString*)text {
  _delegate->logWithStdOut(brannic::mac::toStdString(text));
}

- (void)logWithStdErr:(NSString*)text {
  _delegate->logWithStdErr(brannic::mac::toStdString(text));
}

@end
