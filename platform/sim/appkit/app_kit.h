// The simulated AppKit: the application object, the status bar, images and
// fonts. The window's controls are in sim_controls.h and sim_text_view.h.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/app_kit.h"
#include "platform/bundle.h"
#include "platform/sim/appkit/status_item.h"
#include "platform/sim/base/transcript.h"

namespace brannic::sim {

class SimAppKit final : public AppKit {
 public:
  // The platform's small system font size, in points.
  static constexpr double kSmallSystemFontSize = 11.0;

  // What choosing a status-menu item did.
  enum class MenuChoice { performed, disabled, noSuchItem, noMenu, terminate };

  // REQUIRES: `bundle` outlives the AppKit.
  SimAppKit(Transcript& transcript, Bundle& bundle) : transcript_(transcript), bundle_(bundle) {}

  // Runs what the application main function does before it enters the
  // event loop (loading the main interface, finishing launching), then
  // returns 0 at once: the simulator serves the loop itself. Returns 1 when
  // no launcher is set.
  int applicationMain(int argc, char** argv) override;
  std::shared_ptr<StatusItem> statusItemWithLength(double length) override;
  // The bundle's resource `<name>.png`, or null.
  ImageRef imageNamed(std::string_view name) override;
  // `<n>.circle` for n in 0...50, or null.
  ImageRef imageWithSystemSymbolName(std::string_view symbolName,
                                     std::string_view accessibilityDescription) override;
  // Prints `ui: application hidden`, every time.
  void hide() override;
  double smallSystemFontSize() override { return kSmallSystemFontSize; }
  Font systemFontOfSize(double size) override { return Font{size}; }

  // The simulator's side.
  using Launcher = std::function<void()>;
  void setLauncher(Launcher launcher) { launcher_ = std::move(launcher); }
  // The responder chain behind the status menu's actions, which have no
  // target: `handles` says whether an action is handled, `send` sends it.
  // "terminate:" is always handled, by the application itself.
  void setResponderChain(ActionValidator handles, std::function<void(const std::string&)> send);
  // The application becomes active: its windows show again.
  void activate() { hidden_ = false; }
  bool isHidden() const { return hidden_; }
  // The newest status item the application still holds, or null.
  std::shared_ptr<SimStatusItem> statusItem() const;
  // Chooses the item of the status item's menu with this title.
  MenuChoice chooseStatusMenuItem(std::string_view title);

 private:
  bool responderChainHandles(std::string_view selector) const;

  Transcript& transcript_;
  Bundle& bundle_;
  Launcher launcher_;
  ActionValidator handles_;
  std::function<void(const std::string&)> send_;
  std::vector<std::weak_ptr<SimStatusItem>> statusItems_;
  bool hidden_ = false;
};

}  // namespace brannic::sim
