// The application and the user: launching, the status menu, actions, the
// window's controls, key-value writes and activation.
#include "app/app_delegate.h"
#include "platform/sim/cli/commands.h"
#include "platform/sim/cli/simulator.h"

namespace brannic::sim {
namespace {

// The control with this outlet name, of the kind the command needs.
template <typename ControlKind>
ControlKind& outletOfKind(Simulator& simulator, const CommandArguments& arguments, ControlKind* control,
                          const char* kind) {
  if (control != nullptr) return *control;
  const std::string& outlet = arguments.keyword(0);
  if (simulator.application().window().hasOutlet(outlet)) {
    arguments.fail(sim::quoted(outlet) + " is not " + kind);
  }
  arguments.fail("no outlet named " + sim::quoted(outlet));
}

void launch(Simulator& simulator, const CommandArguments& arguments) {
  arguments.expectCount(0);
  if (!simulator.mac().launch()) arguments.fail("the application is already launched");
}

void chooseMenuItem(Simulator& simulator, const CommandArguments& arguments) {
  const std::string& title = arguments.restAsText();
  if (title.empty()) arguments.failUsage();
  switch (simulator.mac().appKit().chooseStatusMenuItem(title)) {
    case SimAppKit::MenuChoice::performed:
      return;
    case SimAppKit::MenuChoice::terminate:
      simulator.terminate();
      return;
    case SimAppKit::MenuChoice::disabled:
      simulator.notice("menu item " + sim::quoted(title) + " is disabled");
      return;
    case SimAppKit::MenuChoice::noSuchItem:
      arguments.fail("no menu item titled " + sim::quoted(title));
    case SimAppKit::MenuChoice::noMenu:
      arguments.fail("the status item has no menu");
  }
}

void sendAction(Simulator& simulator, const CommandArguments& arguments) {
  arguments.expectCount(1);
  const std::string& selector = arguments.keyword(0);
  if (!AppDelegate::respondsToAction(selector))
    arguments.fail("the delegate has no action " + sim::quoted(selector));
  simulator.application().delegate().performAction(selector);
}

void click(Simulator& simulator, const CommandArguments& arguments) {
  arguments.expectCount(1);
  SimWindow& window = simulator.application().window();
  SimButton& button = outletOfKind(simulator, arguments, window.button(arguments.keyword(0)), "a button");
  if (!button.click()) simulator.notice(button.outlet() + " is disabled");
}

void typeText(Simulator& simulator, const CommandArguments& arguments) {
  arguments.expectCount(2);
  SimWindow& window = simulator.application().window();
  SimTextField& field =
      outletOfKind(simulator, arguments, window.textField(arguments.keyword(0)), "a text field");
  const std::string& text = arguments.quotedText(1);
  if (!field.isEditable()) arguments.fail(sim::quoted(field.outlet()) + " is not editable");
  if (!field.isEnabled()) {
    simulator.notice(field.outlet() + " is disabled");
    return;
  }
  field.setStringByUser(text);
}

void checkBox(Simulator& simulator, const CommandArguments& arguments) {
  arguments.expectCount(2);
  SimWindow& window = simulator.application().window();
  SimButton* button = window.button(arguments.keyword(0));
  if (button != nullptr && button->kind() != SimButton::Kind::checkBox) button = nullptr;
  SimButton& box = outletOfKind(simulator, arguments, button, "a check box");
  const int state = arguments.choice<int>(
      1,
      {{"on", NSControlStateValueOn}, {"off", NSControlStateValueOff}, {"mixed", NSControlStateValueMixed}});
  if (!box.isEnabled()) {
    simulator.notice(box.outlet() + " is disabled");
    return;
  }
  box.setStateByUser(state);
}

void setBoolean(Simulator& simulator, const CommandArguments& arguments) {
  arguments.expectCount(2);
  const std::string& key = arguments.keyword(0);
  const bool value = arguments.choice<bool>(1, {{"true", true}, {"false", false}});
  AppDelegate& delegate = simulator.application().delegate();
  if (!delegate.hasKey(key)) arguments.fail("the delegate has no key " + sim::quoted(key));
  if (!delegate.setValueForKey(PropertyValue{value}, key)) {
    arguments.fail("the delegate's " + sim::quoted(key) + " does not take a Boolean");
  }
}

void activate(Simulator& simulator, const CommandArguments& arguments) {
  arguments.expectCount(0);
  simulator.mac().appKit().activate();
  simulator.application().delegate().performAction("applicationDidBecomeActive:");
}

}  // namespace

void registerAppCommands(CommandTable& table) {
  using enum CommandPhase;
  table.add({"launch", {"launch"}, any, launch});
  table.add({"menu", {"menu <title>"}, afterLaunch, chooseMenuItem});
  table.add({"action", {"action <selector>"}, afterLaunch, sendAction});
  table.add({"click", {"click <outlet>"}, afterLaunch, click});
  table.add({"type", {"type <outlet> \"<text>\""}, afterLaunch, typeText});
  table.add({"check", {"check <outlet> on|off|mixed"}, afterLaunch, checkBox});
  table.add({"set", {"set <key> true|false"}, afterLaunch, setBoolean});
  table.add({"activate", {"activate"}, afterLaunch, activate});
}

}  // namespace brannic::sim
