// What the application's main interface file does when it is loaded: it
// makes the window with its controls, creates the application delegate,
// connects the delegate's outlets and the run-command button's action, and
// sends the delegate awakeFromNib.
#pragma once

#include <memory>

#include "app/app_delegate.h"
#include "platform/platform.h"
#include "platform/sim/appkit/window.h"
#include "platform/sim/base/transcript.h"

namespace brannic::sim {

class MainInterface {
 public:
  // REQUIRES: `platform` outlives the interface.
  MainInterface(Platform& platform, Transcript& transcript);
  // The delegate goes before the window: the delegate's outlets and the
  // binding's observer point into the window.
  ~MainInterface() = default;
  MainInterface(const MainInterface&) = delete;
  MainInterface& operator=(const MainInterface&) = delete;

  AppDelegate& delegate() { return *delegate_; }
  SimWindow& window() { return window_; }

 private:
  SimWindow window_;
  std::unique_ptr<AppDelegate> delegate_;  // declared after the window, so destroyed before it
};

}  // namespace brannic::sim
