// The window's buttons, check boxes and text fields. Every change the
// application makes to a control (its text, its enabled state, including
// through the enabled binding) is printed on the `ui` channel, even when the
// value does not change; the user's own changes print nothing.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/app_kit.h"
#include "platform/sim/base/transcript.h"

namespace brannic::sim {

// What every control has: its outlet name (which names it in the
// transcript) and its enabled state, which the enabled binding may follow.
class SimControlState {
 public:
  SimControlState(Transcript& transcript, std::string outlet)
      : transcript_(transcript), outlet_(std::move(outlet)) {}
  const std::string& outlet() const { return outlet_; }
  bool isEnabled() const { return enabled_; }
  // The interface file's initial state: no transcript line.
  void setInitiallyEnabled(bool enabled) { enabled_ = enabled; }
  // Prints `ui: <outlet> enabled|disabled`.
  void setEnabled(bool enabled);
  // Only the enabled binding exists. It takes the bound value at once and
  // then follows every key-value write of the key. Anything else is
  // reported on the `sim` channel and not bound.
  void bind(std::string_view binding, KeyValueCoding& object, const std::string& keyPath);
  Transcript& transcript() { return transcript_; }

 private:
  Transcript& transcript_;
  std::string outlet_;
  bool enabled_ = true;
};

// A push button or a check box.
class SimButton final : public Button {
 public:
  enum class Kind { pushButton, checkBox };
  // Sends an action selector to its target.
  using ActionTarget = std::function<void(const std::string& selector)>;

  SimButton(Transcript& transcript, std::string outlet, Kind kind)
      : control_(transcript, std::move(outlet)), kind_(kind) {}

  bool isEnabled() const override { return control_.isEnabled(); }
  void setEnabled(bool enabled) override { control_.setEnabled(enabled); }
  void bind(std::string_view binding, KeyValueCoding& object, std::string keyPath,
            BindingOptions options) override;
  int state() const override { return state_; }

  // The interface file's side.
  void setAction(std::string selector, ActionTarget target);
  void setInitiallyEnabled(bool enabled) { control_.setInitiallyEnabled(enabled); }

  // The user's side. click() returns false (and does nothing) when the
  // button is disabled; a check box changes its state before its action is
  // sent. REQUIRES for setStateByUser: a check box.
  bool click();
  void setStateByUser(int state) { state_ = state; }

  Kind kind() const { return kind_; }
  const std::string& outlet() const { return control_.outlet(); }
  const std::optional<std::string>& action() const { return action_; }

 private:
  SimControlState control_;
  Kind kind_;
  int state_ = NSControlStateValueOff;
  std::optional<std::string> action_;
  ActionTarget target_;
};

class SimTextField final : public TextField {
 public:
  SimTextField(Transcript& transcript, std::string outlet, bool editable)
      : control_(transcript, std::move(outlet)), editable_(editable) {}

  bool isEnabled() const override { return control_.isEnabled(); }
  void setEnabled(bool enabled) override { control_.setEnabled(enabled); }
  void bind(std::string_view binding, KeyValueCoding& object, std::string keyPath,
            BindingOptions options) override;
  std::string stringValue() const override { return text_; }
  // Prints `ui: <outlet> text "<text>"`.
  void setStringValue(std::string value) override;

  // The interface file's side.
  void setInitialText(std::string text) { text_ = std::move(text); }
  void setInitiallyEnabled(bool enabled) { control_.setInitiallyEnabled(enabled); }
  // The user's side: the text typed into the field. No transcript line.
  void setStringByUser(std::string text) { text_ = std::move(text); }

  bool isEditable() const { return editable_; }
  const std::string& outlet() const { return control_.outlet(); }

 private:
  SimControlState control_;
  bool editable_;
  std::string text_;
};

}  // namespace brannic::sim
