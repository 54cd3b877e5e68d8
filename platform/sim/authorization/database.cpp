#include "platform/sim/authorization/database.h"

#include <stdexcept>

#include "platform/sim/authorization/rules.h"
#include "platform/sim/base/file_io.h"
#include "platform/sim/base/property_list.h"

namespace brannic::sim {

namespace {

std::runtime_error unusable(const std::filesystem::path& path, const std::string& why) {
  return std::runtime_error("authorization database " + path.string() + ": " + why);
}

}  // namespace

std::filesystem::path authorizationDatabasePath(const std::filesystem::path& machineRoot) {
  return machineRoot / "var" / "db" / "auth.db";
}

SimAuthorizationDatabase::SimAuthorizationDatabase(std::filesystem::path path) : path_(std::move(path)) {
  std::error_code error;
  if (!std::filesystem::exists(path_, error)) {
    std::filesystem::create_directories(path_.parent_path(), error);
    rights_ = builtInAuthorizationRules();
    if (!save(rights_)) throw unusable(path_, "cannot be written");
    return;
  }
  const std::optional<std::string> text = readFileToString(path_);
  if (!text) throw unusable(path_, "cannot be read");
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
