#include "platform/sim/authorization/database.h"

#include <stdexcept>

#include "platform/sim/authorization/rules.h"
#include "platform/sim/base/file_io.h"
#include "platform/sim/base/property_list.h"

namespace brannic::sim {

namespace {

// Far more than a rights database holds (the built-in rules take well under
// a kilobyte), and little enough to read and parse at once.
constexpr std::size_t kMaxDatabaseBytes = 4 << 20;

std::runtime_error unusable(const std::filesystem::path& path, const std::string& why) {
  return std::runtime_error("authorization database " + path.string() + ": " + why);
}

// What stands at the database's path when it is not a regular file.
std::string describe(std::filesystem::file_type type) {
  using std::filesystem::file_type;
  switch (type) {
    case file_type::directory: return "a folder, not a file";
    case file_type::fifo: return "a FIFO, not a file";
    case file_type::character:
    case file_type::block: return "a device, not a file";
    case file_type::socket: return "a socket, not a file";
    default: return "not a regular file";
  }
}

}  // namespace

std::filesystem::path authorizationDatabasePath(const std::filesystem::path& machineRoot) {
  return machineRoot / "var" / "db" / "auth.db";
}

SimAuthorizationDatabase::SimAuthorizationDatabase(std::filesystem::path path) : path_(std::move(path)) {
  namespace fs = std::filesystem;
  // Only a database that is certainly not there is made afresh: one that
  // cannot be looked at or read is reported, never replaced, as replacing it
  // would lose every right stored in it.
  std::error_code error;
  const fs::file_status status = fs::status(path_, error);
  if (status.type() == fs::file_type::not_found) {
    if (fs::is_symlink(fs::symlink_status(path_, error))) throw unusable(path_, "is a link to nothing");
    fs::create_directories(path_.parent_path(), error);
    rights_ = builtInAuthorizationRules();
    if (!save(rights_)) throw unusable(path_, "cannot be written");
    return;
  }
  if (error) throw unusable(path_, "cannot be read: " + error.message());
  if (status.type() != fs::file_type::regular) throw unusable(path_, "is " + describe(status.type()));
  const std::optional<std::string> text = readFileToString(path_, &error, kMaxDatabaseBytes);
  if (!text && error == std::errc::file_too_large)
    throw unusable(path_, "is larger than " + std::to_string(kMaxDatabaseBytes) + " bytes");
  if (!text) throw unusable(path_, "cannot be read: " + error.message());
  std::string why;
  const auto contents = parseXmlPropertyList(*text, &why);
  if (!contents) throw unusable(path_, why);
  const auto* rights = contents->get<PropertyDictionary>();
  if (!rights) throw unusable(path_, "is not a dictionary of rights");
  rights_ = *rights;
}

std::optional<PropertyValue> SimAuthorizationDatabase::definition(const std::string& name) const {
  std::lock_guard lock(mutex_);
  const auto found = rights_.find(name);
  if (found == rights_.end()) return std::nullopt;
  return found->second;
}

bool SimAuthorizationDatabase::store(const std::string& name, PropertyValue definition) {
  std::lock_guard lock(mutex_);
  auto changed = rights_;
  changed[name] = std::move(definition);
  if (!save(changed)) return false;
  rights_ = std::move(changed);
  return true;
}

bool SimAuthorizationDatabase::remove(const std::string& name) {
  std::lock_guard lock(mutex_);
  if (!rights_.contains(name)) return true;
  auto changed = rights_;
  changed.erase(name);
  if (!save(changed)) return false;
  rights_ = std::move(changed);
  return true;
}

bool SimAuthorizationDatabase::save(const PropertyDictionary& rights) const {
  const auto text = xmlPropertyListText(PropertyValue(rights));
  // The file always holds a whole database.
  return writeStringToFileAtomically(path_, text);
}

}  // namespace brannic::sim
