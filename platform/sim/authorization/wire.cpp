#include "platform/sim/authorization/wire.h"

#include <algorithm>
#include <string>

#include "platform/sim/base/big_endian.h"

namespace brannic::sim {

namespace {

using Writer = BigEndianWriter;
using Reader = BigEndianReader;

bool fitsLimits(const AuthorizationItemSet& rights) {
  return rights.size() <= kMaxAuthItems && std::all_of(rights.begin(), rights.end(), [](const auto& item) {
           return item.name.size() <= kMaxAuthItemBytes && item.value.size() <= kMaxAuthItemBytes;
         });
}

void writeRights(Writer& writer, const AuthorizationItemSet& rights) {
  writer.u32(static_cast<std::uint32_t>(rights.size()));
  for (const auto& item : rights) {
    writer.sized(item.name);
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
  std::size_t length = 0;
  const FrameCut cut = peekFrame(stream, 1, kMaxAuthFrameBody, &length);
  if (cut != FrameCut::frame) return cut;
  const auto bodyStart = stream.begin() + kFrameHeaderSize;
  body.assign(bodyStart, bodyStart + static_cast<std::ptrdiff_t>(length));
  stream.erase(stream.begin(), bodyStart + static_cast<std::ptrdiff_t>(length));
  return FrameCut::frame;
}

}  // namespace brannic::sim
