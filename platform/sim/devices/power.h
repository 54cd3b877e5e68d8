// The simulated machine's sleep setting and the power tool that changes it.
//
// The setting lives in the machine folder (sleepSettingPath: "1" when sleep
// is disabled, "0" when enabled). The tool is a /bin/sh stand-in installed at
// <machine>/usr/bin/pmset; it accepts exactly `-a disablesleep 0|1`, changes
// the setting and prints nothing; any other arguments get a usage line on
// standard error and exit status 1. It also appends each value it sets to
// a journal (sleepJournalPath), one line each.
//
// Whoever runs the tool (the helper process) does not tell the simulator, so
// the simulator calls poll() at the points where it looks at the machine
// (before handling a message from the helper, at settle, before `state`):
// each change since the last look then shows, in order, as
// `power: sleep disabled` / `power: sleep enabled`, even one that was
// undone before the look.
#pragma once

#include <cstdint>
#include <filesystem>
#include <mutex>

#include "platform/sim/base/transcript.h"

namespace brannic::sim {

std::filesystem::path sleepSettingPath(const std::filesystem::path& machineRoot);
std::filesystem::path powerToolPath(const std::filesystem::path& machineRoot);
std::filesystem::path sleepJournalPath(const std::filesystem::path& machineRoot);

class SimPower {
 public:
  // Installs the tool and, when the machine has no setting yet, the setting
  // "sleep enabled"; a kept machine's setting is taken as it is (one that
  // cannot be read is reset to "sleep enabled"). Throws
  // std::runtime_error, saying why, when either cannot be written.
  // `transcript` may be null.
  SimPower(const std::filesystem::path& machineRoot, Transcript* transcript);

  // Reports each change the journal holds since the last look. A value that
  // sets what the setting already was is no change; a line that is not 0
  // or 1, or not yet ended, is passed over (the latter until it ends).
  void poll();
  // The setting as last seen by poll() (or at construction).
  bool sleepDisabled() const;

 private:
  const std::filesystem::path settingPath_;
  const std::filesystem::path journalPath_;
  Transcript* transcript_;
  mutable std::mutex mutex_;
  bool sleepDisabled_ = false;
  std::uintmax_t journalRead_ = 0;  // bytes of the journal already looked at
};

}  // namespace brannic::sim
