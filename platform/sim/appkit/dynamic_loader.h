// The dynamic loader. It knows one library, the login framework, whose one
// entry point locks the simulated screen; the machine can make the library
// or the entry point go missing.
#pragma once

#include <string>

#include "platform/dynamic_loader.h"
#include "platform/sim/appkit/screen.h"

namespace brannic::sim {

inline constexpr const char* kLoginFrameworkPath =
    "/System/Library/PrivateFrameworks/login.framework/Versions/Current/login";
inline constexpr const char* kLockScreenEntryPoint = "SACLockScreenImmediate";

enum class LockLibrary { present, absent, noEntry };

class SimDynamicLoader final : public DynamicLoader {
 public:
  // REQUIRES: `screen` outlives the loader and every entry point it hands out.
  explicit SimDynamicLoader(SimScreen& screen) : screen_(screen) {}

  void setLockLibrary(LockLibrary library) { library_ = library; }

  LibraryHandle open(const std::string& path, int mode) override;
  EntryPoint lookUp(LibraryHandle handle, const std::string& symbol) override;

 private:
  SimScreen& screen_;
  LockLibrary library_ = LockLibrary::present;
};

}  // namespace brannic::sim
