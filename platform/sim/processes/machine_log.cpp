#include "platform/sim/processes/machine_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <fstream>
#include <system_error>

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
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(path_, error);
  if (error || size == offset_) return;
  if (size < offset_) offset_ = 0;
  std::ifstream file(path_, std::ios::binary);
  if (!file.seekg(static_cast<std::streamoff>(offset_))) return;
  // Only whole entries: one still being written is read at the next look.
  std::string line;
  while (std::getline(file, line) && !file.eof()) {
    offset_ += line.size() + 1;
    if (transcript_) transcript_->emit("helper-syslog", line);
  }
}

}  // namespace brannic::sim
