#include "platform/sim/xpc/wire.h"

#include <algorithm>
#include <cstdio>

namespace brannic::sim::wire {

namespace {

enum Kind : std::uint8_t { kCall = 1, kReply = 2, kGoodbye = 3 };
enum Tag : std::uint8_t { kNil = 0, kString = 1, kData = 2, kNumber = 3 };

class Writer {
 public:
  void u8(std::uint8_t value) { bytes_.push_back(value); }
  void u32(std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) bytes_.push_back(static_cast<std::uint8_t>(value >> shift));
  }
  void u64(std::uint64_t value) {
    for (int shift = 56; shift >= 0; shift -= 8) bytes_.push_back(static_cast<std::uint8_t>(value >> shift));
  }
  template <typename Bytes>
  void blob(const Bytes& bytes) {
    u32(static_cast<std::uint32_t>(bytes.size()));
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
  }
  void value(const XpcValue& value) {
    if (const auto* text = std::get_if<std::string>(&value)) {
      u8(kString);
      blob(*text);
    } else if (const auto* data = std::get_if<XpcData>(&value)) {
      u8(kData);
      blob(*data);
    } else if (const auto* number = std::get_if<std::int64_t>(&value)) {
      u8(kNumber);
      u64(static_cast<std::uint64_t>(*number));
    } else {
      u8(kNil);
    }
  }
  std::vector<std::uint8_t> take() { return std::move(bytes_); }

 private:
  std::vector<std::uint8_t> bytes_;
};

// Reads a payload; the first problem met is kept and every later read fails.
class Reader {
 public:
  Reader(const std::uint8_t* bytes, std::size_t size) : bytes_(bytes), size_(size) {}

  bool ok() const { return error_.empty(); }
  const std::string& error() const { return error_; }
  bool atEnd() const { return position_ == size_; }
  std::size_t remaining() const { return size_ - position_; }
  void fail(std::string why) {
    if (error_.empty()) error_ = std::move(why);
  }

  std::uint8_t u8(const char* what) {
    if (!need(1, what)) return 0;
    return bytes_[position_++];
  }
  std::uint32_t u32(const char* what) {
    if (!need(4, what)) return 0;
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) value = (value << 8) | bytes_[position_++];
    return value;
  }
  std::uint64_t u64(const char* what) {
    if (!need(8, what)) return 0;
    std::uint64_t value = 0;
    for (int i = 0; i < 8; ++i) value = (value << 8) | bytes_[position_++];
    return value;
  }
  template <typename Bytes>
  Bytes blob(const char* what) {
    const std::uint32_t length = u32(what);
    if (!need(length, what)) return {};
    Bytes bytes(bytes_ + position_, bytes_ + position_ + length);
    position_ += length;
    return bytes;
  }
  XpcValue value() {
    switch (const std::uint8_t tag = u8("value tag"); tag) {
      case kNil:
        return XpcNil{};
      case kString:
        return blob<std::string>("string");
      case kData:
        return blob<XpcData>("data");
      case kNumber:
        return static_cast<std::int64_t>(u64("number"));
      default:
        if (ok()) fail("unknown value tag " + std::to_string(tag));
        return XpcNil{};
    }
  }

 private:
  bool need(std::size_t count, const char* what) {
    if (!ok()) return false;
    if (remaining() < count) {
      fail(std::string(what) + " runs past the end of the frame");
      return false;
    }
    return true;
  }

  const std::uint8_t* bytes_;
  std::size_t size_;
  std::size_t position_ = 0;
  std::string error_;
};

// A selector as shown in a reason: quoted, control bytes escaped, cut short.
std::string quotedForReason(const std::string& text) {
  constexpr std::size_t kShown = 64;
  std::string out = "\"";
  for (std::size_t i = 0; i < text.size() && i < kShown; ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte < 0x20 || byte >= 0x7F || byte == '"' || byte == '\\') {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
      out += escaped;
    } else {
      out += static_cast<char>(byte);
    }
  }
  if (text.size() > kShown) out += "...";
  return out + "\"";
}

}  // namespace

std::vector<std::uint8_t> encode(const Message& message) {
  Writer payload;
  if (const auto* call = std::get_if<Call>(&message)) {
    payload.u8(kCall);
    payload.u64(call->replyId);
    payload.blob(call->selector);
    payload.u8(static_cast<std::uint8_t>(call->arguments.size()));
    for (const auto& argument : call->arguments) payload.value(argument);
  } else if (const auto* reply = std::get_if<Reply>(&message)) {
    payload.u8(kReply);
    payload.u64(reply->replyId);
    payload.value(reply->value);
  } else {
    payload.u8(kGoodbye);
    payload.blob(std::get<Goodbye>(message).reason);
  }
  std::vector<std::uint8_t> body = payload.take();
  Writer frame;
  frame.u32(static_cast<std::uint32_t>(body.size()));
  std::vector<std::uint8_t> bytes = frame.take();
  bytes.insert(bytes.end(), body.begin(), body.end());
  return bytes;
}

