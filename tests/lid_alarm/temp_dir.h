// A fresh folder for one test, removed with everything in it afterwards.
#pragma once

#include <filesystem>
#include <random>
#include <string>

namespace brannic::testing {

class TempDir {
 public:
  // The folder is `leaf` inside a fresh folder, or the fresh folder itself.
  explicit TempDir(const std::string& leaf = "") {
    std::random_device seed;
    root_ = std::filesystem::temp_directory_path() / ("brannic-test-" + std::to_string(seed()));
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
