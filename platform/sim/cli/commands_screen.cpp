// The screen and distributed notifications: the owner locking and unlocking
// the screen, the login framework the application locks it with, and any
// notification from any sender. What observers do runs when the main queue
// next runs (wait, settle).
#include "platform/sim/cli/commands.h"
#include "platform/sim/cli/simulator.h"

namespace brannic::sim {
namespace {

void screen(Simulator& simulator, const CommandArguments& arguments) {
  if (arguments.size() == 2 && arguments.keyword(0) == "lock-library") {
    simulator.mac().dynamicLoader().setLockLibrary(arguments.choice<LockLibrary>(
        1, {{"present", LockLibrary::present}, {"absent", LockLibrary::absent}, {"no-entry", LockLibrary::noEntry}}));
    return;
  }
  arguments.expectCount(1);
  SimScreen& screen = simulator.mac().screen();
  if (arguments.choice<bool>(0, {{"lock", true}, {"unlock", false}})) {
    if (!screen.ownerLocks()) simulator.notice("the screen is already locked");
  } else {
    if (!screen.ownerUnlocks()) simulator.notice("the screen is already unlocked");
  }
}

void post(Simulator& simulator, const CommandArguments& arguments) {
  arguments.expectCount(1);
  simulator.mac().notificationCenter().postNotificationName(arguments.keyword(0));
}

}  // namespace

void registerScreenCommands(CommandTable& table) {
  using enum CommandPhase;
  table.add({"screen", {"screen lock|unlock", "screen lock-library absent|no-entry|present"}, any, screen});
  table.add({"post", {"post <name>"}, any, post});

  table.addStateKey("screen", [](Simulator& simulator) -> std::string {
    return simulator.mac().screen().isLocked() ? "locked" : "unlocked";
  });
  table.addStateKey("armed", [](Simulator& simulator) -> std::string {
    MainInterface* application = simulator.mac().application();
    if (application == nullptr) return "no";
    const auto& timer = application->delegate().watchTimer();
    return timer && timer->isValid() ? "yes" : "no";
  });
}

}  // namespace brannic::sim
