// The helper's memory under a client that floods it with calls and never
// reads a reply: the helper's peak resident set (VmHWM) over the flood,
// against its resident set before it, with the bytes the client got to
// send before the helper dropped it. A fresh helper for each repetition, so
// that each peak is its own; the figures are medians of the repetitions.
#include <benchmark/benchmark.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <string>
#include <vector>

#include "bench/bench_machine.h"
#include "platform/sim/base/unix_socket.h"
#include "platform/sim/xpc/wire.h"

namespace brannic::sim {
namespace {

// A field of /proc/<pid>/status in kB ("VmRSS", "VmHWM"), or 0.
double statusKilobytes(int pid, const std::string& field) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind(field + ":", 0) == 0) return std::stod(line.substr(field.size() + 1));
  }
  return 0;
}

// Sends version requests, never reading, until the helper drops the
// connection or `limit` bytes have gone. Returns the bytes sent.
std::size_t floodWithoutReading(int fd, std::size_t limit) {
  std::vector<std::uint8_t> burst;
  for (std::uint64_t id = 1; id <= 1024; ++id) {
    const auto frame = wire::encode(wire::Call{id, selectors::getVersionWithCompletion, {}});
    burst.insert(burst.end(), frame.begin(), frame.end());
  }
  std::size_t sent = 0;
  while (sent < limit) {
    for (std::size_t offset = 0; offset < burst.size();) {
      const ssize_t written =
          ::send(fd, burst.data() + offset, burst.size() - offset, MSG_NOSIGNAL | MSG_DONTWAIT);
      if (written > 0) {
        offset += static_cast<std::size_t>(written);
        sent += static_cast<std::size_t>(written);
      } else if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
        pollfd polled{fd, POLLOUT, 0};
        if (::poll(&polled, 1, 5000) <= 0) return sent;  // stuck: the helper neither reads nor drops
      } else {
        return sent;  // dropped
      }
    }
  }
  return sent;
}

// One version request and its reply, so that the helper has set up what
// serving takes before its memory is looked at.
bool answersOneRequest(int fd) {
  const auto frame = wire::encode(wire::Call{1, selectors::getVersionWithCompletion, {}});
  if (::send(fd, frame.data(), frame.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(frame.size()))
    return false;
  wire::FrameReader reader;
  while (!reader.next()) {
    pollfd polled{fd, POLLIN, 0};
    std::uint8_t buffer[256];
    if (::poll(&polled, 1, 5000) != 1) return false;
    const ssize_t count = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
    if (count <= 0) return false;
    reader.append(buffer, static_cast<std::size_t>(count));
  }
  return true;
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

void BM_HelperMemoryUnderANonReadingClient(benchmark::State& state) {
  const std::size_t limit = static_cast<std::size_t>(state.range(0)) << 20;
  std::vector<double> before, peak, sentMegabytes;
  for (auto _ : state) {
    BenchMachine machine;
    if (!machine.installed()) return state.SkipWithError("the helper cannot be installed");
    const auto socketPath = machine.launchd().lookUpService(BenchMachine::kLabel);
    const int pid = machine.launchd().helperPid(BenchMachine::kLabel);
    if (!socketPath || pid == 0) return state.SkipWithError("the helper did not start");
    OwnedFd client = connectToPath(*socketPath, nullptr);
    if (!client.valid() || !answersOneRequest(client.get())) return state.SkipWithError("no answer");
    before.push_back(statusKilobytes(pid, "VmRSS") / 1024);
    sentMegabytes.push_back(static_cast<double>(floodWithoutReading(client.get(), limit)) / (1 << 20));
    peak.push_back(statusKilobytes(pid, "VmHWM") / 1024);
  }
  state.counters["rss_before_MB"] = median(before);
  state.counters["peak_rss_MB"] = median(peak);
  state.counters["sent_MB"] = median(sentMegabytes);
}

// Up to 200 MB sent, as much as the client gets to send before it is dropped.
BENCHMARK(BM_HelperMemoryUnderANonReadingClient)->Arg(200)->Iterations(5)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace brannic::sim
