#include "platform/sim/xpc/wire.h"

#include <algorithm>
#include <cstdio>

#include "platform/sim/base/big_endian.h"

namespace brannic::sim::wire {

namespace {

enum Kind : std::uint8_t { kCall = 1, kReply = 2, kGoodbye = 3 };
enum Tag : std::uint8_t { kNil = 0, kString = 1, kData = 2, kNumber = 3 };

void writeValue(BigEndianWriter& out, const XpcValue& value) {
  if (const auto* text = std::get_if<std::string>(&value)) {
    out.u8(kString);
    out.sized(*text);
  } else if (const auto* data = std::get_if<XpcData>(&value)) {
    out.u8(kData);
    out.sized(*data);
  } else if (const auto* number = std::get_if<std::int64_t>(&value)) {
    out.u8(kNumber);
    out.u64(static_cast<std::uint64_t>(*number));
  } else {
    out.u8(kNil);
  }
}

// Reads a payload; the first problem met is kept and every later read fails.
class Reader {
 public:
  Reader(const std::uint8_t* bytes, std::size_t size) : in_(std::span<const std::uint8_t>(bytes, size)) {}

  bool ok() const { return error_.empty(); }
  const std::string& error() const { return error_; }
  bool atEnd() const { return in_.atEnd(); }
  std::size_t remaining() const { return in_.remaining(); }
  void fail(std::string why) {
    if (error_.empty()) error_ = std::move(why);
  }

  std::uint8_t u8(const char* what) {
    std::uint8_t value = 0;
    if (ok() && !in_.u8(value)) pastTheEnd(what);
    return value;
  }
  std::uint64_t u64(const char* what) {
    std::uint64_t value = 0;
    if (ok() && !in_.u64(value)) pastTheEnd(what);
    return value;
  }
  template <typename Bytes>
  Bytes blob(const char* what) {
    Bytes bytes;
    if (ok() && !in_.sized(bytes, kMaxPayloadSize)) pastTheEnd(what);
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
  void pastTheEnd(const char* what) { fail(std::string(what) + " runs past the end of the frame"); }

  BigEndianReader in_;
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
  BigEndianWriter payload;
  if (const auto* call = std::get_if<Call>(&message)) {
    payload.u8(kCall);
    payload.u64(call->replyId);
    payload.sized(call->selector);
    payload.u8(static_cast<std::uint8_t>(call->arguments.size()));
    for (const auto& argument : call->arguments) writeValue(payload, argument);
  } else if (const auto* reply = std::get_if<Reply>(&message)) {
    payload.u8(kReply);
    payload.u64(reply->replyId);
    writeValue(payload, reply->value);
  } else {
    payload.u8(kGoodbye);
    payload.sized(std::get<Goodbye>(message).reason);
  }
  return payload.frame();
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

std::span<const std::uint8_t> FrameReader::buffered() const {
  return std::span<const std::uint8_t>(buffer_).subspan(consumed_);
}

std::size_t FrameReader::expectedBytes() const {
  std::size_t length = 0;
  peekFrame(buffered(), 0, kMaxPayloadSize, &length);
  return bufferedBytes() < kHeaderSize ? kHeaderSize : kHeaderSize + length;
}

std::optional<std::vector<std::uint8_t>> FrameReader::next() {
  if (oversized_) return std::nullopt;
  std::size_t length = 0;
  switch (peekFrame(buffered(), 0, kMaxPayloadSize, &length)) {
    case FrameCut::incomplete:
      return std::nullopt;
    case FrameCut::invalid:
      oversized_ = length;
      return std::nullopt;
    case FrameCut::frame:
      break;
  }
  const std::size_t total = kHeaderSize + length;
  const auto begin = buffer_.begin() + static_cast<std::ptrdiff_t>(consumed_ + kHeaderSize);
  std::vector<std::uint8_t> payload(begin, begin + static_cast<std::ptrdiff_t>(total - kHeaderSize));
  consumed_ += total;
  if (consumed_ == buffer_.size()) {
    buffer_.clear();
    consumed_ = 0;
  }
  return payload;
}

std::string className(const XpcValue& value) {
  if (std::holds_alternative<std::string>(value)) return xpcClassName(XpcClass::string);
  if (std::holds_alternative<XpcData>(value)) return xpcClassName(XpcClass::data);
  if (std::holds_alternative<std::int64_t>(value)) return xpcClassName(XpcClass::number);
  return "nil";
}

std::optional<std::string> violation(const XpcInterface& interface, const Call& call) {
  const XpcMethod* method = interface.method(call.selector);
  const auto mismatch = checkAgainstDeclaration(method, call.arguments, call.replyId != 0);
  if (!mismatch) return std::nullopt;
  switch (mismatch->kind) {
    case XpcMismatch::Kind::undeclared:
      return "unknown selector " + quotedForReason(call.selector) + " for " + interface.protocolName;
    case XpcMismatch::Kind::argumentCount:
      return call.selector + " takes " + std::to_string(method->argumentClasses.size()) + " arguments, not " +
             std::to_string(call.arguments.size());
    case XpcMismatch::Kind::argumentClass: {
      const std::size_t i = mismatch->argument;
      return call.selector + " argument " + std::to_string(i + 1) + " is " + className(call.arguments[i]) +
             ", not " + xpcClassName(method->argumentClasses[i]);
    }
    case XpcMismatch::Kind::replyBlock:
      break;
  }
  return call.selector + (method->replyClass ? " needs a reply block" : " takes no reply block");
}

std::optional<std::string> replyViolation(const XpcMethod& method, const XpcValue& value) {
  if (!method.replyClass) return method.selector + " takes no reply";
  if (isOfClass(value, *method.replyClass)) return std::nullopt;
  return className(value) + " where " + xpcClassName(*method.replyClass) + " was declared";
}

}  // namespace brannic::sim::wire
