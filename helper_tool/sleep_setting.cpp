#include "helper_tool/sleep_setting.h"

namespace brannic {

std::vector<std::string> sleepSettingArguments(bool disableSleep) {
  return {"-a", "disablesleep", disableSleep ? "1" : "0"};
}

SleepSetting::Holder SleepSetting::newHolder() {
  std::lock_guard lock(mutex_);
  return nextHolder_++;
}

std::optional<ProcessResult> SleepSetting::change(Holder holder, bool disableSleep) {
  std::lock_guard lock(mutex_);
  std::optional<ProcessResult> result = processes_.run(kPowerToolPath, sleepSettingArguments(disableSleep));
  if (result && result->exitCode == 0) {
    if (disableSleep) {
      leases_.insert(holder);
    } else {
      leases_.clear();
    }
  }
  return result;
}

void SleepSetting::holderEnded(Holder holder) {
  std::lock_guard lock(mutex_);
  if (leases_.erase(holder) == 0 || !leases_.empty()) return;
  const std::optional<ProcessResult> result = processes_.run(kPowerToolPath, sleepSettingArguments(false));
  if (!result) {
    log_.log(std::string(kSleepRestoreFailedLogPrefix) + kPowerToolPath + " could not be started.");
  } else if (result->exitCode != 0) {
    log_.log(std::string(kSleepRestoreFailedLogPrefix) + kPowerToolPath + " exited with " +
             std::to_string(result->exitCode) + ".");
  } else {
    log_.log(kSleepRestoredLogLine);
  }
}

}  // namespace brannic
