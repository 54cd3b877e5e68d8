// The simulator's commands, registered by area. An area adds its commands
// and `state` keys in its own file; registerAllCommands calls each area in
// the order its state keys print.
#pragma once

#include "platform/sim/cli/command_table.h"

namespace brannic::sim {

// launch, menu, action, click, type, check, set, activate.
void registerAppCommands(CommandTable& table);
// lid, audio, sound; state keys lid, volume, muted, sound.
void registerDeviceCommands(CommandTable& table);
// admin, authdb, auth, bless; state key sleep.
void registerAuthCommands(CommandTable& table);
// helper, bundle; state key helper.
void registerHelperCommands(CommandTable& table);
// screen, post; state keys screen, armed.
void registerScreenCommands(CommandTable& table);
// wait, settle, state, help.
void registerSessionCommands(CommandTable& table);

void registerAllCommands(CommandTable& table);

}  // namespace brannic::sim
