#include "platform/sim/devices/power.h"

#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>

namespace brannic::sim {

namespace {

// `text` as one single-quoted shell word.
std::string shellQuoted(const std::string& text) {
  std::string quotedText = "'";
  for (const char c : text) quotedText += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quotedText + "'";
}

// The setting is replaced by a rename, so a reader never sees half a write.
std::string powerToolScript(const std::filesystem::path& settingPath) {
  return "#!/bin/sh\n"
         "# The simulated machine's power tool: only `-a disablesleep 0|1`.\n"
         "setting=" +
         shellQuoted(settingPath.string()) +
         "\n"
         "if [ \"$#\" -ne 3 ] || [ \"$1\" != \"-a\" ] || [ \"$2\" != \"disablesleep\" ] ||\n"
         "   { [ \"$3\" != \"0\" ] && [ \"$3\" != \"1\" ]; }; then\n"
         "  echo \"usage: pmset -a disablesleep 0|1\" >&2\n"
         "  exit 1\n"
         "fi\n"
         "printf '%s\\n' \"$3\" > \"$setting.new\" && mv -f \"$setting.new\" \"$setting\" || exit 1\n";
}

std::optional<bool> readSetting(const std::filesystem::path& path) {
  std::ifstream file(path);
  std::string text;
  if (!file || !(file >> text)) return std::nullopt;
  std::string rest;
  if (file >> rest) return std::nullopt;
  if (text == "1") return true;
  if (text == "0") return false;
  return std::nullopt;
}

void writeFile(const std::filesystem::path& path, const std::string& text) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << text;
  file.close();
  if (!file) throw std::runtime_error("cannot write " + path.string());
}

}  // namespace

std::filesystem::path sleepSettingPath(const std::filesystem::path& machineRoot) {
  return machineRoot / "var" / "db" / "sleep_disabled";
}

std::filesystem::path powerToolPath(const std::filesystem::path& machineRoot) {
  return machineRoot / "usr" / "bin" / "pmset";
}

SimPower::SimPower(const std::filesystem::path& machineRoot, Transcript* transcript)
    : settingPath_(sleepSettingPath(machineRoot)), transcript_(transcript) {
  const auto tool = powerToolPath(machineRoot);
  std::error_code error;
  std::filesystem::create_directories(tool.parent_path(), error);
  std::filesystem::create_directories(settingPath_.parent_path(), error);
  writeFile(tool, powerToolScript(settingPath_));
  std::filesystem::permissions(tool, std::filesystem::perms(0755), error);
  if (error) throw std::runtime_error("cannot make " + tool.string() + " executable: " + error.message());
  if (const auto setting = readSetting(settingPath_)) {
    sleepDisabled_ = *setting;
  } else {
    writeFile(settingPath_, "0\n");
  }
}

void SimPower::poll() {
  const auto setting = readSetting(settingPath_);
  std::lock_guard lock(mutex_);
  if (!setting || *setting == sleepDisabled_) return;
  sleepDisabled_ = *setting;
  if (transcript_) transcript_->emit("power", sleepDisabled_ ? "sleep disabled" : "sleep enabled");
}

bool SimPower::sleepDisabled() const {
  std::lock_guard lock(mutex_);
  return sleepDisabled_;
}

}  // namespace brannic::sim
