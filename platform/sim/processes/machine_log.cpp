#include "platform/sim/processes/machine_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <system_error>

#include "platform/sim/base/file_io.h"

namespace brannic::sim {

std::filesystem::path machineLogPath(const std::filesystem::path& machineRoot) {
  return machineRoot / "var" / "log" / "system.log";
}

void SimMachineLog::log(std::string_view text) {
  std::error_code ignored;
  std::filesystem::create_directories(path_.parent_path(), ignored);
  const int fd = ::open(path_.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return;
  const std::string entry = escapeText(text) + "\n";
  [[maybe_unused]] const ssize_t written = ::write(fd, entry.data(), entry.size());
  ::close(fd);
}

SimMachineLogReader::SimMachineLogReader(const std::filesystem::path& machineRoot, Transcript* transcript)
    : path_(machineLogPath(machineRoot)), transcript_(transcript) {
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(path_, error);
  if (!error) offset_ = size;
}

void SimMachineLogReader::poll() {
  std::lock_guard lock(mutex_);
  // Only whole entries: one still being written is read at the next look.
  for (const std::string& line : readAppendedLines(path_, offset_)) {
    if (transcript_) transcript_->emit("helper-syslog", line);
  }
}

}  // namespace brannic::sim
