// The simulated I/O registry: an `ioreg` stand-in put first on the shell's
// PATH, which prints a registry dump whose clamshell line reads as the real
// tool's does, no such line, or raw bytes the script gives. The stand-in
// ignores its arguments; the system's own grep and head do the filtering.
//
// Threads: set the lid from one thread; probes may run meanwhile on any
// thread and see either the old or the new dump, never a mix.
#pragma once

#include <string>

namespace brannic::sim {

enum class LidState { open, closed, none };

class SimRegistry {
 public:
  // Writes the stand-in `ioreg` and its dump into `binDirectory` (which must
  // exist; an absolute path), with the lid open. Throws std::system_error
  // when a file cannot be written.
  explicit SimRegistry(std::string binDirectory);
  void setLid(LidState state);
  void setRawDump(std::string bytes);  // the whole dump, exactly these bytes
  // "open", "closed", "none" or "raw".
  std::string lidDescription() const;
  // The folder to put first on the shell's PATH.
  const std::string& binDirectory() const { return binDirectory_; }
  // The dump printed for a machine with the lid in `state`.
  static std::string registryDump(LidState state);

 private:
  void writeDump(const std::string& bytes);
  std::string binDirectory_;
  std::string description_;
};

}  // namespace brannic::sim
