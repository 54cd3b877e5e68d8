// Time and the simulator itself: wait, settle, state, help.
#include "platform/sim/cli/commands.h"
#include "platform/sim/cli/simulator.h"

namespace brannic::sim {
namespace {

// The longest single wait: long enough for any scenario, short enough that
// a script cannot keep a 0.5 s watch firing for hours.
constexpr double kLongestWait = 3600;

void wait(Simulator& simulator, const CommandArguments& arguments) {
  arguments.expectCount(1);
  simulator.mac().advance(arguments.number(0, 0, kLongestWait), simulator.waitCutShort());
}

void settle(Simulator& simulator, const CommandArguments& arguments) {
  arguments.expectCount(0);
  simulator.mac().settle();
}

void printState(Simulator& simulator, const CommandArguments& arguments) {
  arguments.expectCount(0);
  std::string line;
  for (const auto& [key, value] : simulator.table().stateKeys()) {
    line += (line.empty() ? "" : " ") + key + "=" + escapeText(value(simulator));
  }
  simulator.transcript().emit("state", line);
}

// The transcript's channels, for the last line of `help`.
constexpr const char* kChannels =
    "channels: stdout, syslog (the app's system log), helper-syslog (the helper's system log), log, ui, "
    "audio, sound, auth, launchd, ipc, power, state, sim";

void help(Simulator& simulator, const CommandArguments& arguments) {
  arguments.expectCount(0);
  for (const Command& command : simulator.table().commands()) {
    for (const std::string& form : command.usage) simulator.notice(escapeText(form));
  }
  simulator.notice(kChannels);
}

}  // namespace

void registerSessionCommands(CommandTable& table) {
  using enum CommandPhase;
  table.add({"wait", {"wait <seconds>"}, any, wait});
  table.add({"settle", {"settle"}, any, settle});
  table.add({"state", {"state"}, any, printState});
  table.add({"help", {"help"}, any, help});
}

}  // namespace brannic::sim
