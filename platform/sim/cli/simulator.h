// Runs the simulator's command language on a simulated Mac: one line at a
// time, from a script or from an interactive session.
#pragma once

#include <functional>
#include <istream>
#include <string>
#include <string_view>

#include "platform/sim/cli/command_table.h"
#include "platform/sim/machine/main_interface.h"
#include "platform/sim/machine/machine.h"
#include "platform/sim/base/transcript.h"

namespace brannic::sim {

class Simulator {
 public:
  enum class LineOutcome { ran, skipped, failed, terminated };

  // Exit statuses of a run.
  static constexpr int kExitSuccess = 0;
  static constexpr int kExitScriptError = 2;

  // REQUIRES: `mac` and `table` outlive the simulator.
  Simulator(SimMac& mac, const CommandTable& table) : mac_(mac), table_(table) {}

  // Runs one line of input. Blank lines and lines whose first non-blank
  // character is `#` are skipped. With `echo`, a line that is run is first
  // written as `> <line>`. A line that cannot be run prints
  // `sim: error line <lineNumber>: <why>`. After the application has
  // terminated, nothing runs.
  LineOutcome runLine(std::string_view line, int lineNumber, bool echo);

  // Runs a script to its end, to its first error or to the application's
  // termination, echoing each command; when given, `stop` is asked before
  // each line and ends the run as the end of the script would. Returns
  // kExitSuccess or kExitScriptError.
  int runScript(std::istream& script, const std::function<bool()>& stop = nullptr);

  SimMac& mac() { return mac_; }
  Transcript& transcript() { return mac_.transcript(); }
  const CommandTable& table() const { return table_; }
  // REQUIRES: isLaunched().
  MainInterface& application() { return *mac_.application(); }
  bool isLaunched() { return mac_.application() != nullptr; }

  // The application ends at once: prints `sim: application terminated`;
  // the simulator reads no further commands.
  void terminate();
  bool isTerminated() const { return terminated_; }
  // Prints `sim: <text>`; `text` must already be escaped.
  void notice(std::string_view text) { transcript().emit("sim", text); }

  // Whether the owner wants a running `wait` cut short. An interactive
  // session answers "the input has ended", so that Ctrl-D never sits out a
  // long wait; a script never cuts a wait short.
  void setWaitCutShort(std::function<bool()> cutShort) { waitCutShort_ = std::move(cutShort); }
  const std::function<bool()>& waitCutShort() const { return waitCutShort_; }

 private:
  void run(std::string_view line);

  SimMac& mac_;
  const CommandTable& table_;
  bool terminated_ = false;
  std::function<bool()> waitCutShort_;
};

}  // namespace brannic::sim
