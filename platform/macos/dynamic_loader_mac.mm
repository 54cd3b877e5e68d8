#include "platform/macos/dynamic_loader_mac.h"

#include <dlfcn.h>

namespace brannic::mac {

static_assert(RTLD_LAZY_MODE == RTLD_LAZY);

DynamicLoader::LibraryHandle MacDynamicLoader::open(const std::string& path, int mode) {
  return dlopen(path.c_str(), mode);
}

DynamicLoader::EntryPoint MacDynamicLoader::lookUp(LibraryHandle handle, const std::string& symbol) {
  if (handle == nullptr) return {};
  void* address = dlsym(handle, symbol.c_str());
  if (address == nullptr) return {};
  // The entry points looked up here take no arguments and are called as
  // returning nothing. Libraries are never closed, so the address the
  // function holds stays valid.
  const auto entryPoint = reinterpret_cast<void (*)()>(address);
  return [entryPoint] { entryPoint(); };
}

}  // namespace brannic::mac
