// The application bundle in the simulated machine: its folder, its
// resources, and the information dictionaries of bundles and tools.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/bundle.h"

namespace brannic::sim {

class SimBundle final : public Bundle {
 public:
  // Reads the information dictionary embedded in a single-file executable:
  // its XML text, or nullopt when the file carries none.
  using EmbeddedInfoReader = std::function<std::optional<std::string>(const std::string& path)>;

  // `bundlePath`: the bundle's folder (…/Brannic.app), without a trailing
  // slash. Embedded dictionaries are read as sim_info_plist.h says.
  explicit SimBundle(std::string bundlePath);

  std::string bundleURL() override { return bundlePath_; }
  // Contents/Resources/<name>.<extension> (or <name> when the extension is
  // empty), when that file exists.
  std::optional<std::string> urlForResource(std::string_view name, std::string_view extension) override;
  // For a folder, its Contents/Info.plist. For a file that is itself an XML
  // property list, that list; for any other file, the dictionary embedded in
  // it (through the embedded-information reader). Nullopt when there is
  // none or it cannot be read or parsed.
  std::optional<PropertyValue> copyInfoDictionaryForURL(const std::string& url) override;

  void setEmbeddedInfoReader(EmbeddedInfoReader reader) { embeddedInfoReader_ = std::move(reader); }
  // The folder resources live in.
  std::string resourcesPath() const { return bundlePath_ + "/Contents/Resources"; }

 private:
  std::string bundlePath_;
  EmbeddedInfoReader embeddedInfoReader_;
};

// Reads a whole file, or nullopt when it cannot be read.
std::optional<std::string> readFileBytes(const std::string& path);

}  // namespace brannic::sim
