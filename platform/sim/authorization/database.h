// The simulated machine's authorization rights database: right and rule
// names mapped to their definition dictionaries, kept in one XML property
// list file of the machine (see authorizationDatabasePath). Every change is
// written through to the file, so a kept machine folder keeps its rights.
// Thread-safe.
#pragma once

#include <filesystem>
#include <mutex>
#include <optional>
#include <string>

#include "platform/property_list.h"

namespace brannic::sim {

// Where a machine keeps its rights database.
std::filesystem::path authorizationDatabasePath(const std::filesystem::path& machineRoot);

class SimAuthorizationDatabase {
 public:
  // Opens the database at `path`; a missing file is created with the built-in
  // rules. Throws std::runtime_error, saying why, when the file cannot be
  // written, or when something stands at `path` that is not a readable
  // rights database (a folder, a FIFO, a device, a link to nothing or in a
  // loop, a file too large or not a property list of rights): such a file is
  // left as it is, never replaced.
  explicit SimAuthorizationDatabase(std::filesystem::path path);

  std::optional<PropertyValue> definition(const std::string& name) const;
  // Stores (or replaces) a definition. False, and nothing changed, when the
  // file cannot be written.
  bool store(const std::string& name, PropertyValue definition);
  // Removes a definition; true also when there was none.
  bool remove(const std::string& name);

  const std::filesystem::path& path() const { return path_; }

 private:
  bool save(const PropertyDictionary& rights) const;

  const std::filesystem::path path_;
  mutable std::mutex mutex_;
  PropertyDictionary rights_;
};

}  // namespace brannic::sim
