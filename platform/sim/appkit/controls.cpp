#include "platform/sim/appkit/controls.h"

namespace brannic::sim {
namespace {

// How a bound value reads as a Boolean: nil and anything that is not a
// Boolean or a number count as false.
bool boundValueIsTrue(const KeyValue& value) {
  if (!value) return false;
  if (const bool* flag = value->get<bool>()) return *flag;
  if (const std::int64_t* number = value->get<std::int64_t>()) return *number != 0;
  if (const double* number = value->get<double>()) return *number != 0;
  return false;
}

}  // namespace

void SimControlState::setEnabled(bool enabled) {
  enabled_ = enabled;
  transcript_.emit("ui", outlet_ + (enabled ? " enabled" : " disabled"));
}

void SimControlState::bind(std::string_view binding, KeyValueCoding& object, const std::string& keyPath) {
  if (binding != NSEnabledBinding) {
    transcript_.emit("sim", outlet_ + " has no binding " + sim::quoted(binding));
    return;
  }
  if (!object.hasKey(keyPath)) {
    transcript_.emit("sim", outlet_ + " cannot bind to the missing key " + sim::quoted(keyPath));
    return;
  }
  // The window outlives the delegate (the interface file destroys the
  // delegate first), so the observer may hold this control.
  object.addObserverForKey(keyPath, [this](const KeyValue& value) { setEnabled(boundValueIsTrue(value)); });
  setEnabled(boundValueIsTrue(object.valueForKey(keyPath)));
}

void SimButton::bind(std::string_view binding, KeyValueCoding& object, std::string keyPath,
                     BindingOptions /*options*/) {
  control_.bind(binding, object, keyPath);
}

void SimButton::setAction(std::string selector, ActionTarget target) {
  action_ = std::move(selector);
  target_ = std::move(target);
}

bool SimButton::click() {
  if (!isEnabled()) return false;
  if (kind_ == Kind::checkBox)
    state_ = state_ == NSControlStateValueOn ? NSControlStateValueOff : NSControlStateValueOn;
  if (action_ && target_) target_(*action_);
  return true;
}

void SimTextField::bind(std::string_view binding, KeyValueCoding& object, std::string keyPath,
                        BindingOptions /*options*/) {
  control_.bind(binding, object, keyPath);
}

void SimTextField::setStringValue(std::string value) {
  text_ = std::move(value);
  control_.transcript().emit("ui", outlet() + " text " + sim::quoted(text_));
}

}  // namespace brannic::sim
