// One `fireTimer` on a closed lid, in the launched application on the
// simulated Mac: two real lid probes and one alarm (the sound resource
// opened and checked, the volume read and raised, the player replaced and
// started). The transcript is discarded.
#include <benchmark/benchmark.h>

#include "build_config.h"
#include "lid_alarm/view_controller.h"
#include "platform/sim/machine/machine.h"
#include "platform/sim/base/transcript.h"

namespace brannic::sim {
namespace {

void BM_FireTimerOnClosedLid(benchmark::State& state) {
  Transcript transcript([](const std::string&) {});
  SimMacOptions options;
  options.bundleTemplate = BRANNIC_BINARY_DIR "/Brannic.app";
  {
    SimMac mac(transcript, options);
    if (!mac.launch()) {
      state.SkipWithError("the application did not launch");
      return;
    }
    mac.settle();
    mac.registry().setLid(LidState::closed);
    AppDelegate& delegate = mac.application()->delegate();
    for (auto _ : state) {
      delegate.fireTimer();
    }
    mac.settle();
    if (mac.audioPlayers().isPlaying() == false) state.SkipWithError("no alarm sound was played");
  }
  // The player of the last alarm belonged to that machine.
  releaseAlarmPlayer();
}

BENCHMARK(BM_FireTimerOnClosedLid)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(10)
    ->ReportAggregatesOnly(true);

}  // namespace
}  // namespace brannic::sim
