#include "platform/sim/cli/commands.h"

namespace brannic::sim {

void registerAllCommands(CommandTable& table) {
  registerSessionCommands(table);
  registerAppCommands(table);
  registerDeviceCommands(table);
  registerAuthCommands(table);
  registerHelperCommands(table);
  registerScreenCommands(table);
}

}  // namespace brannic::sim
