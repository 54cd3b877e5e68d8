// Start-up: the status item, its icon and menu, then the helper's start-up
// steps.
#include "app/app_delegate.h"

#include <string>

namespace brannic {

void AppDelegate::applicationDidFinishLaunching() { runStartupSequence(); }

void AppDelegate::runStartupSequence() {
  statusItem = platform_.appKit.statusItemWithLength(NSVariableStatusItemLength);
  platform_.appKit.hide();
  if (statusItem && statusItem->button() != nullptr)
    statusItem->button()->setImage(platform_.appKit.imageNamed("Icon"));
  buildStatusMenu();
  // What these post to the main operation queue runs after this returns.
  runHelperStartupSteps();
}

void AppDelegate::buildStatusMenu() {
  Menu menu;
  menu.addItem(MenuItem{"Toggle Brannic", "didTapOne", ""});
  menu.addItem(MenuItem::separatorItem());
  // No action: the menu shows it disabled, a fixed hint.
  menu.addItem(MenuItem{"Leave the lid open after toggle", std::nullopt, ""});
  menu.addItem(MenuItem{"Quit", "terminate:", ""});
  if (statusItem) statusItem->setMenu(std::move(menu));
}

void AppDelegate::setStatusIcon(std::int64_t n) {
  if (!statusItem || statusItem->button() == nullptr) return;
  const std::string number = std::to_string(n);
  statusItem->button()->setImage(platform_.appKit.imageWithSystemSymbolName(number + ".circle", number));
}

}  // namespace brannic
