// The macOS cross build that the bundle checks look at. ctest gives its
// folder in BRANNIC_MACOS_BUILD_DIR (see tests/macos/CMakeLists.txt).
#pragma once

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "helper_client/helper_label.h"

namespace brannic::test {

struct MacosBuild {
  // Throws std::runtime_error when BRANNIC_MACOS_BUILD_DIR is not set.
  static MacosBuild fromEnvironment() {
    const char* dir = std::getenv("BRANNIC_MACOS_BUILD_DIR");
    if (dir == nullptr || *dir == '\0')
      throw std::runtime_error(
          "BRANNIC_MACOS_BUILD_DIR is not set: configure with -DBRANNIC_MACOS_SDK_INPUTS and run these "
          "through ctest");
    return MacosBuild{dir};
  }

  std::filesystem::path app() const { return buildDir / "macos" / "Brannic.app"; }
  std::filesystem::path contents() const { return app() / "Contents"; }
  std::filesystem::path helper() const {
    return contents() / "Library" / "LaunchServices" / std::string(HelperLabel);
  }
  // The property lists as the build generated them from the templates.
  std::filesystem::path generatedPlist(const std::string& name) const {
    return buildDir / "platform" / "macos" / "plists" / name;
  }

  std::filesystem::path buildDir;
};

}  // namespace brannic::test
