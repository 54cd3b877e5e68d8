#include "platform/sim/authorization/wire.h"

#include <algorithm>
#include <string>

namespace brannic::sim {

namespace {

class Writer {
 public:
  void u8(std::uint8_t value) { bytes_.push_back(value); }
  void u32(std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) bytes_.push_back(static_cast<std::uint8_t>(value >> shift));
  }
  void raw(std::span<const std::uint8_t> data) {
    // Growing first keeps GCC 12's -O3 overflow check from misreading the
    // insert after a push_back as a write past the end.
    bytes_.reserve(bytes_.size() + data.size());
    bytes_.insert(bytes_.end(), data.begin(), data.end());
  }
  void sized(std::span<const std::uint8_t> data) {
    u32(static_cast<std::uint32_t>(data.size()));
    raw(data);
  }
  std::vector<std::uint8_t> frame() const {
    Writer framed;
    framed.u32(static_cast<std::uint32_t>(bytes_.size()));
    framed.raw(bytes_);
    return std::move(framed.bytes_);
  }

 private:
  std::vector<std::uint8_t> bytes_;
};

class Reader {
 public:
  explicit Reader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
  bool u8(std::uint8_t& value) {
    if (remaining() < 1) return false;
    value = bytes_[position_++];
    return true;
  }
  bool u32(std::uint32_t& value) {
    if (remaining() < 4) return false;
    value = 0;
    for (int i = 0; i < 4; ++i) value = (value << 8) | bytes_[position_++];
    return true;
  }
  bool raw(std::span<std::uint8_t> out) {
    if (remaining() < out.size()) return false;
    std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(position_), out.size(), out.begin());
    position_ += out.size();
    return true;
  }
  bool sized(std::vector<std::uint8_t>& out, std::uint32_t limit) {
    std::uint32_t length = 0;
    if (!u32(length) || length > limit || remaining() < length) return false;
    out.assign(bytes_.begin() + static_cast<std::ptrdiff_t>(position_),
               bytes_.begin() + static_cast<std::ptrdiff_t>(position_ + length));
    position_ += length;
    return true;
  }
  std::size_t remaining() const { return bytes_.size() - position_; }

 private:
  std::span<const std::uint8_t> bytes_;
  std::size_t position_ = 0;
};

bool fitsLimits(const AuthorizationItemSet& rights) {
  return rights.size() <= kMaxAuthItems && std::all_of(rights.begin(), rights.end(), [](const auto& item) {
           return item.name.size() <= kMaxAuthItemBytes && item.value.size() <= kMaxAuthItemBytes;
         });
}

void writeRights(Writer& writer, const AuthorizationItemSet& rights) {
  writer.u32(static_cast<std::uint32_t>(rights.size()));
  for (const auto& item : rights) {
    writer.sized({reinterpret_cast<const std::uint8_t*>(item.name.data()), item.name.size()});
    writer.sized(item.value);
    writer.u32(item.flags);
  }
}

bool readRights(Reader& reader, AuthorizationItemSet& rights) {
  std::uint32_t count = 0;
  if (!reader.u32(count) || count > kMaxAuthItems) return false;
  rights.resize(count);
  for (auto& item : rights) {
    std::vector<std::uint8_t> name;
    if (!reader.sized(name, kMaxAuthItemBytes) || !reader.sized(item.value, kMaxAuthItemBytes) ||
        !reader.u32(item.flags))
      return false;
    item.name.assign(name.begin(), name.end());
  }
  return true;
}

}  // namespace

std::optional<std::vector<std::uint8_t>> encodeAuthRequest(const AuthRequest& request) {
  Writer writer;
  writer.u8(static_cast<std::uint8_t>(request.op));
  switch (request.op) {
    case AuthOp::create:
      if (!fitsLimits(request.rights)) return std::nullopt;
      writer.u32(request.flags);
      writeRights(writer, request.rights);
      break;
    case AuthOp::internalize:
      writer.raw(request.session);
      break;
    case AuthOp::copyRights:
      if (!fitsLimits(request.rights)) return std::nullopt;
      writer.raw(request.session);
      writer.u32(request.flags);
      writeRights(writer, request.rights);
      break;
    default:
      return std::nullopt;
  }
  return writer.frame();
}

std::vector<std::uint8_t> encodeAuthResponse(const AuthResponse& response) {
  Writer writer;
  writer.u32(static_cast<std::uint32_t>(response.status));
  if (response.session) writer.raw(*response.session);
  return writer.frame();
}

std::optional<AuthRequest> decodeAuthRequest(std::span<const std::uint8_t> body) {
  Reader reader(body);
  std::uint8_t op = 0;
  if (!reader.u8(op)) return std::nullopt;
  AuthRequest request;
  request.op = static_cast<AuthOp>(op);
  bool complete = false;
  switch (request.op) {
    case AuthOp::create:
      complete = reader.u32(request.flags) && readRights(reader, request.rights);
      break;
    case AuthOp::internalize:
      complete = reader.raw(request.session);
      break;
    case AuthOp::copyRights:
      complete = reader.raw(request.session) && reader.u32(request.flags) && readRights(reader, request.rights);
      break;
  }
  if (!complete || reader.remaining() != 0) return std::nullopt;
  return request;
}

std::optional<AuthResponse> decodeAuthResponse(std::span<const std::uint8_t> body) {
  Reader reader(body);
  std::uint32_t status = 0;
  if (!reader.u32(status)) return std::nullopt;
  AuthResponse response;
  response.status = static_cast<OSStatus>(status);
  if (reader.remaining() == kAuthorizationExternalFormLength) {
    AuthorizationExternalForm session{};
    reader.raw(session);
    response.session = session;
  }
  if (reader.remaining() != 0) return std::nullopt;
  return response;
}

FrameCut cutAuthFrame(std::vector<std::uint8_t>& stream, std::vector<std::uint8_t>& body) {
  if (stream.size() < 4) return FrameCut::incomplete;
  std::uint32_t length = 0;
  for (int i = 0; i < 4; ++i) length = (length << 8) | stream[static_cast<std::size_t>(i)];
  if (length == 0 || length > kMaxAuthFrameBody) return FrameCut::invalid;
  if (stream.size() - 4 < length) return FrameCut::incomplete;
  body.assign(stream.begin() + 4, stream.begin() + 4 + length);
  stream.erase(stream.begin(), stream.begin() + 4 + length);
  return FrameCut::frame;
}

}  // namespace brannic::sim
