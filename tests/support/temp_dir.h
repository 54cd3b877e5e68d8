// A fresh folder for one test, removed with everything in it afterwards.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <stdexcept>
#include <string>

namespace brannic::testing {

class TempDir {
 public:
  // The folder is `leaf` inside a fresh folder, or the fresh folder itself.
  // Fresh folders are short paths under /tmp, so that socket addresses under
  // them fit.
  explicit TempDir(const std::string& leaf = "") {
    std::string pattern = "/tmp/bc1-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot make a temporary folder");
    root_ = pattern;
    path_ = leaf.empty() ? root_ : root_ / leaf;
    std::filesystem::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path root_;
  std::filesystem::path path_;
};

}  // namespace brannic::testing
