#include "platform/sim/appkit/app_kit.h"

#include "platform/sim/appkit/images.h"

namespace brannic::sim {
namespace {
constexpr std::string_view kTerminateAction = "terminate:";
}  // namespace

int SimAppKit::applicationMain(int /*argc*/, char** /*argv*/) {
  if (!launcher_) return 1;
  launcher_();
  return 0;
}

std::shared_ptr<StatusItem> SimAppKit::statusItemWithLength(double length) {
  auto item = std::make_shared<SimStatusItem>(
      transcript_, length, [this](std::string_view selector) { return responderChainHandles(selector); });
  std::erase_if(statusItems_, [](const auto& held) { return held.expired(); });
  statusItems_.push_back(item);
  return item;
}

ImageRef SimAppKit::imageNamed(std::string_view name) {
  if (name.empty() || !bundle_.urlForResource(name, "png")) return nullptr;
  return std::make_shared<SimImage>(std::string(name));
}

ImageRef SimAppKit::imageWithSystemSymbolName(std::string_view symbolName,
                                              std::string_view accessibilityDescription) {
  if (!systemSymbolExists(symbolName)) return nullptr;
  return std::make_shared<SimImage>("symbol " + std::string(symbolName) + " " +
                                    sim::quoted(accessibilityDescription));
}

void SimAppKit::hide() {
  hidden_ = true;
  transcript_.emit("ui", "application hidden");
}

void SimAppKit::setResponderChain(ActionValidator handles, std::function<void(const std::string&)> send) {
  handles_ = std::move(handles);
  send_ = std::move(send);
}

bool SimAppKit::responderChainHandles(std::string_view selector) const {
  return selector == kTerminateAction || (handles_ && handles_(selector));
}

std::shared_ptr<SimStatusItem> SimAppKit::statusItem() const {
  for (auto held = statusItems_.rbegin(); held != statusItems_.rend(); ++held) {
    if (auto item = held->lock()) return item;
  }
  return nullptr;
}

SimAppKit::MenuChoice SimAppKit::chooseStatusMenuItem(std::string_view title) {
  const auto item = statusItem();
  if (!item || !item->menu()) return MenuChoice::noMenu;
  const MenuItem* chosen = item->findItem(title);
  if (!chosen) return MenuChoice::noSuchItem;
  if (!item->isEnabled(*chosen)) return MenuChoice::disabled;
  if (*chosen->action == kTerminateAction) return MenuChoice::terminate;
  // The action may change the menu; send a copy of the selector.
  const std::string action = *chosen->action;
  if (send_) send_(action);
  return MenuChoice::performed;
}

}  // namespace brannic::sim
