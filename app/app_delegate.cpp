#include "app/app_delegate.h"

#include <algorithm>
#include <array>
#include <utility>

namespace brannic {

namespace {
// The key names are taken from the properties' getters, so they always equal
// the property names.
constexpr std::string_view kHelperIsInstalledKey = "helperIsInstalled";
constexpr std::string_view kCurrentHelperAuthDataKey = "currentHelperAuthData";

struct Action {
  std::string_view selector;
  void (AppDelegate::*perform)();
};

// The runtime-visible operations that take no argument or only a sender.
constexpr std::array kActions{
    Action{"fireTimer", &AppDelegate::fireTimer},
    Action{"awakeFromNib", &AppDelegate::awakeFromNib},
    Action{"didTapOne", &AppDelegate::didTapOne},
    Action{"didTapTwo", &AppDelegate::didTapTwo},
    Action{"didTapThree", &AppDelegate::didTapThree},
    Action{"didTapSignout", &AppDelegate::didTapSignout},
    Action{"didTapWarning", &AppDelegate::didTapWarning},
    Action{"applicationDidBecomeActive:", &AppDelegate::applicationDidBecomeActive},
    Action{"applicationDidFinishLaunching:", &AppDelegate::applicationDidFinishLaunching},
    Action{"buttonRunCommand:", &AppDelegate::buttonRunCommandAction},
};

const Action* findAction(std::string_view selector) {
  auto found = std::find_if(kActions.begin(), kActions.end(),
                            [selector](const Action& action) { return action.selector == selector; });
  return found == kActions.end() ? nullptr : &*found;
}
}  // namespace

AppDelegate::AppDelegate(Platform& platform)
    : platform_(platform),
      currentHelperAuthDataKeyPath(kCurrentHelperAuthDataKey),
      helperIsInstalledKeyPath(kHelperIsInstalledKey) {}

// The delegate lives until the process ends; letting go of the timer and the
// observers here only keeps their blocks from outliving it.
AppDelegate::~AppDelegate() {
  if (timer2) timer2->invalidate();
  for (auto handle : screenObservers_) platform_.notificationCenter.removeObserver(handle);
}

bool AppDelegate::respondsToAction(std::string_view selector) { return findAction(selector) != nullptr; }

bool AppDelegate::performAction(std::string_view selector) {
  const Action* action = findAction(selector);
  if (action == nullptr) return false;
  (this->*action->perform)();
  return true;
}

void AppDelegate::awakeFromNib() {
  // The interface file connects every outlet; without the button there is
  // nothing to bind.
  if (buttonRunCommand == nullptr) return;
  buttonRunCommand->bind(NSEnabledBinding, *this, helperIsInstalledKeyPath,
                         BindingOptions{.continuouslyUpdatesValue = true});
}

void AppDelegate::applicationDidBecomeActive() { platform_.appKit.hide(); }

void AppDelegate::didTapThree() { setStatusIcon(3); }

void AppDelegate::didTapSignout() {}

void AppDelegate::didTapWarning() {}

void AppDelegate::buttonRunCommandAction() {
  const std::string argument = textFieldInput != nullptr ? textFieldInput->stringValue() : std::string();
  runHelperCommand(argument);
}

bool AppDelegate::hasKey(std::string_view key) const {
  return key == kHelperIsInstalledKey || key == kCurrentHelperAuthDataKey;
}

KeyValue AppDelegate::valueForKey(std::string_view key) const {
  if (key == kHelperIsInstalledKey) return PropertyValue{helperIsInstalled_};
  if (key == kCurrentHelperAuthDataKey && currentHelperAuthData_) return PropertyValue{*currentHelperAuthData_};
  return std::nullopt;
}

bool AppDelegate::setValueForKey(const KeyValue& value, std::string_view key) {
  if (key == kHelperIsInstalledKey) {
    const bool* flag = value ? value->get<bool>() : nullptr;
    if (flag == nullptr) return false;
    helperIsInstalled_ = *flag;
  } else if (key == kCurrentHelperAuthDataKey) {
    if (!value) {
      currentHelperAuthData_.reset();
    } else if (const auto* data = value->get<PropertyData>()) {
      currentHelperAuthData_ = *data;
    } else {
      return false;
    }
  } else {
    return false;
  }
  // Copy first: an observer may add observers.
  const auto observers = keyValueObservers_;
  for (const auto& [observedKey, observer] : observers)
    if (observedKey == key) observer(value);
  return true;
}

void AppDelegate::addObserverForKey(std::string_view key, Observer observer) {
  keyValueObservers_.emplace_back(std::string(key), std::move(observer));
}

}  // namespace brannic
