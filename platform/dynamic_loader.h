// The dynamic loader (dlopen, dlsym).
#pragma once

#include <functional>
#include <string>

namespace brannic {

inline constexpr int RTLD_LAZY_MODE = 1;

class DynamicLoader {
 public:
  using LibraryHandle = void*;
  // A looked-up entry point taking no arguments, called as one that returns
  // nothing.
  using EntryPoint = std::function<void()>;
  virtual ~DynamicLoader() = default;
  // dlopen(path, mode): a handle, or null. Libraries are never closed.
  virtual LibraryHandle open(const std::string& path, int mode) = 0;
  // dlsym(handle, symbol): the entry point, or an empty function.
  virtual EntryPoint lookUp(LibraryHandle handle, const std::string& symbol) = 0;
};

}  // namespace brannic
