// The simulated I/O registry: an `ioreg` stand-in put first on the shell's
// PATH, which prints a registry dump whose clamshell line reads as the real
// tool's does, no such line, or raw bytes the script gives.
#pragma once

#include <string>

namespace brannic::sim {

enum class LidState { open, closed, none };

class SimRegistry {
 public:
  // Creates the stand-in `ioreg` in `binDirectory` (which must exist).
  explicit SimRegistry(std::string binDirectory);
  void setLid(LidState state);
  void setRawDump(std::string bytes);  // the whole dump, exactly these bytes
  // "open", "closed", "none" or "raw".
  std::string lidDescription() const;
  // The folder to put first on the shell's PATH.
  const std::string& binDirectory() const { return binDirectory_; }

 private:
  void writeDump(const std::string& bytes);
  std::string binDirectory_;
  std::string description_;
};

}  // namespace brannic::sim
