#include "platform/macos/app_kit_mac.h"

#import <AppKit/AppKit.h>

#include "platform/macos/foundation_bridge_mac.h"

namespace brannic::mac {

namespace {

class MacImage final : public Image {
 public:
  explicit MacImage(NSImage* image) : image_(image) {}
  NSImage* image() const { return image_; }

 private:
  NSImage* image_;
};

ImageRef toImageRef(NSImage* image) {
  if (image == nil) return nullptr;
  return std::make_shared<const MacImage>(image);
}

class MacStatusBarButton final : public StatusBarButton {
 public:
  // The status item owns its button.
  explicit MacStatusBarButton(NSStatusBarButton* button) : button_(button) {}

  void setImage(ImageRef image) override {
    const auto* macImage = dynamic_cast<const MacImage*>(image.get());
    button_.image = macImage != nullptr ? macImage->image() : nil;
  }

 private:
  __weak NSStatusBarButton* button_;
};

NSMenu* toNSMenu(const Menu& menu) {
  NSMenu* built = [[NSMenu alloc] init];
  for (const MenuItem& item : menu.items) {
    if (item.isSeparator) {
      [built addItem:[NSMenuItem separatorItem]];
      continue;
    }
    // No target: the action travels the responder chain, so "didTapOne"
    // reaches the application's delegate and "terminate:" the application.
    // An item without an action is shown disabled.
    SEL action = item.action ? NSSelectorFromString(toNSString(*item.action)) : nullptr;
    [built addItem:[[NSMenuItem alloc] initWithTitle:toNSString(item.title)
                                              action:action
                                       keyEquivalent:toNSString(item.keyEquivalent)]];
  }
  return built;
}

class MacStatusItem final : public StatusItem {
 public:
  // Holding the item keeps it in the status bar.
  explicit MacStatusItem(NSStatusItem* item) : item_(item) {}

  StatusBarButton* button() override {
    NSStatusBarButton* button = item_.button;
    if (button == nil) return nullptr;
    if (!button_) button_ = std::make_unique<MacStatusBarButton>(button);
    return button_.get();
  }

  void setMenu(Menu menu) override { item_.menu = toNSMenu(menu); }

 private:
  NSStatusItem* item_;
  std::unique_ptr<MacStatusBarButton> button_;
};

}  // namespace

void MacAppKit::setMainInterfaceLoader(std::function<void()> loadMainInterface) {
  loadMainInterface_ = std::move(loadMainInterface);
}

int MacAppKit::applicationMain(int argc, char** argv) {
  @autoreleasepool {
    // The application object exists before the interface is loaded, as it
    // does when the system loads an interface file.
    [NSApplication sharedApplication];
    if (loadMainInterface_) loadMainInterface_();
  }
  return NSApplicationMain(argc, const_cast<const char**>(argv));
}

std::shared_ptr<StatusItem> MacAppKit::statusItemWithLength(double length) {
  NSStatusItem* item = [[NSStatusBar systemStatusBar] statusItemWithLength:length];
  if (item == nil) return nullptr;
  return std::make_shared<MacStatusItem>(item);
}

ImageRef MacAppKit::imageNamed(std::string_view name) {
  NSImage* image = [NSImage imageNamed:toNSString(name)];
  // The application's named image is its status-bar icon, drawn as a
  // template (black on transparency): marked as one, the menu bar tints it
  // for its appearance instead of showing it black on a dark bar.
  [image setTemplate:YES];  // the property is named by a C++ keyword
  return toImageRef(image);
}

ImageRef MacAppKit::imageWithSystemSymbolName(std::string_view symbolName,
                                              std::string_view accessibilityDescription) {
  return toImageRef([NSImage imageWithSystemSymbolName:toNSString(symbolName)
                              accessibilityDescription:toNSString(accessibilityDescription)]);
}

void MacAppKit::hide() { [NSApp hide:nil]; }

double MacAppKit::smallSystemFontSize() { return [NSFont smallSystemFontSize]; }

// The font itself is made where an attributed string is built from it.
Font MacAppKit::systemFontOfSize(double size) { return Font{size}; }

}  // namespace brannic::mac
