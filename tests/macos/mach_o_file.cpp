#include "tests/macos/mach_o_file.h"

#include <fstream>
#include <iterator>

namespace brannic::test {

namespace {

// <mach-o/loader.h>, <mach-o/fat.h> and the code-signing blob formats.
constexpr std::uint32_t kFatMagic = 0xcafebabe;  // big-endian header
constexpr std::uint32_t kMachMagic64 = 0xfeedfacf;
constexpr std::uint32_t kCpuTypeX86_64 = 0x01000007;
constexpr std::uint32_t kCpuTypeArm64 = 0x0100000c;
constexpr std::uint32_t kLcSegment64 = 0x19;
constexpr std::uint32_t kLcLoadDylib = 0x0c;
constexpr std::uint32_t kLcLoadWeakDylib = 0x80000018;
constexpr std::uint32_t kLcReexportDylib = 0x8000001f;
constexpr std::uint32_t kLcLazyLoadDylib = 0x20;
constexpr std::uint32_t kLcLoadUpwardDylib = 0x80000023;
constexpr std::uint32_t kLcBuildVersion = 0x32;
constexpr std::uint32_t kLcCodeSignature = 0x1d;
constexpr std::size_t kMachHeader64Size = 32;
constexpr std::size_t kSegmentCommand64Size = 72;
constexpr std::size_t kSection64Size = 80;
constexpr std::uint32_t kSuperBlobMagic = 0xfade0cc0;
constexpr std::uint32_t kCodeDirectoryMagic = 0xfade0c02;
constexpr std::uint32_t kCodeDirectorySlot = 0;
constexpr std::uint32_t kCodeDirectoryAdHoc = 0x2;

void need(std::string_view bytes, std::size_t offset, std::size_t length, const char* what) {
  if (offset > bytes.size() || length > bytes.size() - offset)
    throw MachOError(std::string(what) + " lies outside the file");
}

std::uint64_t little(std::string_view bytes, std::size_t offset, std::size_t width, const char* what) {
  need(bytes, offset, width, what);
  std::uint64_t value = 0;
  for (std::size_t i = width; i-- > 0;) value = value << 8 | static_cast<unsigned char>(bytes[offset + i]);
  return value;
}
std::uint32_t le32(std::string_view bytes, std::size_t offset, const char* what) {
  return static_cast<std::uint32_t>(little(bytes, offset, 4, what));
}
std::uint64_t le64(std::string_view bytes, std::size_t offset, const char* what) {
  return little(bytes, offset, 8, what);
}
std::uint32_t be32(std::string_view bytes, std::size_t offset, const char* what) {
  need(bytes, offset, 4, what);
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4; ++i) value = value << 8 | static_cast<unsigned char>(bytes[offset + i]);
  return value;
}

// A fixed-size name field, NUL padded.
std::string fixedName(std::string_view bytes, std::size_t offset) {
  need(bytes, offset, 16, "a name");
  const std::string_view field = bytes.substr(offset, 16);
  return std::string(field.substr(0, field.find('\0')));
}

std::string cString(std::string_view bytes, std::size_t offset, std::size_t end, const char* what) {
  need(bytes, offset, 0, what);
  const std::size_t nul = bytes.find('\0', offset);
  if (nul == std::string_view::npos || nul >= end) throw MachOError(std::string(what) + " is not terminated");
  return std::string(bytes.substr(offset, nul - offset));
}

}  // namespace

