// The status item of the simulated status bar: its button's image and its
// menu, each change the application makes printed on the `ui` channel.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/app_kit.h"
#include "platform/sim/base/transcript.h"

namespace brannic::sim {

// Whether some object in the responder chain handles an action.
using ActionValidator = std::function<bool(std::string_view selector)>;

class SimStatusBarButton final : public StatusBarButton {
 public:
  explicit SimStatusBarButton(Transcript& transcript) : transcript_(transcript) {}
  // Prints `ui: status image <description>`, every time.
  void setImage(ImageRef image) override;
  const ImageRef& image() const { return image_; }

 private:
  Transcript& transcript_;
  ImageRef image_;
};

class SimStatusItem final : public StatusItem {
 public:
  // REQUIRES: `validator` stays callable for the item's life.
  SimStatusItem(Transcript& transcript, double length, ActionValidator validator);

  StatusBarButton* button() override { return &button_; }
  // Prints `ui: menu <items>`, every time.
  void setMenu(Menu menu) override;

  double length() const { return length_; }
  const SimStatusBarButton& simButton() const { return button_; }
  const std::optional<Menu>& menu() const { return menu_; }
  // An item is enabled when it has an action that the responder chain
  // handles; an item without an action is shown disabled.
  bool isEnabled(const MenuItem& item) const;
  // The first item with this title that is not a separator, or null.
  const MenuItem* findItem(std::string_view title) const;

 private:
  std::string describeMenu(const Menu& menu) const;

  Transcript& transcript_;
  double length_;
  ActionValidator validator_;
  SimStatusBarButton button_;
  std::optional<Menu> menu_;
};

}  // namespace brannic::sim
