// An interactive session: commands typed at a terminal, run on the real
// clock. Standard input is read on a thread of its own, so the run loop
// keeps serving timers and queued work while the owner types.
#pragma once

#include "platform/sim/cli/simulator.h"

namespace brannic::sim {

// Reads lines from `inputFd` until end of input or the application's
// termination, prompting with `brannic> ` on standard error. Errors are
// printed and the session goes on. Returns Simulator::kExitSuccess.
// REQUIRES: the simulator's run loop uses the real clock.
int runInteractiveSession(Simulator& simulator, int inputFd);

}  // namespace brannic::sim
