#include "platform/sim/cli/simulator.h"

#include <exception>
#include <string>

namespace brannic::sim {

Simulator::LineOutcome Simulator::runLine(std::string_view line, int lineNumber, bool echo) {
  if (terminated_) return LineOutcome::terminated;
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.remove_suffix(1);
  const std::string_view content = trimBlanks(line);
  if (content.empty() || content.front() == '#') return LineOutcome::skipped;
  if (echo) transcript().writeLine("> " + std::string(line));
  try {
    run(content);
  } catch (const CommandError& error) {
    notice("error line " + std::to_string(lineNumber) + ": " + error.what());
    return LineOutcome::failed;
  } catch (const std::exception& error) {
    // The machine itself failed (a file it could not write, ...): the line
    // could not be run, and the session must not end in a crash.
    notice("error line " + std::to_string(lineNumber) + ": " + escapeText(error.what()));
    return LineOutcome::failed;
  }
  return terminated_ ? LineOutcome::terminated : LineOutcome::ran;
}

void Simulator::run(std::string_view line) {
  const auto [name, rest] = splitCommandName(line);
  const Command* command = table_.find(name);
  if (command == nullptr) throw CommandError("unknown command " + sim::quoted(name));
  if (command->phase == CommandPhase::afterLaunch && !isLaunched()) {
    throw CommandError(command->name + ": needs a launched application; use launch first");
  }
  if (command->phase == CommandPhase::beforeLaunch && isLaunched()) {
    throw CommandError(command->name + ": must come before launch");
  }
  const CommandArguments arguments(*command, rest);
  command->run(*this, arguments);
}

int Simulator::runScript(std::istream& script, const std::function<bool()>& stop) {
  std::string line;
  int lineNumber = 0;
  while (!(stop && stop()) && std::getline(script, line)) {
    ++lineNumber;
    switch (runLine(line, lineNumber, /*echo=*/true)) {
      case LineOutcome::failed:
        return kExitScriptError;
      case LineOutcome::terminated:
        return kExitSuccess;
      case LineOutcome::ran:
      case LineOutcome::skipped:
        break;
    }
  }
  return kExitSuccess;
}

void Simulator::terminate() {
  terminated_ = true;
  notice("application terminated");
}

}  // namespace brannic::sim
