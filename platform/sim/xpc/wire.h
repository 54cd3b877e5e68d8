// The simulated transport's wire format: length-prefixed frames carrying a
// call, a reply or a goodbye (the reason a receiver gives before dropping a
// connection), with typed values. Decoding is strict: anything the format
// does not describe exactly is reported, never guessed at.
//
// Frame:   u32 payload length (big-endian), then the payload.
// Payload: u8 kind, then
//   call     (1): u64 reply id (0: no reply block), string selector, u8 argument count, values
//   reply    (2): u64 reply id, value
//   goodbye  (3): string reason
// String/data: u32 length (big-endian), then the bytes.
// Value:   u8 tag: 0 nil, 1 string, 2 data, 3 number (i64 big-endian).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "platform/sim/base/big_endian.h"
#include "platform/xpc.h"

namespace brannic::sim::wire {

// The largest payload either side accepts or sends.
inline constexpr std::size_t kMaxPayloadSize = 1 << 20;
inline constexpr std::size_t kHeaderSize = kFrameHeaderSize;
inline constexpr std::size_t kMaxArguments = 16;

struct Call {
  std::uint64_t replyId = 0;
  std::string selector;
  std::vector<XpcValue> arguments;
};
struct Reply {
  std::uint64_t replyId = 0;
  XpcValue value;
};
struct Goodbye {
  std::string reason;
};
using Message = std::variant<Call, Reply, Goodbye>;

// The whole frame: header and payload.
std::vector<std::uint8_t> encode(const Message& message);

// Decodes one payload (the bytes after the header); on failure, `error`
// says what is wrong with it.
std::optional<Message> decodePayload(const std::uint8_t* bytes, std::size_t size, std::string* error);

// Cuts a received byte stream into payloads.
class FrameReader {
 public:
  void append(const std::uint8_t* bytes, std::size_t size);
  // The next complete payload, or nullopt when more bytes are needed or the
  // stream announced an oversized frame (see oversizedLength).
  std::optional<std::vector<std::uint8_t>> next();
  // The declared length of a frame larger than kMaxPayloadSize, once seen.
  std::optional<std::size_t> oversizedLength() const { return oversized_; }
  // Bytes of an incomplete frame (header included) and the size it declares.
  std::size_t bufferedBytes() const { return buffer_.size() - consumed_; }
  std::size_t expectedBytes() const;

 private:
  std::span<const std::uint8_t> buffered() const;
  std::vector<std::uint8_t> buffer_;
  std::size_t consumed_ = 0;
  std::optional<std::size_t> oversized_;
};

// The class name of a value as the platform names it: NSString, NSData,
// NSNumber or nil.
std::string className(const XpcValue& value);

// Whether `call` is a message that `interface` allows: a declared selector,
// the declared number of arguments, each of its declared class or nil, and
// a reply id exactly when the method has a reply block. Returns the reason
// it is not, or nullopt.
std::optional<std::string> violation(const XpcInterface& interface, const Call& call);

// Whether `value` may answer `method`: of its declared reply class, or nil.
std::optional<std::string> replyViolation(const XpcMethod& method, const XpcValue& value);

}  // namespace brannic::sim::wire
