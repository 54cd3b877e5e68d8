#include "platform/macos/controls_mac.h"

#include "platform/macos/foundation_bridge_mac.h"
#include "platform/macos/key_value_bridge_mac.h"

namespace brannic::mac {

namespace {

// bind:toObject:withKeyPath:options: to the Objective-C object registered
// for `object`. Bindings do not hold the observed object; the delegate lives
// for the process.
void bindControl(NSControl* control, std::string_view binding, KeyValueCoding& object,
                 const std::string& keyPath, BindingOptions options) {
  id observed = keyValueObjectFor(object);
  if (control == nil || observed == nil) return;
  NSString* name = binding == brannic::NSEnabledBinding ? ::NSEnabledBinding : toNSString(binding);
  [control bind:name
         toObject:observed
      withKeyPath:toNSString(keyPath)
          options:@{
            NSContinuouslyUpdatesValueBindingOption : @(options.continuouslyUpdatesValue)
          }];
}

class MacButton final : public Button {
 public:
  explicit MacButton(NSButton* button) : button_(button) {}
  bool isEnabled() const override { return button_.enabled; }
  void setEnabled(bool enabled) override { button_.enabled = enabled; }
  void bind(std::string_view binding, KeyValueCoding& object, std::string keyPath,
            BindingOptions options) override {
    bindControl(button_, binding, object, keyPath, options);
  }
  int state() const override { return static_cast<int>(button_.state); }

 private:
  __weak NSButton* button_;
};

static_assert(brannic::NSControlStateValueOn == NSControlStateValueOn);
static_assert(brannic::NSControlStateValueOff == NSControlStateValueOff);
static_assert(brannic::NSControlStateValueMixed == NSControlStateValueMixed);

class MacTextField final : public TextField {
 public:
  explicit MacTextField(NSTextField* textField) : textField_(textField) {}
  bool isEnabled() const override { return textField_.enabled; }
  void setEnabled(bool enabled) override { textField_.enabled = enabled; }
  void bind(std::string_view binding, KeyValueCoding& object, std::string keyPath,
            BindingOptions options) override {
    bindControl(textField_, binding, object, keyPath, options);
  }
  std::string stringValue() const override { return toStdString(textField_.stringValue); }
  void setStringValue(std::string value) override { textField_.stringValue = toNSString(value); }

 private:
  __weak NSTextField* textField_;
};

class MacTextStorage final : public TextStorage {
 public:
  explicit MacTextStorage(NSTextStorage* storage) : storage_(storage) {}
  void appendAttributedString(const AttributedString& string) override {
    NSDictionary* attributes = @{NSFontAttributeName : [NSFont systemFontOfSize:string.font.pointSize]};
    [storage_ appendAttributedString:[[NSAttributedString alloc] initWithString:toNSString(string.text)
                                                                     attributes:attributes]];
  }

 private:
  __weak NSTextStorage* storage_;
};

class MacTextView final : public TextView {
 public:
  explicit MacTextView(NSTextView* textView) : textView_(textView) {}

  TextStorage* textStorage() override {
    NSTextStorage* storage = textView_.textStorage;
    if (storage == nil) return nullptr;
    storage_ = std::make_unique<MacTextStorage>(storage);
    return storage_.get();
  }
  // NSString lengths are in UTF-16 units, as the port's ranges are.
  std::size_t stringLength() const override { return textView_.string.length; }
  void scrollRangeToVisible(TextRange range) override {
    [textView_ scrollRangeToVisible:NSMakeRange(range.location, range.length)];
  }

 private:
  __weak NSTextView* textView_;
  std::unique_ptr<MacTextStorage> storage_;
};

}  // namespace

std::unique_ptr<Button> makeButton(NSButton* button) {
  return button != nil ? std::make_unique<MacButton>(button) : nullptr;
}

std::unique_ptr<TextField> makeTextField(NSTextField* textField) {
  return textField != nil ? std::make_unique<MacTextField>(textField) : nullptr;
}

std::unique_ptr<TextView> makeTextView(NSTextView* textView) {
  return textView != nil ? std::make_unique<MacTextView>(textView) : nullptr;
}

}  // namespace brannic::mac
