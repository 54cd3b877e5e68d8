// brannic-sim: hosts the application on a simulated Mac.
//
//   brannic-sim [--keep-machine DIR] [SCRIPT]
//
// Runs the commands in SCRIPT, or those read from standard input: a script
// when standard input is not a terminal, an interactive session (real
// clock, a prompt on standard error, no echo) when it is. The transcript
// goes to standard output. Exit status: 0 when the script ran to its end or
// the application terminated, 2 for a script error or bad usage. SIGINT,
// SIGTERM and SIGHUP end the session in order (the temporary machine folder
// is removed), print `sim: stopped by <signal>` and exit with 128 plus the
// signal's number.
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <exception>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "platform/sim/cli/commands.h"
#include "platform/sim/cli/descriptor_input.h"
#include "platform/sim/cli/interactive_session.h"
#include "platform/sim/machine/machine.h"
#include "platform/sim/cli/simulator.h"
#include "platform/sim/cli/termination_signals.h"

namespace {

using brannic::sim::Simulator;

constexpr const char* kUsage = "usage: brannic-sim [--keep-machine DIR] [SCRIPT]\n";

struct Invocation {
  std::optional<std::string> keepMachineAt;
  std::optional<std::string> scriptPath;
};

// Nullopt, after printing why, when the arguments are not usable.
std::optional<Invocation> parseArguments(const std::vector<std::string>& arguments) {
  Invocation invocation;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument == "--help" || argument == "-h") {
      std::fputs(kUsage, stdout);
      std::exit(Simulator::kExitSuccess);
    }
    if (argument == "--keep-machine") {
      if (i + 1 >= arguments.size()) {
        std::fputs("brannic-sim: --keep-machine needs a folder\n", stderr);
        return std::nullopt;
      }
      invocation.keepMachineAt = arguments[++i];
    } else if (argument.starts_with("-") && argument != "-") {
      std::fprintf(stderr, "brannic-sim: unknown option %s\n", argument.c_str());
      return std::nullopt;
    } else if (invocation.scriptPath) {
      std::fputs("brannic-sim: only one script at a time\n", stderr);
      return std::nullopt;
    } else {
      invocation.scriptPath = argument;
    }
  }
  return invocation;
}

std::string executablePath(const char* argv0) {
  char path[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return argv0;
  return std::string(path, static_cast<std::size_t>(length));
}

void writeTranscriptLine(const std::string& line) {
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  using namespace brannic::sim;
  // Caught before the machine folder exists, so that no signal leaves it behind.
  TerminationSignals signals;
  const std::optional<Invocation> invocation =
      parseArguments(std::vector<std::string>(argv + 1, argv + argc));
  if (!invocation) {
    std::fputs(kUsage, stderr);
    return Simulator::kExitScriptError;
  }
  std::ifstream scriptFile;
  if (invocation->scriptPath && *invocation->scriptPath != "-") {
    scriptFile.open(*invocation->scriptPath, std::ios::binary);
    if (!scriptFile) {
      std::fprintf(stderr, "brannic-sim: cannot open the script %s\n", invocation->scriptPath->c_str());
      return Simulator::kExitScriptError;
    }
  }
  const bool interactive = !scriptFile.is_open() && isatty(STDIN_FILENO) == 1;

  SimMacOptions options;
  options.clock = interactive ? ClockKind::realClock : ClockKind::virtualClock;
  options.keepMachineAt = invocation->keepMachineAt;
  options.bundleTemplate = findBundleTemplate(executablePath(argv[0]));
  if (options.bundleTemplate.empty()) {
    std::fputs(
        "brannic-sim: no application bundle template (Brannic.app) next to the executable or in the build "
        "tree; build the brannic_resources target\n",
        stderr);
    return Simulator::kExitScriptError;
  }

  Transcript transcript(writeTranscriptLine);
  std::optional<SimMac> mac;
  try {
    mac.emplace(transcript, options);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "brannic-sim: cannot set up the simulated machine: %s\n", error.what());
    return Simulator::kExitScriptError;
  }
  CommandTable table;
  registerAllCommands(table);
  Simulator simulator(*mac, table);
  int status = Simulator::kExitSuccess;
  if (interactive) {
    status = runInteractiveSession(simulator, STDIN_FILENO, signals.caughtFd());
  } else {
    DescriptorInput standardInput(STDIN_FILENO, signals.caughtFd());
    std::istream piped(&standardInput);
    status = simulator.runScript(scriptFile.is_open() ? static_cast<std::istream&>(scriptFile) : piped,
                                 [&signals] { return signals.caught() != 0; });
  }
  if (const int signal = signals.caught()) {
    simulator.notice("stopped by " + TerminationSignals::name(signal));
    return TerminationSignals::exitStatusFor(signal);  // the machine goes as the locals go
  }
  return status;
}
