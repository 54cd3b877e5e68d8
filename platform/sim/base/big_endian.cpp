#include "platform/sim/base/big_endian.h"

#include <algorithm>

namespace brannic::sim {

void BigEndianWriter::u32(std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) bytes_.push_back(static_cast<std::uint8_t>(value >> shift));
}

void BigEndianWriter::u64(std::uint64_t value) {
  for (int shift = 56; shift >= 0; shift -= 8) bytes_.push_back(static_cast<std::uint8_t>(value >> shift));
}

void BigEndianWriter::raw(std::span<const std::uint8_t> bytes) {
  // Growing first keeps GCC 12's -O3 overflow check from misreading the
  // insert after a push_back as a write past the end.
  bytes_.reserve(bytes_.size() + bytes.size());
  bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
}

void BigEndianWriter::raw(std::string_view bytes) {
  raw(std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}

void BigEndianWriter::sized(std::span<const std::uint8_t> bytes) {
  u32(static_cast<std::uint32_t>(bytes.size()));
  raw(bytes);
}

void BigEndianWriter::sized(std::string_view bytes) {
  u32(static_cast<std::uint32_t>(bytes.size()));
  raw(bytes);
}

std::vector<std::uint8_t> BigEndianWriter::frame() const {
  BigEndianWriter framed;
  framed.u32(static_cast<std::uint32_t>(bytes_.size()));
  framed.raw(bytes_);
  return std::move(framed.bytes_);
}

bool BigEndianReader::u8(std::uint8_t& value) {
  if (remaining() < 1) return false;
  value = bytes_[position_++];
  return true;
}

bool BigEndianReader::u32(std::uint32_t& value) {
  if (remaining() < 4) return false;
  value = 0;
  for (int i = 0; i < 4; ++i) value = (value << 8) | bytes_[position_++];
  return true;
}

bool BigEndianReader::u64(std::uint64_t& value) {
  if (remaining() < 8) return false;
  value = 0;
  for (int i = 0; i < 8; ++i) value = (value << 8) | bytes_[position_++];
  return true;
}

bool BigEndianReader::raw(std::span<std::uint8_t> out) {
  if (remaining() < out.size()) return false;
  std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(position_), out.size(), out.begin());
  position_ += out.size();
  return true;
}

bool BigEndianReader::sizedSpan(std::span<const std::uint8_t>& out, std::size_t limit) {
  const std::size_t start = position_;
  std::uint32_t length = 0;
  if (!u32(length) || length > limit || remaining() < length) {
    position_ = start;
    return false;
  }
  out = bytes_.subspan(position_, length);
  position_ += length;
  return true;
}

bool BigEndianReader::sized(std::vector<std::uint8_t>& out, std::size_t limit) {
  std::span<const std::uint8_t> bytes;
  if (!sizedSpan(bytes, limit)) return false;
  out.assign(bytes.begin(), bytes.end());
  return true;
}

bool BigEndianReader::sized(std::string& out, std::size_t limit) {
  std::span<const std::uint8_t> bytes;
  if (!sizedSpan(bytes, limit)) return false;
  out.assign(bytes.begin(), bytes.end());
  return true;
}

FrameCut peekFrame(std::span<const std::uint8_t> stream, std::size_t minBody, std::size_t maxBody,
                   std::size_t* bodySize) {
  if (stream.size() < kFrameHeaderSize) return FrameCut::incomplete;
  std::size_t length = 0;
  for (std::size_t i = 0; i < kFrameHeaderSize; ++i) length = (length << 8) | stream[i];
  if (bodySize) *bodySize = length;
  if (length < minBody || length > maxBody) return FrameCut::invalid;
  if (stream.size() - kFrameHeaderSize < length) return FrameCut::incomplete;
  return FrameCut::frame;
}

}  // namespace brannic::sim
