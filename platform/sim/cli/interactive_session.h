// An interactive session: commands typed at a terminal, run on the real
// clock. Standard input is read on a thread of its own, so the run loop
// keeps serving timers and queued work while the owner types. Events come
// in the order a script of the same commands gives them: after each
// command the session settles, and it settles again before each timer
// firing, as `wait` does on the virtual clock.
#pragma once

#include "platform/sim/cli/simulator.h"

namespace brannic::sim {

// Reads lines from `inputFd` until end of input or the application's
// termination, prompting with `brannic> ` on standard error. Errors are
// printed and the session goes on. The end of input cuts a running `wait`
// short; lines typed before it still run. `endFd`, when given, ends the
// session once it becomes readable, as the end of input does but without
// running the lines still waiting. Returns Simulator::kExitSuccess.
// REQUIRES: the simulator's run loop uses the real clock.
int runInteractiveSession(Simulator& simulator, int inputFd, int endFd = -1);

}  // namespace brannic::sim
