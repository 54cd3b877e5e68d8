// The simulated I/O registry: an `ioreg` stand-in put first on the shell's
// PATH, which prints a registry dump whose clamshell line reads as the real
// tool's does, no such line, or raw bytes the script gives. The stand-in
// ignores its arguments; the system's own grep and head do the filtering.
//
// A lid sequence queues one dump per state: each run of the stand-in takes
// the first dump still queued (by renaming it, which only one run can do),
// so every probe reads the next state once, even when probes overlap. When
// the queue is empty the stand-in prints the dump that stays.
//
// Threads: set the lid from one thread; probes may run meanwhile on any
// thread and see either the old or the new setting, never a mix of dumps.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace brannic::sim {

enum class LidState { open, closed, none };

class SimIoRegistry {
 public:
  // Writes the stand-in `ioreg` and its dump into `binDirectory` (which must
  // exist; an absolute path), with the lid open and nothing queued (a queue
  // left there by an earlier run is emptied). Throws std::system_error when
  // a file cannot be written.
  explicit SimIoRegistry(std::string binDirectory);
  void setLid(LidState state);
  // The next probes read `states` in order, one state each; the last state
  // then stays, as setLid leaves it. Replaces whatever was queued. Throws
  // std::invalid_argument when `states` is empty, std::system_error when a
  // file cannot be written (nothing is queued then, and the dump that stays
  // is the earlier one).
  void setLidSequence(const std::vector<LidState>& states);
  void setRawDump(std::string bytes);  // the whole dump, exactly these bytes
  // "open", "closed", "none" or "raw"; while a sequence runs, the states
  // still to be read and the one that stays, joined by commas
  // ("closed,open").
  std::string lidDescription() const;
  // The folder to put first on the shell's PATH.
  const std::string& binDirectory() const { return binDirectory_; }
  // The dump printed for a machine with the lid in `state`.
  static std::string registryDump(LidState state);

 private:
  struct QueuedDump {
    std::filesystem::path file;
    std::string description;
  };
  // The dump printed once the queue is empty.
  void setStayingDump(const std::string& bytes, std::string description);
  void clearQueue();
  std::filesystem::path queueDirectory() const;

  std::string binDirectory_;
  std::string description_;
  std::vector<QueuedDump> queued_;
  std::uint64_t dumpsQueued_ = 0;  // names the queued dumps in order
};

}  // namespace brannic::sim
