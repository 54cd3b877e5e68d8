// The helper's round trip, its start on demand and its restoring of sleep
// when the application ends, on the simulated Mac's real transport: a
// request leaves the main thread, the helper process answers, the reply
// block runs on the connection's queue and hands the answer to the main
// queue, where the round trip ends.
//
// Each benchmark reports the median and the 99th percentile of its
// iterations (p50_us, p99_us) besides Google Benchmark's own figures.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include "bench/bench_machine.h"
#include "helper_client/helper_protocol.h"
#include "platform/sim/devices/power.h"

namespace brannic::sim {
namespace {

using Clock = std::chrono::steady_clock;

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
    machine.launchd().kill(BenchMachine::kLabel);
    connection.reset();
    state.ResumeTiming();
  }
  reportPercentiles(state, std::move(samples));
}

// The application ends while it holds sleep disabled: from the moment its
// connection closes until the helper has enabled sleep again with the
// machine's power tool, written its log line and closed its end (which is
// when the simulator goes on). The "1" before it is not timed.
void BM_SleepRestoredAfterTheApplicationEnds(benchmark::State& state) {
  BenchMachine machine;
  if (!machine.installed()) return state.SkipWithError("the helper cannot be installed");
  SimPower power(machine.root(), nullptr);  // the machine's real power tool, not the do-nothing one
  std::vector<double> samples;
  for (auto _ : state) {
    state.PauseTiming();
    auto connection = machine.connect();
    const auto armed = machine.roundTrip(*connection, selectors::runCommandLsWithPathCompletion,
                                         {std::string("1")});
    power.poll();
    if (!armed || !power.sleepDisabled()) return state.SkipWithError("sleep could not be disabled");
    state.ResumeTiming();
    const auto start = Clock::now();
    machine.endApplication();
    const double micros = std::chrono::duration<double, std::micro>(Clock::now() - start).count();
    power.poll();
    if (power.sleepDisabled()) return state.SkipWithError("sleep was not enabled again");
    state.SetIterationTime(micros / 1e6);
    samples.push_back(micros);
    state.PauseTiming();
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
BENCHMARK(BM_SleepRestoredAfterTheApplicationEnds)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(200);

}  // namespace
}  // namespace brannic::sim
