// The authorization socket's wire format on arbitrary bytes: the first byte
// says whether the rest is a stream of request frames or one response body.
// Whatever decodes must encode back to exactly the frame it came in.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "platform/sim/authorization/wire.h"

namespace {

using namespace brannic::sim;

// The frame that carries `body`.
std::vector<std::uint8_t> framed(const std::vector<std::uint8_t>& body) {
  std::vector<std::uint8_t> frame(4);
  const auto size = static_cast<std::uint32_t>(body.size());
  for (int i = 0; i < 4; ++i) frame[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(size >> (24 - 8 * i));
  frame.insert(frame.end(), body.begin(), body.end());
  return frame;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const bool requests = (data[0] & 1) == 0;
  std::vector<std::uint8_t> stream(data + 1, data + size);
  if (!requests) {
    if (const auto response = decodeAuthResponse(stream))
      if (encodeAuthResponse(*response) != framed(stream)) std::abort();
    return 0;
  }
  std::vector<std::uint8_t> body;
  for (;;) {
    const FrameCut cut = cutAuthFrame(stream, body);
    if (cut != FrameCut::frame) break;
    if (body.empty() || body.size() > kMaxAuthFrameBody) std::abort();  // a frame out of range was cut
    const auto request = decodeAuthRequest(body);
    if (!request) continue;
    const auto encoded = encodeAuthRequest(*request);
    if (!encoded || *encoded != framed(body)) std::abort();
  }
  return 0;
}
