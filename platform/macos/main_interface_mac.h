// The application's main interface, built in code: the delegate and the
// window with the helper machinery's controls, connected as an interface
// file would connect them.
#pragma once

#include "platform/platform.h"

namespace brannic::mac {

// Makes the delegate (init), the window and its controls, connects the
// outlets and the run-command button's action, sends the delegate
// awakeFromNib and makes it the application's delegate. The objects stay
// until the process ends.
// REQUIRES: the application object exists; `platform` outlives the process's
// run loop.
void loadMainInterface(Platform& platform);

}  // namespace brannic::mac
