#include "platform/sim/devices/io_registry.h"

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <system_error>

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

// Writes `bytes` to `path` through a temporary file and a rename, so a
// reader sees either the old file or the new one.
void writeFileAtomically(const std::filesystem::path& path, const std::string& bytes) {
  std::filesystem::path temporary = path;
  temporary += ".new";
  {
    std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    file.close();
    if (!file) {
      throw std::system_error(errno != 0 ? errno : EIO, std::generic_category(),
                              "cannot write " + temporary.string());
    }
  }
  std::filesystem::rename(temporary, path);  // throws filesystem_error, a system_error
}

}  // namespace

SimRegistry::SimRegistry(std::string binDirectory) : binDirectory_(std::move(binDirectory)) {
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

std::string SimRegistry::registryDump(LidState state) {
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

void SimRegistry::setLid(LidState state) {
  writeDump(registryDump(state));
  switch (state) {
    case LidState::open: description_ = "open"; break;
    case LidState::closed: description_ = "closed"; break;
    case LidState::none: description_ = "none"; break;
  }
}

void SimRegistry::setRawDump(std::string bytes) {
  writeDump(bytes);
  description_ = "raw";
}

std::string SimRegistry::lidDescription() const { return description_; }

void SimRegistry::writeDump(const std::string& bytes) {
  writeFileAtomically(std::filesystem::path(binDirectory_) / kDumpName, bytes);
}

}  // namespace brannic::sim
