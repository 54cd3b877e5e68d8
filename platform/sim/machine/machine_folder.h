// The folder that holds the simulated machine's file system: the installed
// application, the tools the shell finds, the system's databases and
// launchd's domain. A fresh temporary folder for each run, removed at the
// end, unless the simulator is told to keep one.
#pragma once

#include <optional>
#include <string>

namespace brannic::sim {

class MachineFolder {
 public:
  // With `keepAt`: that folder (made absolute, created when missing, used
  // as it is when it exists, so a kept machine carries its state into the
  // next run), never removed. Without: a new folder under the system's
  // temporary folder, removed with everything in it when this object goes.
  // Throws std::runtime_error saying why the folder cannot be had.
  explicit MachineFolder(const std::optional<std::string>& keepAt);
  ~MachineFolder();
  MachineFolder(const MachineFolder&) = delete;
  MachineFolder& operator=(const MachineFolder&) = delete;

  // Absolute, without a trailing slash.
  const std::string& path() const { return path_; }
  bool isKept() const { return kept_; }

 private:
  std::string path_;
  bool kept_;
};

}  // namespace brannic::sim
