#include "platform/sim/devices/io_registry.h"

#include <filesystem>
#include <system_error>

#include "platform/sim/base/file_io.h"

namespace brannic::sim {
namespace {

constexpr const char* kToolName = "ioreg";
constexpr const char* kDumpName = "ioreg.dump";

// `text` as one single-quoted shell word.
std::string shellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  return quoted + "'";
}

// Probes read the files while the lid changes: each is replaced whole.
void writeFileAtomically(const std::filesystem::path& path, const std::string& bytes) {
  std::error_code error;
  if (!writeStringToFileAtomically(path, bytes, &error)) {
    throw std::system_error(error, "cannot write " + path.string());
  }
}

}  // namespace

SimIoRegistry::SimIoRegistry(std::string binDirectory) : binDirectory_(std::move(binDirectory)) {
  const std::filesystem::path bin(binDirectory_);
  setLid(LidState::open);
  const std::filesystem::path tool = bin / kToolName;
  writeFileAtomically(tool, "#!/bin/sh\n"
                            "# The simulated machine's I/O registry tool: prints the registry dump.\n"
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
  writeDump(registryDump(state));
  switch (state) {
    case LidState::open: description_ = "open"; break;
    case LidState::closed: description_ = "closed"; break;
    case LidState::none: description_ = "none"; break;
  }
}

void SimIoRegistry::setRawDump(std::string bytes) {
  writeDump(bytes);
  description_ = "raw";
}

std::string SimIoRegistry::lidDescription() const { return description_; }

void SimIoRegistry::writeDump(const std::string& bytes) {
  writeFileAtomically(std::filesystem::path(binDirectory_) / kDumpName, bytes);
}

}  // namespace brannic::sim
