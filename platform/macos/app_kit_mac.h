// AppKit: the application object, the status bar, menus, images, hiding and
// fonts. The window's controls are in controls_mac.h.
#pragma once

#include <functional>

#include "platform/app_kit.h"

namespace brannic::mac {

class MacAppKit final : public AppKit {
 public:
  // What the application's main interface does when the application loads
  // it: make the delegate and the window and connect them. Runs once, in
  // applicationMain, before the run loop starts.
  void setMainInterfaceLoader(std::function<void()> loadMainInterface);

  int applicationMain(int argc, char** argv) override;
  std::shared_ptr<StatusItem> statusItemWithLength(double length) override;
  ImageRef imageNamed(std::string_view name) override;
  ImageRef imageWithSystemSymbolName(std::string_view symbolName,
                                     std::string_view accessibilityDescription) override;
  void hide() override;
  double smallSystemFontSize() override;
  Font systemFontOfSize(double size) override;

 private:
  std::function<void()> loadMainInterface_;
};

}  // namespace brannic::mac
