// The dynamic loader (dlopen, dlsym).
#pragma once

#include "platform/dynamic_loader.h"

namespace brannic::mac {

class MacDynamicLoader final : public DynamicLoader {
 public:
  LibraryHandle open(const std::string& path, int mode) override;
  // A null handle finds nothing: it never means "search every image".
  EntryPoint lookUp(LibraryHandle handle, const std::string& symbol) override;
};

}  // namespace brannic::mac
