#include "platform/sim/bundle/info_plist.h"

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "platform/sim/base/property_list.h"

namespace brannic::sim {

namespace {

// Where the section lies in the file.
struct SectionPlace {
  std::uint64_t offset = 0;
  std::uint64_t size = 0;
};

// A bounds-checked little-endian view of the file's bytes.
class FileBytes {
 public:
  explicit FileBytes(std::vector<char> bytes) : bytes_(std::move(bytes)) {}
  std::uint64_t size() const { return bytes_.size(); }
  bool has(std::uint64_t offset, std::uint64_t length) const {
    return offset <= bytes_.size() && length <= bytes_.size() - offset;
  }
  // REQUIRES: has(offset, width).
  std::uint64_t read(std::uint64_t offset, int width) const {
    std::uint64_t value = 0;
    for (int i = width - 1; i >= 0; --i)
      value = (value << 8) | static_cast<unsigned char>(bytes_[static_cast<std::size_t>(offset) + i]);
    return value;
  }
  const char* at(std::uint64_t offset) const { return bytes_.data() + offset; }

 private:
  std::vector<char> bytes_;
};

std::optional<std::vector<char>> readWholeFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary | std::ios::ate);
  if (!file) return std::nullopt;
  const std::streamoff size = file.tellg();
  if (size < 0) return std::nullopt;
  std::vector<char> bytes(static_cast<std::size_t>(size));
  file.seekg(0);
  if (!file.read(bytes.data(), size)) return std::nullopt;
  return bytes;
}

// ELF64 header and section header fields used here.
constexpr std::uint64_t kSectionTableOffset = 0x28;
constexpr std::uint64_t kSectionEntrySize = 0x3A;
constexpr std::uint64_t kSectionCount = 0x3C;
constexpr std::uint64_t kSectionNamesIndex = 0x3E;
constexpr std::uint64_t kHeaderSize = 0x40;
constexpr std::uint64_t kEntrySize = 0x40;
constexpr std::uint64_t kEntryName = 0x00;
constexpr std::uint64_t kEntryType = 0x04;
constexpr std::uint64_t kEntryOffset = 0x18;
constexpr std::uint64_t kEntrySizeField = 0x20;
constexpr std::uint32_t kSectionTypeNoBits = 8;

std::optional<SectionPlace> findSection(const FileBytes& file, const std::string& name) {
  if (!file.has(0, kHeaderSize) || std::memcmp(file.at(0),
                                               "\x7F"
                                               "ELF",
                                               4) != 0)
    return std::nullopt;
  if (file.read(4, 1) != 2 || file.read(5, 1) != 1) return std::nullopt;  // 64-bit, little-endian
  const std::uint64_t table = file.read(kSectionTableOffset, 8);
  const std::uint64_t entrySize = file.read(kSectionEntrySize, 2);
  const std::uint64_t count = file.read(kSectionCount, 2);
  const std::uint64_t namesIndex = file.read(kSectionNamesIndex, 2);
  if (entrySize < kEntrySize || namesIndex >= count) return std::nullopt;
  if (count > file.size() / entrySize || !file.has(table, count * entrySize)) return std::nullopt;

  auto entry = [&](std::uint64_t index) { return table + index * entrySize; };
  const std::uint64_t namesOffset = file.read(entry(namesIndex) + kEntryOffset, 8);
  const std::uint64_t namesSize = file.read(entry(namesIndex) + kEntrySizeField, 8);
  if (!file.has(namesOffset, namesSize)) return std::nullopt;

  for (std::uint64_t index = 0; index < count; ++index) {
    const std::uint64_t nameOffset = file.read(entry(index) + kEntryName, 4);
    if (nameOffset >= namesSize) continue;
    const char* sectionName = file.at(namesOffset + nameOffset);
    const std::size_t room = static_cast<std::size_t>(namesSize - nameOffset);
    if (strnlen(sectionName, room) == room || name != sectionName) continue;
    if (file.read(entry(index) + kEntryType, 4) == kSectionTypeNoBits) return std::nullopt;
    SectionPlace place{file.read(entry(index) + kEntryOffset, 8),
                       file.read(entry(index) + kEntrySizeField, 8)};
    if (!file.has(place.offset, place.size)) return std::nullopt;
    return place;
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> readEmbeddedInfoPlist(const std::string& path) {
  auto bytes = readWholeFile(path);
  if (!bytes) return std::nullopt;
  const FileBytes file(std::move(*bytes));
  const auto place = findSection(file, kInfoPlistSectionName);
  if (!place) return std::nullopt;
  const char* text = file.at(place->offset);
  return std::string(text, strnlen(text, static_cast<std::size_t>(place->size)));
}

bool writeEmbeddedInfoPlist(const std::string& path, const std::string& text, std::string* error) {
  auto fail = [error](std::string why) {
    if (error) *error = std::move(why);
    return false;
  };
  auto bytes = readWholeFile(path);
  if (!bytes) return fail("cannot read " + path);
  const auto place = findSection(FileBytes(std::move(*bytes)), kInfoPlistSectionName);
  if (!place) return fail(path + " carries no information dictionary");
  if (text.size() >= place->size || text.find('\0') != std::string::npos)
    return fail("the information dictionary (" + std::to_string(text.size()) + " bytes) does not fit its " +
                std::to_string(place->size) + "-byte section");
  std::string padded = text;
  padded.resize(static_cast<std::size_t>(place->size), '\0');
  std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out);
  file.seekp(static_cast<std::streamoff>(place->offset));
  file.write(padded.data(), static_cast<std::streamsize>(padded.size()));
  file.flush();
  if (!file) return fail("cannot write " + path);
  return true;
}

bool setEmbeddedInfoValue(const std::string& path, const std::string& key,
                          const std::optional<PropertyValue>& value, std::string* error) {
  const auto text = readEmbeddedInfoPlist(path);
  if (!text) {
    std::error_code ignored;
    if (error)
      *error = std::filesystem::is_regular_file(path, ignored) ? path + " carries no information dictionary"
                                                               : "no file at " + path;
    return false;
  }
  std::string parseError;
  std::optional<PropertyValue> parsed = parseXmlPropertyList(*text, &parseError);
  PropertyDictionary dictionary;
  if (parsed) {
    if (const auto* existing = parsed->get<PropertyDictionary>()) dictionary = *existing;
  }
  if (value) {
    dictionary[key] = *value;
  } else {
    dictionary.erase(key);
  }
  return writeEmbeddedInfoPlist(path, xmlPropertyListText(PropertyValue{dictionary}), error);
}

}  // namespace brannic::sim