std::optional<Message> decodePayload(const std::uint8_t* bytes, std::size_t size, std::string* error) {
  Reader in(bytes, size);
  std::optional<Message> message;
  switch (const std::uint8_t kind = in.u8("message kind"); kind) {
    case kCall: {
      Call call;
      call.replyId = in.u64("reply id");
      call.selector = in.blob<std::string>("selector");
      const std::uint8_t count = in.u8("argument count");
      if (in.ok() && count > kMaxArguments) in.fail(std::to_string(count) + " arguments");
      for (std::uint8_t i = 0; i < count && in.ok(); ++i) call.arguments.push_back(in.value());
      message = std::move(call);
      break;
    }
    case kReply: {
      Reply reply;
      reply.replyId = in.u64("reply id");
      reply.value = in.value();
      message = std::move(reply);
      break;
    }
    case kGoodbye:
      message = Goodbye{in.blob<std::string>("reason")};
      break;
    default:
      if (in.ok()) in.fail("unknown message kind " + std::to_string(kind));
  }
  if (in.ok() && !in.atEnd()) in.fail(std::to_string(in.remaining()) + " bytes after the end of the message");
  if (!in.ok()) {
    if (error) *error = in.error();
    return std::nullopt;
  }
  return message;
}

void FrameReader::append(const std::uint8_t* bytes, std::size_t size) {
  if (consumed_ > 0 && consumed_ == buffer_.size()) {
    buffer_.clear();
    consumed_ = 0;
  }
  buffer_.insert(buffer_.end(), bytes, bytes + size);
}

std::size_t FrameReader::expectedBytes() const {
  if (bufferedBytes() < kHeaderSize) return kHeaderSize;
  std::size_t length = 0;
  for (std::size_t i = 0; i < kHeaderSize; ++i) length = (length << 8) | buffer_[consumed_ + i];
  return kHeaderSize + length;
}

std::optional<std::vector<std::uint8_t>> FrameReader::next() {
  if (oversized_ || bufferedBytes() < kHeaderSize) return std::nullopt;
  const std::size_t total = expectedBytes();
  if (total - kHeaderSize > kMaxPayloadSize) {
    oversized_ = total - kHeaderSize;
    return std::nullopt;
  }
  if (bufferedBytes() < total) return std::nullopt;
  const auto begin = buffer_.begin() + static_cast<std::ptrdiff_t>(consumed_ + kHeaderSize);
  std::vector<std::uint8_t> payload(begin, begin + static_cast<std::ptrdiff_t>(total - kHeaderSize));
  consumed_ += total;
  if (consumed_ == buffer_.size()) {
    buffer_.clear();
    consumed_ = 0;
  }
  return payload;
}

std::string className(XpcClass xpcClass) {
  switch (xpcClass) {
    case XpcClass::string:
      return "NSString";
    case XpcClass::data:
      return "NSData";
    case XpcClass::number:
      return "NSNumber";
  }
  return "?";
}

std::string className(const XpcValue& value) {
  if (std::holds_alternative<std::string>(value)) return className(XpcClass::string);
  if (std::holds_alternative<XpcData>(value)) return className(XpcClass::data);
  if (std::holds_alternative<std::int64_t>(value)) return className(XpcClass::number);
  return "nil";
}

namespace {

bool isOfClass(const XpcValue& value, XpcClass xpcClass) {
  if (std::holds_alternative<XpcNil>(value)) return true;
  return className(value) == className(xpcClass);
}

}  // namespace

std::optional<std::string> violation(const XpcInterface& interface, const Call& call) {
  const XpcMethod* method = interface.method(call.selector);
  if (method == nullptr)
    return "unknown selector " + quotedForReason(call.selector) + " for " + interface.protocolName;
  const auto& declared = method->argumentClasses;
  if (call.arguments.size() != declared.size())
    return call.selector + " takes " + std::to_string(declared.size()) + " arguments, not " +
           std::to_string(call.arguments.size());
  for (std::size_t i = 0; i < declared.size(); ++i) {
    if (!isOfClass(call.arguments[i], declared[i]))
      return call.selector + " argument " + std::to_string(i + 1) + " is " + className(call.arguments[i]) +
             ", not " + className(declared[i]);
  }
  if (method->replyClass.has_value() != (call.replyId != 0))
    return call.selector + (method->replyClass ? " needs a reply block" : " takes no reply block");
  return std::nullopt;
}

std::optional<std::string> replyViolation(const XpcMethod& method, const XpcValue& value) {
  if (!method.replyClass) return method.selector + " takes no reply";
  if (isOfClass(value, *method.replyClass)) return std::nullopt;
  return className(value) + " where " + className(*method.replyClass) + " was declared";
}

}  // namespace brannic::sim::wire
