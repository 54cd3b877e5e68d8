// The transport's frame reader and payload decoder on arbitrary bytes. The
// stream is cut into frames twice, whole and in chunks of fuzzed sizes, and
// both cuts must agree; every payload that decodes must encode back to
// exactly its own frame.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <vector>

#include "platform/sim/xpc/wire.h"

namespace {

using brannic::sim::wire::FrameReader;
using Payloads = std::vector<std::vector<std::uint8_t>>;

struct Cut {
  Payloads payloads;
  std::optional<std::size_t> oversized;
  std::size_t buffered = 0;
};

// Feeds `stream` to a reader in the chunk sizes `chunkSize` gives, taking
// every payload as soon as it is complete.
template <typename ChunkSize>
Cut cutInChunks(const std::vector<std::uint8_t>& stream, ChunkSize chunkSize) {
  Cut cut;
  FrameReader reader;
  for (std::size_t at = 0; at < stream.size();) {
    const std::size_t size = std::min(chunkSize(), stream.size() - at);
    reader.append(stream.data() + at, size);
    at += size;
    while (auto payload = reader.next()) cut.payloads.push_back(std::move(*payload));
  }
  cut.oversized = reader.oversizedLength();
  cut.buffered = reader.bufferedBytes();
  return cut;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider fuzz(data, size);
  // Chunk sizes come from the end of the input, the stream from the rest.
  std::vector<std::size_t> chunkSizes;
  const std::size_t chunks = fuzz.ConsumeIntegralInRange<std::size_t>(0, 16);
  for (std::size_t i = 0; i < chunks; ++i) chunkSizes.push_back(fuzz.ConsumeIntegralInRange<std::size_t>(1, 64));
  const std::vector<std::uint8_t> stream = fuzz.ConsumeRemainingBytes<std::uint8_t>();

  const Cut whole = cutInChunks(stream, [&] { return stream.size() + 1; });
  std::size_t next = 0;
  const Cut chunked = cutInChunks(stream, [&] {
    return chunkSizes.empty() ? std::size_t{1} : chunkSizes[next++ % chunkSizes.size()];
  });
  if (whole.payloads != chunked.payloads || whole.oversized != chunked.oversized ||
      whole.buffered != chunked.buffered)
    std::abort();  // the cut depends on how the bytes arrived

  for (const auto& payload : whole.payloads) {
    std::string error;
    const auto message = brannic::sim::wire::decodePayload(payload.data(), payload.size(), &error);
    if (!message) {
      if (error.empty()) std::abort();  // refused without saying why
      continue;
    }
    const std::vector<std::uint8_t> frame = brannic::sim::wire::encode(*message);
    if (frame.size() != brannic::sim::wire::kHeaderSize + payload.size() ||
        !std::equal(payload.begin(), payload.end(), frame.begin() + brannic::sim::wire::kHeaderSize))
      std::abort();  // what decodes does not encode back to the same bytes
  }
  return 0;
}
