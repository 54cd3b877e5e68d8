// The machine's sleep setting as the helper changes it. Every connection's
// "1" and "0" runs the power tool through here, so that sleep is never left
// disabled by an application that is gone.
//
// A connection holds a lease on "sleep disabled" from the last "1" that the
// tool carried out for it (exit status 0) until a "0" from any connection is
// carried out. When a connection that holds a lease ends (the application
// quit, crashed or was killed) and no other connection still holds one, the
// helper runs the tool with "0" itself and writes one line to the system
// log: kSleepRestoredLogLine, or kSleepRestoreFailedLogPrefix and why.
//
//  - A "1" that failed (the tool did not start or exited non-zero) takes no
//    lease: the tool says nothing changed, and enabling sleep later could
//    undo a setting that somebody else made. A lease held from an earlier
//    "1" of the same connection stays.
//  - A "0" that failed ends no lease: sleep may still be disabled, so the
//    holders' end still restores it.
//  - Repeated "1"s of one connection are one lease.
//
// Threads: safe from any connection's queue. Each change runs the tool and
// updates the leases under one lock, so a restore never overtakes another
// connection's "1" and a "0" never lands between a "1" and its lease.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/process_runner.h"
#include "platform/system_log.h"

namespace brannic {

// The power tool and its argument vectors.
inline constexpr const char* kPowerToolPath = "/usr/bin/pmset";
std::vector<std::string> sleepSettingArguments(bool disableSleep);

inline constexpr const char* kSleepRestoredLogLine =
    "The application that disabled sleep has gone; the helper enabled sleep again.";
// Followed by what went wrong: "<tool> exited with <status>." or
// "<tool> could not be started."
inline constexpr const char* kSleepRestoreFailedLogPrefix =
    "The application that disabled sleep has gone; the helper could not enable sleep again: ";

class SleepSetting {
 public:
  // Names one connection to the setting.
  using Holder = std::uint64_t;

  // REQUIRES: both ports outlive the setting and are safe to call from
  // several threads.
  SleepSetting(ProcessRunner& processes, SystemLog& log) : processes_(processes), log_(log) {}
  SleepSetting(const SleepSetting&) = delete;
  SleepSetting& operator=(const SleepSetting&) = delete;

  // A name for a new connection, never handed out before.
  Holder newHolder();

  // Runs the power tool for `holder`'s request and updates the leases by its
  // outcome. Returns the tool's result, or nullopt when it could not start.
  std::optional<ProcessResult> change(Holder holder, bool disableSleep);

  // `holder`'s connection has ended: its lease, if any, ends, and when it
  // was the last one sleep is enabled again. Later calls for it do nothing.
  void holderEnded(Holder holder);

 private:
  ProcessRunner& processes_;
  SystemLog& log_;
  std::mutex mutex_;  // guards what follows, and serializes the tool's runs
  Holder nextHolder_ = 1;
  std::set<Holder> leases_;
};

}  // namespace brannic
