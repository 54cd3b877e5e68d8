// One lid probe: /bin/sh runs the registry stand-in, grep and head for real,
// and the probe reads and checks their output.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <random>
#include <string>

#include "lid_alarm/view_controller.h"
#include "platform/sim/devices/io_registry.h"
#include "platform/sim/processes/shell.h"

namespace brannic::sim {
namespace {

void BM_LidProbe(benchmark::State& state, LidState lid) {
  std::random_device seed;
  const auto folder = std::filesystem::temp_directory_path() / ("brannic-bench-" + std::to_string(seed()));
  std::filesystem::create_directories(folder);
  {
    SimRegistry registry(folder.string());
    registry.setLid(lid);
    SimShell shell(registry.binDirectory());
    const bool expected = lid == LidState::open;
    for (auto _ : state) {
      if (lidIsOpen(shell) != expected) state.SkipWithError("the probe read the wrong lid state");
    }
  }
  std::filesystem::remove_all(folder);
}

BENCHMARK_CAPTURE(BM_LidProbe, open, LidState::open)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(10)
    ->ReportAggregatesOnly(true);
BENCHMARK_CAPTURE(BM_LidProbe, closed, LidState::closed)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(10)
    ->ReportAggregatesOnly(true);

}  // namespace
}  // namespace brannic::sim
