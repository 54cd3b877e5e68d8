#include "platform/sim/authorization/database.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

#include "platform/sim/authorization/rules.h"
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
  std::ifstream file(path_, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  if (!file) throw unusable(path_, "cannot be read");
  std::string why;
  const auto contents = parseXmlPropertyList(text.str(), &why);
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
  // Written aside and renamed over, so the file always holds a whole database.
  auto staged = path_;
  staged += ".new";
  {
    std::ofstream file(staged, std::ios::binary | std::ios::trunc);
    file << text;
    file.close();
    if (!file) return false;
  }
  std::error_code error;
  std::filesystem::rename(staged, path_, error);
  return !error;
}

}  // namespace brannic::sim
