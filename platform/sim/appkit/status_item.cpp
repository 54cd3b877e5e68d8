#include "platform/sim/appkit/status_item.h"

#include "platform/sim/appkit/images.h"

namespace brannic::sim {

void SimStatusBarButton::setImage(ImageRef image) {
  image_ = std::move(image);
  transcript_.emit("ui", "status image " + describeImage(image_));
}

SimStatusItem::SimStatusItem(Transcript& transcript, double length, ActionValidator validator)
    : transcript_(transcript), length_(length), validator_(std::move(validator)), button_(transcript) {}

void SimStatusItem::setMenu(Menu menu) {
  menu_ = std::move(menu);
  transcript_.emit("ui", "menu " + describeMenu(*menu_));
}

bool SimStatusItem::isEnabled(const MenuItem& item) const {
  return !item.isSeparator && item.action && validator_ && validator_(*item.action);
}

const MenuItem* SimStatusItem::findItem(std::string_view title) const {
  if (!menu_) return nullptr;
  for (const auto& item : menu_->items) {
    if (!item.isSeparator && item.title == title) return &item;
  }
  return nullptr;
}

// `Toggle Brannic | --- | Leave the lid open after toggle (disabled) | Quit`;
// a key equivalent, when an item has one, follows its title as `[k]`.
std::string SimStatusItem::describeMenu(const Menu& menu) const {
  std::string text;
  for (std::size_t i = 0; i < menu.items.size(); ++i) {
    const MenuItem& item = menu.items[i];
    if (i > 0) text += " | ";
    if (item.isSeparator) {
      text += "---";
      continue;
    }
    text += escapeText(item.title);
    if (!item.keyEquivalent.empty()) text += " [" + escapeText(item.keyEquivalent) + "]";
    if (!isEnabled(item)) text += " (disabled)";
  }
  return text;
}

}  // namespace brannic::sim
