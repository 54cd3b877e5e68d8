// The simulated machine's system log for its other processes: the
// application's own lines go straight to the transcript (`syslog:`, see
// sim_console.h), but the helper runs in a process of its own, so it writes
// to var/log/system.log in the machine folder, and the simulator prints each
// entry that is new since it last looked as `helper-syslog: <text>`.
//
// One entry per line, escaped as the transcript escapes text, so an entry
// is always one line and prints as it was written.
#pragma once

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/sim/base/transcript.h"
#include "platform/system_log.h"

namespace brannic::sim {

std::filesystem::path machineLogPath(const std::filesystem::path& machineRoot);

// The helper's side. Each entry is one write to the file opened for
// appending, so entries from several threads never mix. An entry that
// cannot be written is lost, as it would be on a full disk.
class SimMachineLog final : public SystemLog {
 public:
  explicit SimMachineLog(const std::filesystem::path& machineRoot) : path_(machineLogPath(machineRoot)) {}
  void log(std::string_view text) override;

 private:
  const std::filesystem::path path_;
};

// The simulator's side.
class SimMachineLogReader {
 public:
  // Starts after what the log already holds (a kept machine's earlier
  // runs). `transcript` may be null.
  SimMachineLogReader(const std::filesystem::path& machineRoot, Transcript* transcript);

  // Prints every whole entry written since the last look. A log that has
  // shrunk (replaced meanwhile) is read again from its start.
  void poll();

 private:
  const std::filesystem::path path_;
  Transcript* const transcript_;
  std::mutex mutex_;
  std::uintmax_t offset_ = 0;
};

}  // namespace brannic::sim
