// The simulator's wire formats share these pieces: big-endian integers,
// length-prefixed byte strings, and frames (a 4-byte big-endian body
// length, then the body) cut from a byte stream. Readers check every length
// against what is left, so any bytes at all may be fed to them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace brannic::sim {

inline constexpr std::size_t kFrameHeaderSize = 4;

class BigEndianWriter {
 public:
  void u8(std::uint8_t value) { bytes_.push_back(value); }
  void u32(std::uint32_t value);
  void u64(std::uint64_t value);
  void raw(std::span<const std::uint8_t> bytes);
  void raw(std::string_view bytes);
  // A u32 length, then the bytes.
  void sized(std::span<const std::uint8_t> bytes);
  void sized(std::string_view bytes);

  const std::vector<std::uint8_t>& bytes() const { return bytes_; }
  // What was written, as the body of one frame: header, then body.
  std::vector<std::uint8_t> frame() const;

 private:
  std::vector<std::uint8_t> bytes_;
};

// Each read takes its bytes off the front, or answers false, taking
// nothing, when too few are left.
class BigEndianReader {
 public:
  explicit BigEndianReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
  bool u8(std::uint8_t& value);
  bool u32(std::uint32_t& value);
  bool u64(std::uint64_t& value);
  bool raw(std::span<std::uint8_t> out);
  // A u32 length of at most `limit`, then that many bytes.
  bool sized(std::vector<std::uint8_t>& out, std::size_t limit);
  bool sized(std::string& out, std::size_t limit);

  std::size_t remaining() const { return bytes_.size() - position_; }
  bool atEnd() const { return remaining() == 0; }

 private:
  bool sizedSpan(std::span<const std::uint8_t>& out, std::size_t limit);
  std::span<const std::uint8_t> bytes_;
  std::size_t position_ = 0;
};

enum class FrameCut { incomplete, frame, invalid };

// Looks at the frame at the front of `stream`: `incomplete` while its header
// or body has not all arrived, `invalid` when the header declares a body
// shorter than `minBody` or longer than `maxBody` (the stream cannot be
// trusted any more), else `frame`. `bodySize` gets the declared length once
// the header is there.
FrameCut peekFrame(std::span<const std::uint8_t> stream, std::size_t minBody, std::size_t maxBody,
                   std::size_t* bodySize);

}  // namespace brannic::sim
