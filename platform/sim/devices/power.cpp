#include "platform/sim/devices/power.h"

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>

#include "platform/sim/base/file_io.h"
#include "platform/sim/base/shell_quoting.h"

namespace brannic::sim {

namespace {

// The setting is replaced by a rename, so a reader never sees half a write.
// The journal line is one small appending write, whole or not there at all.
std::string powerToolScript(const std::filesystem::path& settingPath,
                            const std::filesystem::path& journalPath) {
  return "#!/bin/sh\n"
         "# The simulated machine's power tool: only `-a disablesleep 0|1`.\n"
         "setting=" +
         shellQuoted(settingPath.string()) +
         "\n"
         "journal=" +
         shellQuoted(journalPath.string()) +
         "\n"
         "if [ \"$#\" -ne 3 ] || [ \"$1\" != \"-a\" ] || [ \"$2\" != \"disablesleep\" ] ||\n"
         "   { [ \"$3\" != \"0\" ] && [ \"$3\" != \"1\" ]; }; then\n"
         "  echo \"usage: pmset -a disablesleep 0|1\" >&2\n"
         "  exit 1\n"
         "fi\n"
         "printf '%s\\n' \"$3\" > \"$setting.new\" && mv -f \"$setting.new\" \"$setting\" || exit 1\n"
         "printf '%s\\n' \"$3\" >> \"$journal\" || exit 1\n";
}

std::optional<bool> readSetting(const std::filesystem::path& path) {
  const std::optional<std::string> contents = readFileToString(path);
  if (!contents) return std::nullopt;
  std::istringstream file(*contents);
  std::string text;
  if (!(file >> text)) return std::nullopt;
  std::string rest;
  if (file >> rest) return std::nullopt;
  if (text == "1") return true;
  if (text == "0") return false;
  return std::nullopt;
}

void writeFile(const std::filesystem::path& path, const std::string& text) {
  if (!writeStringToFileAtomically(path, text)) throw std::runtime_error("cannot write " + path.string());
}

}  // namespace

std::filesystem::path sleepSettingPath(const std::filesystem::path& machineRoot) {
  return machineRoot / "var" / "db" / "sleep_disabled";
}

std::filesystem::path powerToolPath(const std::filesystem::path& machineRoot) {
  return machineRoot / "usr" / "bin" / "pmset";
}

std::filesystem::path sleepJournalPath(const std::filesystem::path& machineRoot) {
  return machineRoot / "var" / "db" / "sleep_disabled.journal";
}

SimPower::SimPower(const std::filesystem::path& machineRoot, Transcript* transcript)
    : settingPath_(sleepSettingPath(machineRoot)), journalPath_(sleepJournalPath(machineRoot)),
      transcript_(transcript) {
  const auto tool = powerToolPath(machineRoot);
  std::error_code error;
  std::filesystem::create_directories(tool.parent_path(), error);
  std::filesystem::create_directories(settingPath_.parent_path(), error);
  writeFile(tool, powerToolScript(settingPath_, journalPath_));
  std::filesystem::permissions(tool, std::filesystem::perms(0755), error);
  if (error) throw std::runtime_error("cannot make " + tool.string() + " executable: " + error.message());
  if (const auto setting = readSetting(settingPath_)) {
    sleepDisabled_ = *setting;
  } else {
    writeFile(settingPath_, "0\n");
  }
  // What a kept machine's journal holds happened in earlier runs.
  writeFile(journalPath_, "");
}

void SimPower::poll() {
  std::lock_guard lock(mutex_);
  // Only whole lines: the tool may be writing the next one now.
  for (const std::string& line : readAppendedLines(journalPath_, journalRead_)) {
    if (line != "0" && line != "1") continue;
    const bool disabled = line == "1";
    if (disabled == sleepDisabled_) continue;
    sleepDisabled_ = disabled;
    if (transcript_) transcript_->emit("power", sleepDisabled_ ? "sleep disabled" : "sleep enabled");
  }
}

bool SimPower::sleepDisabled() const {
  std::lock_guard lock(mutex_);
  return sleepDisabled_;
}

}  // namespace brannic::sim
