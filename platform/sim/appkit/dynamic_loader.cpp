#include "platform/sim/appkit/dynamic_loader.h"

namespace brannic::sim {

DynamicLoader::LibraryHandle SimDynamicLoader::open(const std::string& path, int) {
  if (library_ == LockLibrary::absent || path != kLoginFrameworkPath) return nullptr;
  return this;
}

DynamicLoader::EntryPoint SimDynamicLoader::lookUp(LibraryHandle handle, const std::string& symbol) {
  if (handle != this || library_ == LockLibrary::noEntry || symbol != kLockScreenEntryPoint) return {};
  // The loader and the screen belong to the simulated machine, which
  // outlives the app.
  return [this] { screen_.lockImmediately(); };
}

}  // namespace brannic::sim
