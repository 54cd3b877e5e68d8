// AppKit: the application object, the status bar, menus, images, fonts and
// the window's controls.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/key_value.h"

namespace brannic {

// An image (NSImage). Opaque to the core.
class Image {
 public:
  virtual ~Image() = default;
};
using ImageRef = std::shared_ptr<const Image>;

// The system font at a given size (NSFont systemFontOfSize:).
struct Font {
  double pointSize = 0;
  bool operator==(const Font&) const = default;
};

// An attributed string whose only attribute is its font.
struct AttributedString {
  std::string text;
  Font font;
};

// NSRange in the text view's own string units (UTF-16 code units).
struct TextRange {
  std::size_t location = 0;
  std::size_t length = 0;
};

// NSMenuItem: a title, an action selector or none (an item without an action
// is shown disabled), a key equivalent; or a separator.
struct MenuItem {
  std::string title;
  std::optional<std::string> action;
  std::string keyEquivalent;
  bool isSeparator = false;

  static MenuItem separatorItem() { return MenuItem{"", std::nullopt, "", true}; }
};

// NSMenu, built by value and attached to the status item. Items have no
// target: their actions travel the responder chain.
struct Menu {
  std::vector<MenuItem> items;
  void addItem(MenuItem item) { items.push_back(std::move(item)); }
};

class StatusBarButton {
 public:
  virtual ~StatusBarButton() = default;
  // setImage:, with null for none.
  virtual void setImage(ImageRef image) = 0;
};

class StatusItem {
 public:
  virtual ~StatusItem() = default;
  // The item's button, or null when it has none.
  virtual StatusBarButton* button() = 0;
  virtual void setMenu(Menu menu) = 0;
};

inline constexpr double NSVariableStatusItemLength = -1.0;
inline constexpr std::string_view NSEnabledBinding = "enabled";

struct BindingOptions {
  bool continuouslyUpdatesValue = false;  // NSContinuouslyUpdatesValueBindingOption
};

// NSControl.
class Control {
 public:
  virtual ~Control() = default;
  virtual bool isEnabled() const = 0;
  virtual void setEnabled(bool enabled) = 0;
  // bind:toObject:withKeyPath:options:. Only NSEnabledBinding to a Boolean
  // property is used: the control then follows every write of it.
  // REQUIRES: `object` outlives the control's binding.
  virtual void bind(std::string_view binding, KeyValueCoding& object, std::string keyPath,
                    BindingOptions options) = 0;
};

// NSControlStateValue.
inline constexpr int NSControlStateValueMixed = -1;
inline constexpr int NSControlStateValueOff = 0;
inline constexpr int NSControlStateValueOn = 1;

// NSButton, including check boxes.
class Button : public Control {
 public:
  virtual int state() const = 0;
};

// NSTextField.
class TextField : public Control {
 public:
  virtual std::string stringValue() const = 0;
  virtual void setStringValue(std::string value) = 0;
};

// NSTextStorage.
class TextStorage {
 public:
  virtual ~TextStorage() = default;
  virtual void appendAttributedString(const AttributedString& string) = 0;
};

// NSTextView.
class TextView {
 public:
  virtual ~TextView() = default;
  // The view's text storage, or null when it has none.
  virtual TextStorage* textStorage() = 0;
  // The length of the view's whole string, in its own units (UTF-16).
  virtual std::size_t stringLength() const = 0;
  virtual void scrollRangeToVisible(TextRange range) = 0;
};

// NSApplication and the class-level AppKit calls the application makes.
class AppKit {
 public:
  virtual ~AppKit() = default;
  // NSApplicationMain(argc, argv): runs the application, which loads its main
  // interface file (creating the delegate). Returns only if the application
  // main function ever does.
  virtual int applicationMain(int argc, char** argv) = 0;
  // [[NSStatusBar systemStatusBar] statusItemWithLength:].
  virtual std::shared_ptr<StatusItem> statusItemWithLength(double length) = 0;
  // [NSImage imageNamed:], or null; marked as a template image, as the
  // status-bar icon it is.
  virtual ImageRef imageNamed(std::string_view name) = 0;
  // [NSImage imageWithSystemSymbolName:accessibilityDescription:], or null.
  virtual ImageRef imageWithSystemSymbolName(std::string_view symbolName,
                                             std::string_view accessibilityDescription) = 0;
  // [NSApp hide:nil].
  virtual void hide() = 0;
  // [NSFont smallSystemFontSize] and [NSFont systemFontOfSize:].
  virtual double smallSystemFontSize() = 0;
  virtual Font systemFontOfSize(double size) = 0;
};

}  // namespace brannic
