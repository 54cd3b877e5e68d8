// The helper's round trip and its start on demand, on the simulated Mac's
// real transport: a request leaves the main thread, the helper process
// answers, the reply block runs on the connection's queue and hands the
// answer to the main queue, where the round trip ends.
//
// Each benchmark reports the median and the 99th percentile of its
// iterations (p50_us, p99_us) besides Google Benchmark's own figures.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

#include "build_config.h"
#include "helper_client/helper_label.h"
#include "helper_client/helper_protocol.h"
#include "platform/sim/launchd/launchd.h"
#include "platform/sim/run_loop/run_loop.h"
#include "platform/sim/xpc/connections.h"
#include "platform/sim/xpc/traffic.h"

namespace brannic::sim {
namespace {

using Clock = std::chrono::steady_clock;
const std::string kLabel(HelperLabel);
const std::string kHelper = BRANNIC_BINARY_DIR "/Brannic.app/Contents/Library/LaunchServices/" + kLabel;

// A throwaway machine with the helper installed and a power tool that
// does nothing.
class BenchMachine {
 public:
  BenchMachine() {
    std::string pattern = "/tmp/bc1-bench-XXXXXX";
    if (::mkdtemp(pattern.data())) root_ = pattern;
    std::filesystem::create_directories(root_ + "/usr/bin");
    std::ofstream(root_ + "/usr/bin/pmset") << "#!/bin/sh\nexit 0\n";
    ::chmod((root_ + "/usr/bin/pmset").c_str(), 0755);
    launchd_ = std::make_unique<SimLaunchd>(root_, nullptr, &traffic_);
    std::string error;
    installed_ = launchd_->install(kLabel, kHelper, std::nullopt, &error);
    connections_ = std::make_unique<SimXpcConnections>(*launchd_, &traffic_);
  }
  ~BenchMachine() {
    connections_.reset();
    launchd_.reset();
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }

  bool installed() const { return installed_; }
  SimRunLoop& runLoop() { return runLoop_; }
  SimLaunchd& launchd() { return *launchd_; }

  std::shared_ptr<XpcConnection> connect() {
    auto connection = connections_->connectionWithMachServiceName(kLabel, NSXPCConnectionPrivileged);
    connection->setRemoteObjectInterface(helperProtocolInterface());
    connection->resume();
    return connection;
  }

  // Sends one request and runs the main loop until its reply has been
  // handled there. Returns the time that took, or nullopt when it failed.
  std::optional<double> roundTrip(XpcConnection& connection, const std::string& selector,
                                  std::vector<XpcValue> arguments) {
    bool handled = false;
    bool failed = false;
    Clock::time_point end;
    auto proxy = connection.remoteObjectProxyWithErrorHandler(
        [&](const PlatformError&) { runLoop_.addOperationToMainQueue([&] { failed = handled = true; }); });
    const auto start = Clock::now();
    proxy->send(selector, std::move(arguments), [&](XpcValue) {
      runLoop_.addOperationToMainQueue([&] {
        end = Clock::now();
        handled = true;
      });
    });
    runLoop_.runUntil([&] { return handled; });
    if (failed) return std::nullopt;
    return std::chrono::duration<double, std::micro>(end - start).count();
  }

 private:
  std::string root_;
  SimRunLoop runLoop_{ClockKind::virtualClock};
  SimXpcTraffic traffic_{nullptr, nullptr};
  std::unique_ptr<SimLaunchd> launchd_;
  std::unique_ptr<SimXpcConnections> connections_;
  bool installed_ = false;
};

void reportPercentiles(benchmark::State& state, std::vector<double> samples) {
  if (samples.empty()) return;
  std::sort(samples.begin(), samples.end());
  const auto at = [&](double fraction) {
    return samples[std::min(samples.size() - 1, static_cast<std::size_t>(fraction * samples.size()))];
  };
  state.counters["p50_us"] = at(0.50);
  state.counters["p99_us"] = at(0.99);
}

// A request on a running helper: the version, which the helper answers at
// once, or "1", which runs the power tool.
void BM_HelperRoundTrip(benchmark::State& state, const char* selector, std::vector<XpcValue> arguments) {
  BenchMachine machine;
  if (!machine.installed()) return state.SkipWithError("the helper cannot be installed");
  auto connection = machine.connect();
  if (!machine.roundTrip(*connection, selector, arguments)) return state.SkipWithError("no answer");
  std::vector<double> samples;
  for (auto _ : state) {
    const auto micros = machine.roundTrip(*connection, selector, arguments);
    if (!micros) return state.SkipWithError("a request failed");
    state.SetIterationTime(*micros / 1e6);
    samples.push_back(*micros);
  }
  reportPercentiles(state, std::move(samples));
}

// The first request to a helper that is not running: launchd starts it on
// demand, the request waits for the new process to accept it.
void BM_HelperStartOnDemand(benchmark::State& state) {
  BenchMachine machine;
  if (!machine.installed()) return state.SkipWithError("the helper cannot be installed");
  std::vector<double> samples;
  for (auto _ : state) {
    auto connection = machine.connect();
    const auto micros = machine.roundTrip(*connection, selectors::getVersionWithCompletion, {});
    if (!micros) return state.SkipWithError("the request failed");
    state.SetIterationTime(*micros / 1e6);
    samples.push_back(*micros);
    state.PauseTiming();
    machine.launchd().kill(kLabel);
    connection.reset();
    state.ResumeTiming();
  }
  reportPercentiles(state, std::move(samples));
}

BENCHMARK_CAPTURE(BM_HelperRoundTrip, version, selectors::getVersionWithCompletion, std::vector<XpcValue>{})
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(2000);
BENCHMARK_CAPTURE(BM_HelperRoundTrip, disable_sleep, selectors::runCommandLsWithPathCompletion,
                  std::vector<XpcValue>{std::string("1")})
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(500);
BENCHMARK(BM_HelperStartOnDemand)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(100);

}  // namespace
}  // namespace brannic::sim
