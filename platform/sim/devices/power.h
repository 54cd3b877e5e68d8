// The simulated machine's sleep setting and the power tool that changes it.
//
// The setting lives in the machine folder (sleepSettingPath: "1" when sleep
// is disabled, "0" when enabled). The tool is a /bin/sh stand-in installed at
// <machine>/usr/bin/pmset; it accepts exactly `-a disablesleep 0|1`, changes
// the setting and prints nothing; any other arguments get a usage line on
// standard error and exit status 1.
//
// Whoever runs the tool (the helper process) does not tell the simulator, so
// the simulator calls poll() at the points where it looks at the machine
// (before handling a message from the helper, at settle, before `state`):
// each change then shows as `power: sleep disabled` / `power: sleep enabled`.
#pragma once

#include <filesystem>
#include <mutex>

#include "platform/sim/base/transcript.h"

namespace brannic::sim {

std::filesystem::path sleepSettingPath(const std::filesystem::path& machineRoot);
std::filesystem::path powerToolPath(const std::filesystem::path& machineRoot);

class SimPower {
 public:
  // Installs the tool and, when the machine has no setting yet, the setting
  // "sleep enabled"; a kept machine's setting is taken as it is (one that
  // cannot be read is reset to "sleep enabled"). Throws
  // std::runtime_error, saying why, when either cannot be written.
  // `transcript` may be null.
  SimPower(const std::filesystem::path& machineRoot, Transcript* transcript);

  // Reads the setting and reports a change since the last look. A setting
  // that cannot be read or holds anything but 0 or 1 counts as unchanged.
  void poll();
  // The setting as last seen by poll() (or at construction).
  bool sleepDisabled() const;

 private:
  const std::filesystem::path settingPath_;
  Transcript* transcript_;
  mutable std::mutex mutex_;
  bool sleepDisabled_ = false;
};

}  // namespace brannic::sim
