// The privileged helper on the simulated Mac. launchd starts it on demand
// with the service's listening socket and these arguments:
//   --launchd-fd <fd> --launchd-socket <path> --machine <machine folder>
//   [--idle-exit <seconds>] [--report-version <version>]
// It serves HelperProtocol until SIGTERM or until it has had no connection
// for the idle time, then exits 0. Bad arguments (or a descriptor that is
// not a listening socket) exit 64.
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>

#include "helper_client/helper_label.h"
#include "helper_tool/helper_service.h"
#include "platform/sim/authorization/client.h"
#include "platform/sim/authorization/socket.h"
#include "platform/sim/processes/process_runner.h"
#include "platform/sim/xpc/listener.h"

namespace {

constexpr int kUsageExitCode = 64;

std::atomic<brannic::sim::SimXpcListener*> runningListener{nullptr};

void stopOnSignal(int) {
  if (auto* listener = runningListener.load()) listener->stop();
}

struct HelperArguments {
  int listeningFd = -1;
  std::string socketPath;
  std::string machineRoot;
  std::optional<std::chrono::milliseconds> idleExit;
  std::string version{brannic::HelperVersion};
};

std::optional<HelperArguments> parseArguments(int argc, char** argv) {
  std::map<std::string, std::string> values;
  for (int i = 1; i < argc; i += 2) {
    const std::string name = argv[i];
    if (i + 1 >= argc || name.rfind("--", 0) != 0) return std::nullopt;
    values[name] = argv[i + 1];
  }
  HelperArguments arguments;
  try {
    for (const auto& [name, value] : values) {
      if (name == "--launchd-fd") {
        arguments.listeningFd = std::stoi(value);
      } else if (name == "--launchd-socket") {
        arguments.socketPath = value;
      } else if (name == "--machine") {
        arguments.machineRoot = value;
      } else if (name == "--idle-exit") {
        arguments.idleExit = std::chrono::milliseconds(static_cast<long long>(std::stod(value) * 1000));
      } else if (name == "--report-version") {
        arguments.version = value;
      } else {
        return std::nullopt;
      }
    }
  } catch (const std::exception&) {
    return std::nullopt;
  }
  if (arguments.listeningFd < 0 || arguments.socketPath.empty() || arguments.machineRoot.empty())
    return std::nullopt;
  if (arguments.idleExit && arguments.idleExit->count() < 0) return std::nullopt;
  int listening = 0;
  socklen_t size = sizeof listening;
  if (::getsockopt(arguments.listeningFd, SOL_SOCKET, SO_ACCEPTCONN, &listening, &size) != 0 || !listening)
    return std::nullopt;
  return arguments;
}

}  // namespace

int main(int argc, char** argv) {
  const std::optional<HelperArguments> arguments = parseArguments(argc, argv);
  if (!arguments) {
    std::fprintf(stderr,
                 "usage: %s --launchd-fd <fd> --launchd-socket <path> --machine <folder> "
                 "[--idle-exit <seconds>] [--report-version <version>]\n",
                 argc > 0 ? argv[0] : "helper");
    return kUsageExitCode;
  }
  ::signal(SIGPIPE, SIG_IGN);

  brannic::sim::SimXpcListener listener(brannic::sim::OwnedFd(arguments->listeningFd), arguments->socketPath,
                                        {arguments->idleExit});
  runningListener.store(&listener);
  struct sigaction action {};
  action.sa_handler = stopOnSignal;
  ::sigaction(SIGTERM, &action, nullptr);

  brannic::sim::SimAuthorizationClient authorization(
      brannic::sim::authorizationSocketPath(arguments->machineRoot));
  brannic::sim::SimProcessRunner processes(arguments->machineRoot);
  brannic::serveHelper(listener, authorization, processes, arguments->version);

  ::signal(SIGTERM, SIG_DFL);
  runningListener.store(nullptr);
  return 0;
}
