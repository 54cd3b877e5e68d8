#include "platform/sim/machine/machine_folder.h"

#include <stdlib.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <system_error>
#include <vector>

namespace brannic::sim {
namespace fs = std::filesystem;

MachineFolder::MachineFolder(const std::optional<std::string>& keepAt) : kept_(keepAt.has_value()) {
  std::error_code error;
  if (keepAt) {
    if (keepAt->empty()) throw std::runtime_error("the machine folder's name is empty");
    const fs::path path = fs::absolute(*keepAt, error).lexically_normal();
    if (error)
      throw std::runtime_error("cannot use " + *keepAt + " as the machine folder: " + error.message());
    fs::create_directories(path, error);
    if (error || !fs::is_directory(path)) {
      throw std::runtime_error("cannot use " + *keepAt + " as the machine folder: " +
                               (error ? error.message() : std::string("not a folder")));
    }
    path_ = path.string();
    while (path_.size() > 1 && path_.back() == '/') path_.pop_back();
    return;
  }
  // Short on purpose: socket addresses inside the folder have a small limit.
  std::string pattern = (fs::temp_directory_path(error) / "brannic-XXXXXX").string();
  if (error) pattern = "/tmp/brannic-XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  if (mkdtemp(name.data()) == nullptr) {
    throw std::runtime_error("cannot make a temporary machine folder from " + pattern + ": " +
                             std::strerror(errno));
  }
  path_ = name.data();
}

MachineFolder::~MachineFolder() {
  if (kept_) return;
  std::error_code error;
  fs::remove_all(path_, error);  // nothing to report to at this point
}

}  // namespace brannic::sim
