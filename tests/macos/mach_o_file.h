// Reads what the checks of the built bundle look at in a Mach-O executable,
// thin or universal: each slice's architecture, build version, the libraries
// it loads, its sections and code signature, and its memory by address. Only
// 64-bit little-endian slices (arm64, x86_64) are read.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace brannic::test {

struct MachOError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// LC_BUILD_VERSION. Versions are packed as 0xMMMMmmpp.
struct MachOBuildVersion {
  std::uint32_t platform = 0;  // 1: macOS
  std::uint32_t minos = 0;
  std::uint32_t sdk = 0;
};
inline constexpr std::uint32_t kMachOPlatformMacOS = 1;

struct MachOLibrary {
  std::string installName;
  bool weak = false;  // LC_LOAD_WEAK_DYLIB: the image starts without it
};

struct MachOSection {
  std::string segment;
  std::string name;
  std::uint64_t address = 0;
  std::uint64_t size = 0;
  std::uint32_t fileOffset = 0;
};

class MachOSlice {
 public:
  // Throws MachOError when `bytes` are not a well-formed 64-bit image.
  explicit MachOSlice(std::string bytes);

  std::string architecture() const;  // "arm64", "x86_64", or "cputype N"
  const std::vector<MachOBuildVersion>& buildVersions() const { return buildVersions_; }
  const std::vector<MachOLibrary>& libraries() const { return libraries_; }
  const std::vector<MachOSection>& sections() const { return sections_; }
  // The first section of that name in any segment, or null.
  const MachOSection* section(std::string_view name) const;
  std::string_view contents(const MachOSection& section) const;
  // Whether the slice carries a code signature whose code directory is ad
  // hoc (signed without an identity, as the linker signs arm64 output).
  bool signedAdHoc() const { return signedAdHoc_; }

  // What the file holds at a virtual address: the image as the linker laid
  // it out, before dyld slides or binds anything.
  std::uint64_t pointerAt(std::uint64_t address) const;
  std::uint32_t u32At(std::uint64_t address) const;
  std::string cStringAt(std::uint64_t address) const;

 private:
  struct Segment {
    std::uint64_t address, size, fileOffset, fileSize;
  };
  std::size_t fileOffsetOf(std::uint64_t address, std::size_t length) const;
  void readCodeSignature(std::uint32_t offset, std::uint32_t size);

  std::string bytes_;
  std::uint32_t cpuType_ = 0;
  std::vector<Segment> segments_;
  std::vector<MachOSection> sections_;
  std::vector<MachOBuildVersion> buildVersions_;
  std::vector<MachOLibrary> libraries_;
  bool signedAdHoc_ = false;
};

struct MachOFile {
  bool universal = false;
  std::vector<MachOSlice> slices;
};

// Throws MachOError for a file that cannot be read or is not Mach-O.
MachOFile readMachOFile(const std::string& path);

}  // namespace brannic::test
