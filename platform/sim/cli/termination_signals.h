// SIGINT, SIGTERM and SIGHUP, caught for brannic-sim so that they end the
// session the way the end of its input does: the line that runs finishes,
// no further line is read, and the machine is taken down in order (its
// helper stopped, its temporary folder removed). The handler only notes the
// signal and wakes a pipe that the session's input watches. A second signal
// while the first is being handled ends the process at once, as it would
// without the handlers.
#pragma once

#include <csignal>
#include <string>

#include "platform/sim/base/unix_socket.h"

namespace brannic::sim {

class TerminationSignals {
 public:
  // Installs the handlers. REQUIRES: one instance at a time.
  TerminationSignals();
  // Puts the default handling back.
  ~TerminationSignals();
  TerminationSignals(const TerminationSignals&) = delete;
  TerminationSignals& operator=(const TerminationSignals&) = delete;

  // Readable, and stays so, once a signal has been caught.
  int caughtFd() const { return wakePipe_.readFd(); }
  // The first signal caught, or 0.
  int caught() const;

  // The exit status of a process ended by `signal`, as a shell reports it.
  static int exitStatusFor(int signal) { return 128 + signal; }
  // "SIGINT", "SIGTERM" or "SIGHUP".
  static std::string name(int signal);

 private:
  WakePipe wakePipe_;
};

}  // namespace brannic::sim
