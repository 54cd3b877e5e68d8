#include "platform/sim/cli/termination_signals.h"

#include <atomic>

namespace brannic::sim {
namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

// What the handler touches: only a lock-free atomic and a pipe's write end.
std::atomic<int> caughtSignal{0};
const WakePipe* activePipe = nullptr;
static_assert(std::atomic<int>::is_always_lock_free);

void onSignal(int signal) {
  int none = 0;
  if (!caughtSignal.compare_exchange_strong(none, signal)) {
    // The orderly end is already under way and was asked again: end now.
    std::signal(signal, SIG_DFL);
    std::raise(signal);
    return;
  }
  if (activePipe) activePipe->wake();
}

}  // namespace

TerminationSignals::TerminationSignals() {
  caughtSignal = 0;
  activePipe = &wakePipe_;
  struct sigaction action {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;  // every other read and wait goes on as if nothing happened
  for (const int signal : kSignals) ::sigaction(signal, &action, nullptr);
}

TerminationSignals::~TerminationSignals() {
  for (const int signal : kSignals) std::signal(signal, SIG_DFL);
  activePipe = nullptr;
}

int TerminationSignals::caught() const { return caughtSignal.load(); }

std::string TerminationSignals::name(int signal) {
  switch (signal) {
    case SIGINT: return "SIGINT";
    case SIGTERM: return "SIGTERM";
    case SIGHUP: return "SIGHUP";
    default: return "signal " + std::to_string(signal);
  }
}

}  // namespace brannic::sim