MachOSlice::MachOSlice(std::string bytes) : bytes_(std::move(bytes)) {
  const std::string_view file = bytes_;
  if (le32(file, 0, "the Mach-O header") != kMachMagic64)
    throw MachOError("not a 64-bit little-endian Mach-O image");
  cpuType_ = le32(file, 4, "the CPU type");
  const std::uint32_t commandCount = le32(file, 16, "the load command count");
  const std::uint32_t commandsSize = le32(file, 20, "the load commands' size");
  need(file, kMachHeader64Size, commandsSize, "the load commands");
  const std::size_t commandsEnd = kMachHeader64Size + commandsSize;

  std::size_t offset = kMachHeader64Size;
  for (std::uint32_t i = 0; i < commandCount; ++i) {
    const std::uint32_t command = le32(file, offset, "a load command");
    const std::uint32_t size = le32(file, offset + 4, "a load command's size");
    if (size < 8 || size > commandsEnd - offset) throw MachOError("a load command overruns the commands");
    const std::size_t end = offset + size;
    switch (command) {
      case kLcSegment64: {
        if (size < kSegmentCommand64Size) throw MachOError("a short segment command");
        segments_.push_back({le64(file, offset + 24, "a segment"), le64(file, offset + 32, "a segment"),
                             le64(file, offset + 40, "a segment"), le64(file, offset + 48, "a segment")});
        const std::uint32_t sectionCount = le32(file, offset + 64, "a segment's section count");
        if (sectionCount > (size - kSegmentCommand64Size) / kSection64Size)
          throw MachOError("a segment's sections overrun its command");
        for (std::uint32_t s = 0; s < sectionCount; ++s) {
          const std::size_t at = offset + kSegmentCommand64Size + s * kSection64Size;
          sections_.push_back({fixedName(file, at + 16), fixedName(file, at),
                               le64(file, at + 32, "a section"), le64(file, at + 40, "a section"),
                               le32(file, at + 48, "a section")});
        }
        break;
      }
      case kLcLoadDylib:
      case kLcLoadWeakDylib:
      case kLcReexportDylib:
      case kLcLazyLoadDylib:
      case kLcLoadUpwardDylib: {
        const std::uint32_t nameOffset = le32(file, offset + 8, "a library's name offset");
        if (nameOffset >= size) throw MachOError("a library's name lies outside its command");
        libraries_.push_back({cString(file, offset + nameOffset, end, "a library's name"),
                              command == kLcLoadWeakDylib});
        break;
      }
      case kLcBuildVersion:
        buildVersions_.push_back({le32(file, offset + 8, "the build version"),
                                  le32(file, offset + 12, "the build version"),
                                  le32(file, offset + 16, "the build version")});
        break;
      case kLcCodeSignature:
        readCodeSignature(le32(file, offset + 8, "the code signature"),
                          le32(file, offset + 12, "the code signature"));
        break;
      default:
        break;
    }
    offset = end;
  }
  for (const MachOSection& s : sections_) {
    // Zero-fill sections (__bss, __common) have no bytes in the file.
    if (s.fileOffset != 0) need(file, s.fileOffset, s.size, "a section's contents");
  }
}

void MachOSlice::readCodeSignature(std::uint32_t offset, std::uint32_t size) {
  const std::string_view file = bytes_;
  need(file, offset, size, "the code signature");
  const std::string_view blob = file.substr(offset, size);
  if (be32(blob, 0, "the signature's magic") != kSuperBlobMagic) return;
  const std::uint32_t count = be32(blob, 8, "the signature's blob count");
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::size_t index = 12 + 8 * std::size_t{i};
    if (be32(blob, index, "a signature blob's type") != kCodeDirectorySlot) continue;
    const std::uint32_t at = be32(blob, index + 4, "a signature blob's offset");
    if (be32(blob, at, "the code directory's magic") != kCodeDirectoryMagic) return;
    signedAdHoc_ = (be32(blob, at + 12, "the code directory's flags") & kCodeDirectoryAdHoc) != 0;
    return;
  }
}

std::string MachOSlice::architecture() const {
  if (cpuType_ == kCpuTypeArm64) return "arm64";
  if (cpuType_ == kCpuTypeX86_64) return "x86_64";
  return "cputype " + std::to_string(cpuType_);
}

const MachOSection* MachOSlice::section(std::string_view name) const {
  for (const MachOSection& s : sections_)
    if (s.name == name) return &s;
  return nullptr;
}

std::string_view MachOSlice::contents(const MachOSection& s) const {
  return std::string_view(bytes_).substr(s.fileOffset, s.size);
}

std::size_t MachOSlice::fileOffsetOf(std::uint64_t address, std::size_t length) const {
  for (const Segment& segment : segments_) {
    if (address >= segment.address && address - segment.address < segment.fileSize &&
        length <= segment.fileSize - (address - segment.address))
      return segment.fileOffset + (address - segment.address);
  }
  throw MachOError("address " + std::to_string(address) + " has no bytes in the file");
}

std::uint64_t MachOSlice::pointerAt(std::uint64_t address) const {
  return le64(bytes_, fileOffsetOf(address, 8), "a pointer");
}

std::uint32_t MachOSlice::u32At(std::uint64_t address) const {
  return le32(bytes_, fileOffsetOf(address, 4), "a 32-bit value");
}

std::string MachOSlice::cStringAt(std::uint64_t address) const {
  return cString(bytes_, fileOffsetOf(address, 1), bytes_.size(), "a string");
}

MachOFile readMachOFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw MachOError("cannot open " + path);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  MachOFile file;
  if (be32(bytes, 0, "the file's magic") != kFatMagic) {
    file.slices.emplace_back(bytes);
    return file;
  }
  file.universal = true;
  const std::uint32_t count = be32(bytes, 4, "the slice count");
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::size_t entry = 8 + 20 * std::size_t{i};
    const std::uint32_t offset = be32(bytes, entry + 8, "a slice's offset");
    const std::uint32_t size = be32(bytes, entry + 12, "a slice's size");
    need(bytes, offset, size, "a slice");
    file.slices.emplace_back(bytes.substr(offset, size));
  }
  return file;
}

}  // namespace brannic::test
