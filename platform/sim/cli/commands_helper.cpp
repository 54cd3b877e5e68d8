// The privileged helper on the simulated machine: what the system domain
// holds before launch, the running helper's death, and the short version
// in the application bundle's copy of the helper. Setting them up prints
// nothing; `state` shows whether the helper runs.
#include <string>

#include "helper_client/helper_label.h"
#include "platform/sim/cli/commands.h"
#include "platform/sim/bundle/info_plist.h"
#include "platform/sim/cli/simulator.h"

namespace brannic::sim {
namespace {

const std::string& helperLabel() {
  static const std::string label(HelperLabel);
  return label;
}

// The helper inside the installed application bundle.
std::string bundleHelperPath(Simulator& simulator) {
  return simulator.mac().bundlePath() + "/Contents/Library/LaunchServices/" + helperLabel();
}

void setHelper(Simulator& simulator, const CommandArguments& arguments) {
  if (arguments.size() == 0) arguments.failUsage();
  SimLaunchd& launchd = simulator.mac().launchd();
  const std::string& what = arguments.keyword(0);
  if (what == "absent") {
    arguments.expectCount(1);
    if (simulator.isLaunched()) arguments.fail("the system domain is set up before launch");
    launchd.remove(helperLabel());
  } else if (what == "installed") {
    arguments.expectCount(2);
    if (simulator.isLaunched()) arguments.fail("the system domain is set up before launch");
    // The version is free text: a helper may report anything.
    const std::string& version = arguments.words()[1].text;
    std::string error;
    if (!launchd.install(helperLabel(), bundleHelperPath(simulator), version, &error))
      arguments.fail("cannot install the helper: " + error);
  } else if (what == "kill") {
    arguments.expectCount(1);
    if (!launchd.kill(helperLabel())) simulator.notice("the helper is not running");
  } else {
    arguments.failUsage();
  }
}

void setBundle(Simulator& simulator, const CommandArguments& arguments) {
  arguments.expectCount(2);
  if (arguments.keyword(0) != "helper-version") arguments.failUsage();
  const std::string& version = arguments.words()[1].text;
  std::optional<PropertyValue> value;
  if (arguments.words()[1].quoted || version != "none") value = PropertyValue(version);
  std::string error;
  if (!setEmbeddedInfoValue(bundleHelperPath(simulator), "CFBundleShortVersionString", value, &error))
    arguments.fail("cannot change the bundle's helper: " + error);
}

std::string helperState(Simulator& simulator) {
  switch (simulator.mac().launchd().jobState(helperLabel())) {
    case HelperJobState::running:
      return "running";
    case HelperJobState::stopped:
      return "stopped";
    case HelperJobState::absent:
      break;
  }
  return "absent";
}

}  // namespace

void registerHelperCommands(CommandTable& table) {
  using enum CommandPhase;
  table.add({"helper", {"helper absent", "helper installed <version>", "helper kill"}, any, setHelper});
  table.add({"bundle", {"bundle helper-version <version>|none"}, any, setBundle});
  table.addStateKey("helper", helperState);
}

}  // namespace brannic::sim
