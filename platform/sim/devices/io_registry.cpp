#include "platform/sim/devices/io_registry.h"

#include <filesystem>
#include <stdexcept>
#include <system_error>

#include "platform/sim/base/file_io.h"
#include "platform/sim/base/shell_quoting.h"

namespace brannic::sim {
namespace {

constexpr const char* kToolName = "ioreg";
constexpr const char* kDumpName = "ioreg.dump";
constexpr const char* kQueueName = "ioreg.queue";
// Where a queued dump is written before it joins the queue whole.
constexpr const char* kStagedName = "ioreg.staged";
// Where a run of the stand-in moves the dump it takes; the process id
// follows.
constexpr const char* kTakenName = "ioreg.taken.";

// Probes read the files while the lid changes: each is replaced whole.
void writeFileAtomically(const std::filesystem::path& path, const std::string& bytes) {
  std::error_code error;
  if (!writeStringToFileAtomically(path, bytes, &error)) {
    throw std::system_error(error, "cannot write " + path.string());
  }
}

const char* describe(LidState state) {
  switch (state) {
    case LidState::open: return "open";
    case LidState::closed: return "closed";
    case LidState::none: return "none";
  }
  return "?";
}

// Queued dumps are named by their number, zero-padded, so that the shell
// lists them in the order they were queued.
std::string queuedName(std::uint64_t number) {
  std::string digits = std::to_string(number);
  return std::string(20 - digits.size(), '0') + digits;
}

}  // namespace

SimIoRegistry::SimIoRegistry(std::string binDirectory) : binDirectory_(std::move(binDirectory)) {
  const std::filesystem::path bin(binDirectory_);
  // Drops what an earlier run on this machine queued and no probe took.
  std::error_code error;
  std::filesystem::remove_all(queueDirectory(), error);
  if (!error) std::filesystem::create_directory(queueDirectory(), error);
  if (error) throw std::system_error(error, "cannot make " + queueDirectory().string());
  setLid(LidState::open);
  const std::filesystem::path tool = bin / kToolName;
  // When another run takes a dump first, the rename fails and the loop goes
  // on to the next one; `exec <` opens the taken dump before it is removed.
  writeFileAtomically(tool, "#!/bin/sh\n"
                            "# The simulated machine's I/O registry tool: prints the registry dump, or\n"
                            "# the first one a lid sequence still has queued.\n"
                            "for queued in " + shellQuoted(queueDirectory().string()) + "/*; do\n"
                            "  [ -f \"$queued\" ] || continue\n"
                            "  taken=" + shellQuoted((bin / kTakenName).string()) + "$$\n"
                            "  if mv -f \"$queued\" \"$taken\" 2>/dev/null; then\n"
                            "    exec <\"$taken\"\n"
                            "    rm -f \"$taken\"\n"
                            "    exec cat\n"
                            "  fi\n"
                            "done\n"
                            "exec cat " + shellQuoted((bin / kDumpName).string()) + "\n");
  using std::filesystem::perms;
  std::filesystem::permissions(tool, perms::owner_all | perms::group_read | perms::group_exec |
                                         perms::others_read | perms::others_exec);
}

std::string SimIoRegistry::registryDump(LidState state) {
  std::string dump =
      "+-o IOPMrootDomain  <class IOPMrootDomain, id 0x100000111, registered, matched, active, "
      "busy 0 (0 ms), retain 52>\n"
      "    | {\n"
      "    |   \"IOSleepSupported\" = Yes\n";
  if (state != LidState::none) {
    dump += "    |   \"AppleClamshellCausesSleep\" = Yes\n";
    dump += state == LidState::open ? "    |   \"AppleClamshellState\" = No\n"
                                    : "    |   \"AppleClamshellState\" = Yes\n";
  }
  dump +=
      "    |   \"SleepWakeUUID\" = \"8C6E04A5-7F6B-4D8B-9E1D-2A7F3C5B9E41\"\n"
      "    |   \"SystemPowerProfileOverrideDict\" = {\"SystemProfileOverride\"=0}\n"
      "    | }\n"
      "    | \n"
      "    +-o IOPMPowerSource  <class IOPMPowerSource, id 0x100000222, registered, matched, active, busy 0 "
      "(0 ms), retain 7>\n";
  return dump;
}

void SimIoRegistry::setLid(LidState state) {
  clearQueue();
  setStayingDump(registryDump(state), describe(state));
}

void SimIoRegistry::setLidSequence(const std::vector<LidState>& states) {
  if (states.empty()) throw std::invalid_argument("a lid sequence needs at least one state");
  clearQueue();
  const std::filesystem::path staged = std::filesystem::path(binDirectory_) / kStagedName;
  try {
    for (std::size_t i = 0; i + 1 < states.size(); ++i) {
      // Written outside the queue first: a probe never takes half a dump.
      writeFileAtomically(staged, registryDump(states[i]));
      const std::filesystem::path file = queueDirectory() / queuedName(++dumpsQueued_);
      std::filesystem::rename(staged, file);
      queued_.push_back({file, describe(states[i])});
    }
    // Queued first, so that no probe in between reads the last state early.
    setStayingDump(registryDump(states.back()), describe(states.back()));
  } catch (const std::system_error&) {
    // Never half a sequence: nothing stays queued.
    clearQueue();
    throw;
  }
}

void SimIoRegistry::setRawDump(std::string bytes) {
  clearQueue();
  setStayingDump(bytes, "raw");
}

std::string SimIoRegistry::lidDescription() const {
  std::string description;
  for (const QueuedDump& dump : queued_) {
    std::error_code error;
    if (std::filesystem::exists(dump.file, error)) description += dump.description + ",";
  }
  return description + description_;
}

void SimIoRegistry::setStayingDump(const std::string& bytes, std::string description) {
  writeFileAtomically(std::filesystem::path(binDirectory_) / kDumpName, bytes);
  description_ = std::move(description);
}

void SimIoRegistry::clearQueue() {
  for (const QueuedDump& dump : queued_) {
    std::error_code error;
    std::filesystem::remove(dump.file, error);  // gone already when a probe took it
  }
  queued_.clear();
}

std::filesystem::path SimIoRegistry::queueDirectory() const {
  return std::filesystem::path(binDirectory_) / kQueueName;
}

}  // namespace brannic::sim
