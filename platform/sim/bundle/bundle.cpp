#include "platform/sim/bundle/bundle.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "platform/sim/bundle/info_plist.h"
#include "platform/sim/base/property_list.h"

namespace brannic::sim {

std::optional<std::string> readFileBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return std::nullopt;
  std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (file.bad()) return std::nullopt;
  return bytes;
}

SimBundle::SimBundle(std::string bundlePath)
    : bundlePath_(std::move(bundlePath)), embeddedInfoReader_(readEmbeddedInfoPlist) {}

std::optional<std::string> SimBundle::urlForResource(std::string_view name, std::string_view extension) {
  std::string fileName(name);
  if (!extension.empty()) fileName += "." + std::string(extension);
  const std::string path = resourcesPath() + "/" + fileName;
  std::error_code error;
  if (fileName.empty() || !std::filesystem::is_regular_file(path, error)) return std::nullopt;
  return path;
}

std::optional<PropertyValue> SimBundle::copyInfoDictionaryForURL(const std::string& url) {
  std::error_code error;
  std::string path = url;
  if (std::filesystem::is_directory(path, error)) path += "/Contents/Info.plist";
  if (!std::filesystem::is_regular_file(path, error)) return std::nullopt;
  std::optional<std::string> bytes = readFileBytes(path);
  if (!bytes) return std::nullopt;
  if (!looksLikeXmlPropertyList(*bytes)) {
    if (!embeddedInfoReader_) return std::nullopt;
    bytes = embeddedInfoReader_(path);
    if (!bytes) return std::nullopt;
  }
  return parseXmlPropertyList(*bytes);
}

}  // namespace brannic::sim
